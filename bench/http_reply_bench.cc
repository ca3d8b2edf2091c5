// Reads replies made of many tiny pieces from an in-memory peer: chunked bodies of one-byte
// chunks and header blocks of many short lines. The time per byte must not grow with the
// reply's size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "net/http_client.h"
#include "platform/posix/posix_env.h"

namespace {

using tavelin::Env;
using tavelin::EnvWrapper;
using tavelin::HttpClient;
using tavelin::TcpConnection;

// Hands out one fixed reply, as much of it per read as asked for.
class ReplyEnv : public EnvWrapper {
 public:
  ReplyEnv(Env* target, const std::string* reply) : EnvWrapper(target), reply_(reply) {}
  std::unique_ptr<TcpConnection> Connect(const std::string&, int, tavelin::Status*) override {
    class Peer : public TcpConnection {
     public:
      explicit Peer(const std::string* reply) : reply_(reply) {}
      tavelin::Status SendAll(std::string_view) override { return tavelin::Status::OK(); }
      long Receive(char* buffer, std::size_t max, int, tavelin::Status*) override {
        const std::size_t n = std::min(max, reply_->size() - position_);
        std::memcpy(buffer, reply_->data() + position_, n);
        position_ += n;
        return static_cast<long>(n);
      }

     private:
      const std::string* reply_;
      std::size_t position_ = 0;
    };
    return std::make_unique<Peer>(reply_);
  }

 private:
  const std::string* reply_;
};

void Fetch(benchmark::State& state, const std::string& reply) {
  std::unique_ptr<Env> real = tavelin::NewPosixEnv();
  ReplyEnv env(real.get(), &reply);
  for (auto _ : state) {
    HttpClient client(env);
    std::string body;
    if (!client.Get("http://rd/", &body).completed()) state.SkipWithError("reply not read");
    benchmark::DoNotOptimize(body);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
  state.SetComplexityN(state.range(0));
}

void BM_OneByteChunks(benchmark::State& state) {
  std::string reply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (int64_t i = 0; i < state.range(0); ++i) reply += "1\r\nx\r\n";
  reply += "0\r\n\r\n";
  Fetch(state, reply);
}
BENCHMARK(BM_OneByteChunks)->RangeMultiplier(4)->Range(1 << 12, 1 << 20)->Complexity();

void BM_ManyHeaderLines(benchmark::State& state) {
  std::string reply = "HTTP/1.1 200 OK\r\n";
  for (int64_t i = 0; i < state.range(0); ++i) reply += "X: 1\r\n";
  reply += "Content-Length: 1\r\n\r\nb";
  Fetch(state, reply);
}
// Up to the 1 MiB limit of a header block.
BENCHMARK(BM_ManyHeaderLines)->RangeMultiplier(4)->Range(1 << 10, 1 << 16)->Complexity();

}  // namespace

BENCHMARK_MAIN();
