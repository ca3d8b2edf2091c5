// MD5 (RFC 1321) of a byte string, as text.
#ifndef TAVELIN_NET_MD5_H_
#define TAVELIN_NET_MD5_H_

#include <string>
#include <string_view>

namespace tavelin {

// The 16 digest bytes as 32 upper-case hexadecimal digits.
std::string Md5Hex(std::string_view bytes);

}  // namespace tavelin

#endif  // TAVELIN_NET_MD5_H_
