#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix_env.h"

namespace tavelin {
namespace {

// A listening socket on a free loopback port.
class Listener {
 public:
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd_, 4) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot listen on loopback";
    }
    port_ = ntohs(address.sin_port);
  }
  ~Listener() { ::close(fd_); }
  int port() const { return port_; }
  int Accept() { return ::accept(fd_, nullptr, nullptr); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

std::string ReceiveExactly(TcpConnection* connection, std::size_t count) {
  std::string data;
  char buffer[256];
  while (data.size() < count) {
    const long n = connection->Receive(buffer, sizeof buffer, 2000, nullptr);
    if (n <= 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
  }
  return data;
}

TEST(TcpTest, ExchangesBytesAndSeesTheEnd) {
  Listener listener;
  auto env = NewPosixEnv();
  Status why;
  auto connection = env->Connect("127.0.0.1", listener.port(), &why);
  ASSERT_NE(connection, nullptr) << why.message();
  const int server = listener.Accept();
  ASSERT_GE(server, 0);

  const std::string request = "GET /program/program.htm HTTP/1.1\r\n\r\n";
  ASSERT_TRUE(connection->SendAll(request).ok());
  std::string received(request.size(), '\0');
  ASSERT_EQ(::recv(server, received.data(), received.size(), MSG_WAITALL),
            static_cast<ssize_t>(request.size()));
  EXPECT_EQ(received, request);

  // Nothing sent yet: the wait runs out, and says so.
  char buffer[16];
  EXPECT_EQ(connection->Receive(buffer, sizeof buffer, 20, &why), -1);
  EXPECT_EQ(why.kind(), Status::Kind::kTimedOut);

  const std::string reply("HTTP/1.1 200 OK\r\n\r\n\0body", 24);
  ASSERT_EQ(::send(server, reply.data(), reply.size(), 0), static_cast<ssize_t>(reply.size()));
  EXPECT_EQ(ReceiveExactly(connection.get(), reply.size()), reply);
  // At most `max` bytes per call.
  ASSERT_EQ(::send(server, "abcdef", 6, 0), 6);
  char small[4];
  EXPECT_EQ(connection->Receive(small, 4, 2000, nullptr), 4);
  EXPECT_EQ(std::string(small, 4), "abcd");
  EXPECT_EQ(ReceiveExactly(connection.get(), 2), "ef");

  ::close(server);
  EXPECT_EQ(connection->Receive(buffer, sizeof buffer, 2000, nullptr), 0);
  // Writing to a closed peer fails instead of raising SIGPIPE, with the system's reason.
  const std::string chunk(64 * 1024, 'x');
  Status sent;
  for (int i = 0; i < 100 && sent.ok(); ++i) sent = connection->SendAll(chunk);
  EXPECT_EQ(sent.kind(), Status::Kind::kSendFailed);
  EXPECT_FALSE(sent.message().empty());
}

TEST(TcpTest, ResolvesNames) {
  Listener listener;
  auto env = NewPosixEnv();
  Status why;
  auto connection = env->Connect("localhost", listener.port(), &why);
  // localhost may resolve to ::1 first; the IPv4 listener must still be found.
  ASSERT_NE(connection, nullptr) << why.message();
}

TEST(TcpTest, FailuresComeWithAReason) {
  int closed_port;
  {
    Listener listener;
    closed_port = listener.port();
  }
  auto env = NewPosixEnv();
  const struct {
    std::string host;
    int port;
    Status::Kind kind;
  } kCases[] = {
      {"127.0.0.1", closed_port, Status::Kind::kRefused},
      {"127.0.0.1", 0, Status::Kind::kInvalidArgument},
      {"127.0.0.1", 70000, Status::Kind::kInvalidArgument},
      {"", 80, Status::Kind::kInvalidArgument},
      {"bad\x81", 80, Status::Kind::kInvalidArgument},
      {"no-such-host.invalid", 80, Status::Kind::kNameNotResolved},
  };
  for (const auto& c : kCases) {
    Status why;
    EXPECT_EQ(env->Connect(c.host, c.port, &why), nullptr) << c.host << ":" << c.port;
    EXPECT_EQ(why.kind(), c.kind) << c.host << ":" << c.port;
    EXPECT_FALSE(why.message().empty()) << c.host << ":" << c.port;
    EXPECT_EQ(env->Connect(c.host, c.port, nullptr), nullptr);
  }
}

}  // namespace
}  // namespace tavelin
