#include "platform/posix/posix_socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavelin::posix {
namespace {

class PosixTcpConnection : public TcpConnection {
 public:
  explicit PosixTcpConnection(int fd) : fd_(fd) {}
  ~PosixTcpConnection() override { ::close(fd_); }

  bool SendAll(std::string_view bytes) override {
    while (!bytes.empty()) {
      // MSG_NOSIGNAL: a peer that went away is an error here, not a SIGPIPE.
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  long Receive(char* buffer, std::size_t max, int timeout_ms) override {
    if (max == 0) return -1;
    pollfd waiting{fd_, POLLIN, 0};
    int ready;
    do {
      ready = ::poll(&waiting, 1, timeout_ms < 0 ? -1 : timeout_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return -1;  // error or time ran out
    ssize_t n;
    do {
      n = ::recv(fd_, buffer, max, 0);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : static_cast<long>(n);
  }

 private:
  int fd_;
};

// Waits for a connect that a signal interrupted to finish; true when it succeeded.
bool FinishInterruptedConnect(int fd) {
  pollfd waiting{fd, POLLOUT, 0};
  int ready;
  do {
    ready = ::poll(&waiting, 1, -1);
  } while (ready < 0 && errno == EINTR);
  int so_error = 0;
  socklen_t length = sizeof so_error;
  return ready > 0 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &length) == 0 &&
         so_error == 0;
}

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

}  // namespace

std::unique_ptr<TcpConnection> ConnectTcp(const std::string& host, int port, std::string* error) {
  if (host.empty() || host.find('\0') != std::string::npos) {
    SetError(error, "invalid host name");
    return nullptr;
  }
  if (port < 1 || port > 65535) {
    SetError(error, "invalid port " + std::to_string(port));
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
    SetError(error, std::string("cannot resolve ") + host + ": " + ::gai_strerror(resolved));
    return nullptr;
  }
  std::string last_error = "no address";
  for (addrinfo* a = addresses; a != nullptr; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      last_error = std::strerror(errno);
      continue;
    }
    const bool connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ||
                           (errno == EINTR && FinishInterruptedConnect(fd));
    if (!connected) {
      last_error = std::strerror(errno);
      ::close(fd);
      continue;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::freeaddrinfo(addresses);
    return std::make_unique<PosixTcpConnection>(fd);
  }
  ::freeaddrinfo(addresses);
  SetError(error, "cannot connect to " + host + ":" + std::to_string(port) + ": " + last_error);
  return nullptr;
}

}  // namespace tavelin::posix
