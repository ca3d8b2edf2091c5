// TCP client connections over Winsock 2, with the same time limits as elsewhere: connect
// takes the system's own limit, a receive waits with WSAPoll.
#ifndef TAVELIN_PLATFORM_WIN32_WIN32_SOCKET_H_
#define TAVELIN_PLATFORM_WIN32_WIN32_SOCKET_H_

#include <memory>
#include <string>

#include "platform/env.h"

namespace tavelin::win32 {

// `host` is the UTF-16 name or address. Null on failure, with the reason in `why` when
// given (see Env::Connect).
std::unique_ptr<TcpConnection> ConnectTcp(const std::wstring& host, int port, Status* why);

}  // namespace tavelin::win32

#endif  // TAVELIN_PLATFORM_WIN32_WIN32_SOCKET_H_
