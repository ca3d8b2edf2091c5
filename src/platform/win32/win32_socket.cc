#include "platform/win32/win32_socket.h"

#include <climits>

#include "platform/tcp_common.h"
#include "platform/win32/win32_text.h"
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

// The system's text for a Winsock error (in the system's language, as Shift-JIS) followed by
// its number; the number alone when the system has no text or it has no Shift-JIS form.
std::string ErrorText(int code) {
  std::string number = "Winsock error " + std::to_string(code);
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring wide;
  if (length > 0 && buffer != nullptr) wide.assign(buffer, length);
  if (buffer != nullptr) ::LocalFree(buffer);
  // The system's texts end in a full stop and a line break.
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ' ||
                           wide.back() == L'.' || wide.back() == L'\x3002')) {
    wide.pop_back();
  }
  std::string text;
  if (wide.empty() || !FromWide(wide, &text)) return number;
  return text + " (" + std::to_string(code) + ")";
}

constexpr ConnectErrorCodes kConnectErrors{
    WSAECONNREFUSED, WSAETIMEDOUT, {WSAENETUNREACH, WSAEHOSTUNREACH, WSAENETDOWN, WSAEHOSTDOWN}};

class Win32TcpConnection : public SystemTcpConnection {
 public:
  explicit Win32TcpConnection(SOCKET s) : socket_(s) {}
  ~Win32TcpConnection() override { ::closesocket(socket_); }

 private:
  long Send(const char* bytes, std::size_t size) override {
    const int chunk = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    const int n = ::send(socket_, bytes, chunk, 0);
    return n == SOCKET_ERROR ? -1 : static_cast<long>(n);
  }
  int Wait(int timeout_ms) override {
    WSAPOLLFD waiting{};
    waiting.fd = socket_;
    waiting.events = POLLRDNORM;
    return ::WSAPoll(&waiting, 1, timeout_ms);
  }
  long Read(char* buffer, std::size_t max) override {
    const int chunk = max > INT_MAX ? INT_MAX : static_cast<int>(max);
    const int n = ::recv(socket_, buffer, chunk, 0);
    return n == SOCKET_ERROR ? -1 : static_cast<long>(n);
  }
  std::string LastErrorText() override { return ErrorText(::WSAGetLastError()); }
  std::string TimedOutText() override { return ErrorText(WSAETIMEDOUT); }

  SOCKET socket_;
};

}  // namespace

std::unique_ptr<TcpConnection> ConnectTcp(const std::wstring& host, int port, Status* why) {
  if (!CheckConnectArguments(!host.empty() && host.find(L'\0') == std::wstring::npos, port, why)) {
    return nullptr;
  }
  if (!WinsockReady()) {
    SetStatus(why, Status::Kind::kConnectFailed, "Winsock is not available");
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
    SetStatus(why, Status::Kind::kNameNotResolved, ErrorText(resolved));
    return nullptr;
  }
  std::unique_ptr<TcpConnection> connection = ConnectFirst(
      addresses,
      [](const ADDRINFOW& a, Status* failure) -> std::unique_ptr<TcpConnection> {
        SOCKET s = ::WSASocketW(a.ai_family, a.ai_socktype, a.ai_protocol, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
        if (s == INVALID_SOCKET) {
          *failure = Status(Status::Kind::kConnectFailed, ErrorText(::WSAGetLastError()));
          return nullptr;
        }
        if (::connect(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) != 0) {
          const int code = ::WSAGetLastError();
          *failure = Status(ConnectKind(code, kConnectErrors), ErrorText(code));
          ::closesocket(s);
          return nullptr;
        }
        const BOOL on = TRUE;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        return std::make_unique<Win32TcpConnection>(s);
      },
      why);
  ::FreeAddrInfoW(addresses);
  return connection;
}

}  // namespace tavelin::win32
