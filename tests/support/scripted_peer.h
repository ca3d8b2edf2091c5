// Connections that play back scripted peers, for tests, fuzzers and benchmarks: each
// connection meets the next PeerScript (the last one again when `repeat_last` is set;
// otherwise a connection past the last is refused). Every byte sent is kept. Header-only, so
// that the benchmarks and the fuzzers use it without the test libraries.
#ifndef TAVELIN_TESTS_SUPPORT_SCRIPTED_PEER_H_
#define TAVELIN_TESTS_SUPPORT_SCRIPTED_PEER_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/status.h"

namespace tavelin {

// What one connection meets.
struct PeerScript {
  Status connect = {};     // not ok: connecting fails so
  std::string reply = "";  // the bytes the peer sends
  // After all of it: close (false), or say nothing until the reader gives up (true).
  bool silent_after = false;
  std::size_t piece = SIZE_MAX;  // bytes per read
  // How far each read moves the clock; a read whose step is longer than the reader's limit
  // times out instead.
  uint64_t step_us = 0;
  Status send = {};     // not ok: sending fails so
  Status receive = {};  // not ok: the first read fails so
  // After the reply, this many 'x' bytes, made as they are read (a long body not held).
  std::size_t filler = 0;
};

class ScriptedPeers {
 public:
  // `clock_us`, when given, is the clock that reads move (a reader that times out has
  // waited its whole limit).
  explicit ScriptedPeers(uint64_t* clock_us = nullptr) : clock_us_(clock_us) {}

  void Add(PeerScript script) {
    scripts_.push_back(std::make_shared<const PeerScript>(std::move(script)));
  }

  std::unique_ptr<TcpConnection> Connect(const std::string& host, int port, Status* why) {
    hosts.push_back(host + ":" + std::to_string(port));
    if (scripts_.empty()) {
      if (why != nullptr) *why = Status(Status::Kind::kRefused, "no more peers");
      return nullptr;
    }
    std::shared_ptr<const PeerScript> script = scripts_.front();
    if (!repeat_last || scripts_.size() > 1) scripts_.pop_front();
    if (!script->connect.ok()) {
      if (why != nullptr) *why = script->connect;
      return nullptr;
    }
    return std::make_unique<Connection>(this, std::move(script));
  }

  bool repeat_last = false;
  std::string sent;                // every byte sent, over all connections
  std::vector<std::string> hosts;  // "host:port" of every connect
  int last_timeout_ms = 0;         // the limit the last read was given

 private:
  class Connection : public TcpConnection {
   public:
    Connection(ScriptedPeers* peers, std::shared_ptr<const PeerScript> script)
        : peers_(peers), script_(std::move(script)), filler_(script_->filler) {}

    Status SendAll(std::string_view bytes) override {
      if (!script_->send.ok()) return script_->send;
      peers_->sent.append(bytes);
      return Status::OK();
    }

    long Receive(char* buffer, std::size_t max, int timeout_ms, Status* why) override {
      peers_->last_timeout_ms = timeout_ms;
      if (!script_->receive.ok()) {
        if (why != nullptr) *why = script_->receive;
        return -1;
      }
      const bool done = position_ == script_->reply.size() && filler_ == 0;
      if ((done && script_->silent_after) ||
          (timeout_ms >= 0 && script_->step_us > timeout_ms * 1000ull)) {
        Advance(timeout_ms < 0 ? 0 : timeout_ms * 1000ull);
        if (why != nullptr) *why = Status(Status::Kind::kTimedOut, "Connection timed out");
        return -1;
      }
      Advance(script_->step_us);
      max = std::min(max, script_->piece);
      if (position_ < script_->reply.size()) {
        const std::size_t n = std::min(max, script_->reply.size() - position_);
        std::memcpy(buffer, script_->reply.data() + position_, n);
        position_ += n;
        return static_cast<long>(n);
      }
      const std::size_t n = std::min(max, filler_);
      std::memset(buffer, 'x', n);
      filler_ -= n;
      return static_cast<long>(n);
    }

   private:
    void Advance(uint64_t us) {
      if (peers_->clock_us_ != nullptr) *peers_->clock_us_ += us;
    }

    ScriptedPeers* peers_;
    std::shared_ptr<const PeerScript> script_;  // shared: a repeated long reply is not copied
    std::size_t position_ = 0;
    std::size_t filler_;
  };

  uint64_t* clock_us_;
  std::deque<std::shared_ptr<const PeerScript>> scripts_;
};

// An Env whose connections are scripted peers and whose steady clock only they move;
// everything else comes from `target`.
class ScriptedPeerEnv : public EnvWrapper {
 public:
  explicit ScriptedPeerEnv(Env* target, std::deque<PeerScript> scripts = {}) : EnvWrapper(target) {
    for (PeerScript& script : scripts) peers.Add(std::move(script));
  }
  uint64_t NowMicros() override { return now_us; }
  std::unique_ptr<TcpConnection> Connect(const std::string& host, int port, Status* why) override {
    return peers.Connect(host, port, why);
  }

  uint64_t now_us = 5'000'000;
  ScriptedPeers peers{&now_us};
};

}  // namespace tavelin

#endif  // TAVELIN_TESTS_SUPPORT_SCRIPTED_PEER_H_
