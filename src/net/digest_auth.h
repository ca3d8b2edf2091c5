// The answer to an HTTP Digest login (RFC 2617, qop "auth", MD5) as pure functions of their
// inputs, so that the exact bytes can be pinned by tests.
#ifndef TAVELIN_NET_DIGEST_AUTH_H_
#define TAVELIN_NET_DIGEST_AUTH_H_

#include <cstdint>
#include <string>

namespace tavelin {

struct DigestLogin {
  std::string user;
  std::string password;
  // The challenge's realm and nonce values as the challenge wrote them, quotes and all; the
  // answer repeats them as they came and computes with their unquoted text.
  std::string realm_item;
  std::string nonce_item;
  // The request target of the GET ("/program/program.htm").
  std::string uri;
  // Logins answered so far in this process, this one included (1 for the first).
  std::uint32_t nonce_count = 1;
  std::string cnonce;
};

// The client nonce made from a random number: the MD5 of its eight upper-case hexadecimal
// digits, in upper-case hexadecimal.
std::string DigestClientNonce(std::uint32_t random);

// MD5(MD5(user:realm:password) ":" nonce ":" nc ":" cnonce ":auth:" MD5(method ":" uri)), each
// digest in lower-case hexadecimal.
std::string DigestResponse(const std::string& user, const std::string& realm,
                           const std::string& password, const std::string& method,
                           const std::string& uri, const std::string& nonce, const std::string& nc,
                           const std::string& cnonce);

// The whole "Authorization: Digest ..." header line (without CR LF) answering a GET with
// qop "auth" and algorithm MD5, whatever else the challenge offered.
std::string DigestAuthorizationLine(const DigestLogin& login);

}  // namespace tavelin

#endif  // TAVELIN_NET_DIGEST_AUTH_H_
