// Reads replies made of many tiny pieces from an in-memory peer: chunked bodies of one-byte
// chunks and header blocks of many short lines. The time per byte must not grow with the
// reply's size.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "net/http_client.h"
#include "platform/posix/posix_env.h"
#include "support/scripted_peer.h"

namespace {

using tavelin::Env;
using tavelin::HttpClient;

void Fetch(benchmark::State& state, const std::string& reply) {
  // Every connection is handed the one reply, as much of it per read as asked for.
  std::unique_ptr<Env> real = tavelin::NewPosixEnv();
  tavelin::ScriptedPeerEnv env(real.get(), {{.reply = reply}});
  env.peers.repeat_last = true;
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
