// Status: why an operation failed, carried from the system call up to whoever tells the
// user. A kind that callers can test, and a message (Shift-JIS) that names what was done to
// what. The platform layer puts the system's own text in the message; each layer above may
// replace it with a fuller sentence that names its own object (an address, a page, a file).
#ifndef TAVELIN_PLATFORM_STATUS_H_
#define TAVELIN_PLATFORM_STATUS_H_

#include <string>
#include <utility>

namespace tavelin {

class Status {
 public:
  // What the system layer tells. The layers above add kinds of their own from
  // kFirstLayerKind up (the HTTP exchange's: net/http_kinds.h).
  enum class Kind : int {
    kOk = 0,
    kInvalidArgument,  // a host name or port that cannot be asked for
    kNameNotResolved,  // the resolver knows no such name
    kRefused,          // the peer's system answered the connect with a refusal
    kUnreachable,      // no route to the network or the host
    kTimedOut,         // no answer to the connect, or no byte within the read limit
    kConnectFailed,    // any other failure to connect
    kSendFailed,       // the request could not be sent
    kReceiveFailed,    // the connection failed while the reply was read
    kFileError,        // a file could not be saved or an old one deleted
    kNoTempFolder,     // no usable folder for the downloaded pages
    kLockHeld,         // another process holds the single-instance lock
    kLockFailed,       // the single-instance lock could not be asked for
    kFirstLayerKind = 100,
  };
  // The `n`-th kind of a layer above (0-based).
  static constexpr Kind LayerKind(int n) {
    return static_cast<Kind>(static_cast<int>(Kind::kFirstLayerKind) + n);
  }

  Status() = default;
  Status(Kind kind, std::string message) : kind_(kind), message_(std::move(message)) {}
  static Status OK() { return Status(); }

  bool ok() const { return kind_ == Kind::kOk; }
  Kind kind() const { return kind_; }
  const std::string& message() const { return message_; }

 private:
  Kind kind_ = Kind::kOk;
  std::string message_;
};

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_STATUS_H_
