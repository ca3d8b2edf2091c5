#include "platform/tcp_common.h"

#include <algorithm>

namespace tavelin {

Status::Kind ConnectKind(int code, const ConnectErrorCodes& codes) {
  if (code == codes.refused) return Status::Kind::kRefused;
  if (code == codes.timed_out) return Status::Kind::kTimedOut;
  if (std::find(codes.unreachable.begin(), codes.unreachable.end(), code) !=
      codes.unreachable.end()) {
    return Status::Kind::kUnreachable;
  }
  return Status::Kind::kConnectFailed;
}

bool CheckConnectArguments(bool host_ok, int port, Status* why) {
  if (!host_ok) {
    SetStatus(why, Status::Kind::kInvalidArgument, "invalid host name");
    return false;
  }
  if (port < 1 || port > 65535) {
    SetStatus(why, Status::Kind::kInvalidArgument, "invalid port " + std::to_string(port));
    return false;
  }
  return true;
}

Status SystemTcpConnection::SendAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const long n = Send(bytes.data(), bytes.size());
    if (n < 0) return Status(Status::Kind::kSendFailed, LastErrorText());
    if (n == 0) return Status(Status::Kind::kSendFailed, "nothing sent");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return Status::OK();
}

long SystemTcpConnection::Receive(char* buffer, std::size_t max, int timeout_ms, Status* why) {
  if (max == 0) {
    SetStatus(why, Status::Kind::kInvalidArgument, "no room to receive into");
    return -1;
  }
  const int ready = Wait(timeout_ms < 0 ? -1 : timeout_ms);
  if (ready == 0) {
    SetStatus(why, Status::Kind::kTimedOut, TimedOutText());
    return -1;
  }
  if (ready < 0) {
    SetStatus(why, Status::Kind::kReceiveFailed, LastErrorText());
    return -1;
  }
  const long n = Read(buffer, max);
  if (n < 0) {
    SetStatus(why, Status::Kind::kReceiveFailed, LastErrorText());
    return -1;
  }
  return n;
}

}  // namespace tavelin
