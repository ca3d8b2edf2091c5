// What the harnesses share: the tests' in-memory Env with its clock and random numbers
// fixed, so that one input always takes the same path and nothing touches the disk (INI
// files included); connections that play back bytes from the input; and a reader that cuts
// an input into parts.
#ifndef TAVELIN_FUZZ_FUZZ_ENV_H_
#define TAVELIN_FUZZ_FUZZ_ENV_H_

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/env.h"
#include "platform/posix/posix_env.h"
#include "support/memory_env.h"
#include "support/scripted_peer.h"

namespace tavelin::fuzzing {

// Stops the run with a message when a property of the code under test does not hold; the
// fuzzer then keeps the input as a crash.
inline void Require(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
  }
}

// Cuts an input into parts at a separator; the last part runs to the end.
class Parts {
 public:
  Parts(const uint8_t* data, std::size_t size, std::string_view separator = "\n--\n")
      : rest_(reinterpret_cast<const char*>(data), size), separator_(separator) {}
  std::string_view Next() {
    std::size_t at = rest_.find(separator_);
    std::string_view part = rest_.substr(0, at);
    rest_ =
        at == std::string_view::npos ? std::string_view() : rest_.substr(at + separator_.size());
    return part;
  }
  // The first byte of what is left (0 when nothing is), taken off.
  uint8_t Byte() {
    if (rest_.empty()) return 0;
    uint8_t byte = static_cast<uint8_t>(rest_[0]);
    rest_.remove_prefix(1);
    return byte;
  }
  std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_;
  std::string_view separator_;
};

// The in-memory Env of the tests with the clock and random numbers fixed and connections
// that play back the input.
class FuzzEnv : public MemoryEnv {
 public:
  FuzzEnv() : FuzzEnv(NewPosixEnv()) {}

  // 2024-03-13 12:00, a Wednesday; sleeps move it on.
  TDateTime Now() override { return now_; }
  void SleepMs(int ms) override {
    now_ += ms / kMillisecondsPerDay;
    micros_ += static_cast<uint64_t>(std::max(ms, 0)) * 1000;
  }
  uint64_t NowMicros() override { return micros_ += 1000; }
  uint32_t Random32() override { return 0x12345678; }
  bool GetEnvironment(const std::string&, std::string*) override { return false; }
  bool EnvironmentIsSet(const std::string&) override { return false; }

  // Each connection plays back the next of `replies` in reads of at most `chunk` bytes,
  // then closes, or fails the next read like a time-out when `stall` is set; past the last
  // one, connecting fails.
  std::unique_ptr<TcpConnection> Connect(const std::string& host, int port, Status* why) override {
    return peers_.Connect(host, port, why);
  }
  void SetReplies(std::vector<std::string_view> replies, std::size_t chunk, bool stall) {
    for (std::string_view reply : replies) {
      peers_.Add({.reply = std::string(reply),
                  .silent_after = stall,
                  .piece = std::max<std::size_t>(chunk, 1)});
    }
  }
  const std::string& sent() const { return peers_.sent; }

 private:
  explicit FuzzEnv(std::unique_ptr<Env> real)
      : MemoryEnv(real.get(), {"/mem/", "/mem"}), real_(std::move(real)) {}

  std::unique_ptr<Env> real_;
  TDateTime now_ = 45364.5;
  uint64_t micros_ = 1;
  ScriptedPeers peers_;
};

}  // namespace tavelin::fuzzing

#endif  // TAVELIN_FUZZ_FUZZ_ENV_H_
