// What the POSIX and the Win32 TCP connections share: the checks of a connect's arguments,
// the walk over the resolver's addresses, the send loop, the receive with its wait, and the
// mapping of the system's error codes to Status kinds. Each realisation supplies only its system
// calls and its error numbers.
#ifndef TAVELIN_PLATFORM_TCP_COMMON_H_
#define TAVELIN_PLATFORM_TCP_COMMON_H_

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "platform/status.h"

namespace tavelin {

// Sets `*why` when the caller asked for a reason.
inline void SetStatus(Status* why, Status::Kind kind, std::string message) {
  if (why != nullptr) *why = Status(kind, std::move(message));
}

// The system's error numbers that a failed connect is told by.
struct ConnectErrorCodes {
  int refused;
  int timed_out;
  std::array<int, 4> unreachable;  // network or host unreachable or down
};

// The kind of a failed connect: refused, unreachable, timed out, else kConnectFailed.
Status::Kind ConnectKind(int code, const ConnectErrorCodes& codes);

// False with kInvalidArgument when there is no host name to ask for (`host_ok` false) or
// the port lies outside 1 to 65535.
bool CheckConnectArguments(bool host_ok, int port, Status* why);

// Connects to the first of the resolver's `addresses` (a list linked by ai_next) that
// `connect_one` connects to; `connect_one(address, &failure)` returns the connection or null
// with its failure. Without a connection the last address's failure is told: a name with an
// IPv6 address the network cannot reach lists it first, and the IPv4 answer that follows is
// the telling one.
template <typename Address, typename ConnectOne>
std::unique_ptr<TcpConnection> ConnectFirst(Address* addresses, ConnectOne connect_one,
                                            Status* why) {
  Status last_failure(Status::Kind::kConnectFailed, "no address");
  for (Address* a = addresses; a != nullptr; a = a->ai_next) {
    if (std::unique_ptr<TcpConnection> connection = connect_one(*a, &last_failure)) {
      return connection;
    }
  }
  if (why != nullptr) *why = last_failure;
  return nullptr;
}

// A TCP connection whose send loop and receive with its wait are written once: a
// realisation supplies the system calls.
class SystemTcpConnection : public TcpConnection {
 public:
  // Every byte, or kSendFailed with the system's text (or "nothing sent").
  Status SendAll(std::string_view bytes) final;
  // The count read, 0 when the peer closed, -1 with kTimedOut or kReceiveFailed
  // (kInvalidArgument for no room to receive into) in `why`.
  long Receive(char* buffer, std::size_t max, int timeout_ms, Status* why) final;

 protected:
  // Sends some of `size` bytes: the count sent, < 0 on an error (interruptions retried).
  virtual long Send(const char* bytes, std::size_t size) = 0;
  // Waits up to `timeout_ms` (negative: no limit) for a byte: > 0 ready, 0 the time ran
  // out, < 0 an error.
  virtual int Wait(int timeout_ms) = 0;
  // Reads at most `max` bytes: the count, 0 when the peer closed, < 0 on an error.
  virtual long Read(char* buffer, std::size_t max) = 0;
  // The text of the error of the call that just failed.
  virtual std::string LastErrorText() = 0;
  // The system's text for its own "timed out" error.
  virtual std::string TimedOutText() = 0;
};

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_TCP_COMMON_H_
