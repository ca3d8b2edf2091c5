#include "platform/posix/posix_socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/codepage.h"
#include "platform/tcp_common.h"

namespace tavelin::posix {
namespace {

// The system's text for an error number, in Shift-JIS as every text of the Env; the number
// when the text has no Shift-JIS form (a locale that translates it, say).
std::string SystemText(int error_number) {
  std::string text;
  if (!Utf8ToCp932(std::strerror(error_number), &text)) {
    text = "errno " + std::to_string(error_number);
  }
  return text;
}

constexpr ConnectErrorCodes kConnectErrors{
    ECONNREFUSED, ETIMEDOUT, {ENETUNREACH, EHOSTUNREACH, ENETDOWN, EHOSTDOWN}};

class PosixTcpConnection : public SystemTcpConnection {
 public:
  explicit PosixTcpConnection(int fd) : fd_(fd) {}
  ~PosixTcpConnection() override { ::close(fd_); }

 private:
  long Send(const char* bytes, std::size_t size) override {
    ssize_t n;
    do {
      // MSG_NOSIGNAL: a peer that went away is an error here, not a SIGPIPE.
      n = ::send(fd_, bytes, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
  }
  int Wait(int timeout_ms) override {
    pollfd waiting{fd_, POLLIN, 0};
    int ready;
    do {
      ready = ::poll(&waiting, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    return ready;
  }
  long Read(char* buffer, std::size_t max) override {
    ssize_t n;
    do {
      n = ::recv(fd_, buffer, max, 0);
    } while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
  }
  std::string LastErrorText() override { return SystemText(errno); }
  std::string TimedOutText() override { return SystemText(ETIMEDOUT); }

  int fd_;
};

// Waits for a connect that a signal interrupted to finish; true when it succeeded, else
// errno holds the reason.
bool FinishInterruptedConnect(int fd) {
  pollfd waiting{fd, POLLOUT, 0};
  int ready;
  do {
    ready = ::poll(&waiting, 1, -1);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return false;
  int so_error = 0;
  socklen_t length = sizeof so_error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &length) != 0) return false;
  errno = so_error;
  return so_error == 0;
}

}  // namespace

std::unique_ptr<TcpConnection> ConnectTcp(const std::string& host, int port, Status* why) {
  if (!CheckConnectArguments(!host.empty() && host.find('\0') == std::string::npos, port, why)) {
    return nullptr;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* addresses = nullptr;
  const int resolved =
      ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses);
  if (resolved != 0) {
    std::string text;
    if (resolved == EAI_SYSTEM) {
      text = SystemText(errno);
    } else if (!Utf8ToCp932(::gai_strerror(resolved), &text)) {
      text = "getaddrinfo " + std::to_string(resolved);
    }
    SetStatus(why, Status::Kind::kNameNotResolved, text);
    return nullptr;
  }
  std::unique_ptr<TcpConnection> connection = ConnectFirst(
      addresses,
      [](const addrinfo& a, Status* failure) -> std::unique_ptr<TcpConnection> {
        const int fd = ::socket(a.ai_family, a.ai_socktype | SOCK_CLOEXEC, a.ai_protocol);
        if (fd < 0) {
          *failure = Status(Status::Kind::kConnectFailed, SystemText(errno));
          return nullptr;
        }
        if (::connect(fd, a.ai_addr, a.ai_addrlen) != 0 &&
            !(errno == EINTR && FinishInterruptedConnect(fd))) {
          const int error_number = errno;
          *failure = Status(ConnectKind(error_number, kConnectErrors), SystemText(error_number));
          ::close(fd);
          return nullptr;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        return std::make_unique<PosixTcpConnection>(fd);
      },
      why);
  ::freeaddrinfo(addresses);
  return connection;
}

}  // namespace tavelin::posix
