// TCP client connections of the POSIX Env.
#ifndef TAVELIN_PLATFORM_POSIX_POSIX_SOCKET_H_
#define TAVELIN_PLATFORM_POSIX_POSIX_SOCKET_H_

#include <memory>
#include <string>

#include "platform/env.h"

namespace tavelin::posix {

// Resolves `host` (an ASCII or UTF-8 name or address) and connects to the first address
// that answers, blocking for as long as the system's own connect limit. Null on failure,
// with the reason in `why` when given (see Env::Connect).
std::unique_ptr<TcpConnection> ConnectTcp(const std::string& host, int port, Status* why);

}  // namespace tavelin::posix

#endif  // TAVELIN_PLATFORM_POSIX_POSIX_SOCKET_H_
