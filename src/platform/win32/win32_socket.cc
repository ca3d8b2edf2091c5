#include "platform/win32/win32_socket.h"

#include <climits>

#include "platform/win32/windows_api.h"

namespace tavelin::win32 {
namespace {

// Winsock is started once for the life of the process.
bool WinsockReady() {
  static const bool ready = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

std::string ErrorText(int code) { return "Winsock error " + std::to_string(code); }

class Win32TcpConnection : public TcpConnection {
 public:
  explicit Win32TcpConnection(SOCKET s) : socket_(s) {}
  ~Win32TcpConnection() override { ::closesocket(socket_); }

  bool SendAll(std::string_view bytes) override {
    while (!bytes.empty()) {
      const int chunk = bytes.size() > INT_MAX ? INT_MAX : static_cast<int>(bytes.size());
      const int n = ::send(socket_, bytes.data(), chunk, 0);
      if (n == SOCKET_ERROR || n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  long Receive(char* buffer, std::size_t max, int timeout_ms) override {
    if (max == 0) return -1;
    WSAPOLLFD waiting{};
    waiting.fd = socket_;
    waiting.events = POLLRDNORM;
    const int ready = ::WSAPoll(&waiting, 1, timeout_ms < 0 ? -1 : timeout_ms);
    if (ready <= 0) return -1;  // error or time ran out
    const int chunk = max > INT_MAX ? INT_MAX : static_cast<int>(max);
    const int n = ::recv(socket_, buffer, chunk, 0);
    return n == SOCKET_ERROR ? -1 : static_cast<long>(n);
  }

 private:
  SOCKET socket_;
};

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

}  // namespace

std::unique_ptr<TcpConnection> ConnectTcp(const std::wstring& host, int port, std::string* error) {
  if (host.empty() || host.find(L'\0') != std::wstring::npos) {
    SetError(error, "invalid host name");
    return nullptr;
  }
  if (port < 1 || port > 65535) {
    SetError(error, "invalid port " + std::to_string(port));
    return nullptr;
  }
  if (!WinsockReady()) {
    SetError(error, "Winsock is not available");
    return nullptr;
  }
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  ADDRINFOW* addresses = nullptr;
  const int resolved =
      ::GetAddrInfoW(host.c_str(), std::to_wstring(port).c_str(), &hints, &addresses);
  if (resolved != 0) {
    SetError(error, "cannot resolve the host: " + ErrorText(resolved));
    return nullptr;
  }
  std::string last_error = "no address";
  for (ADDRINFOW* a = addresses; a != nullptr; a = a->ai_next) {
    SOCKET s = ::WSASocketW(a->ai_family, a->ai_socktype, a->ai_protocol, nullptr, 0,
                            WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
      last_error = ErrorText(::WSAGetLastError());
      continue;
    }
    if (::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
      last_error = ErrorText(::WSAGetLastError());
      ::closesocket(s);
      continue;
    }
    const BOOL on = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    ::FreeAddrInfoW(addresses);
    return std::make_unique<Win32TcpConnection>(s);
  }
  ::FreeAddrInfoW(addresses);
  SetError(error, "cannot connect to port " + std::to_string(port) + ": " + last_error);
  return nullptr;
}

}  // namespace tavelin::win32
