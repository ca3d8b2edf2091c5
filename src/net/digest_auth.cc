#include "net/digest_auth.h"

#include <cstdio>

#include "net/md5.h"
#include "platform/items.h"

namespace tavelin {
namespace {

std::string LowerMd5Hex(const std::string& text) {
  std::string hex = Md5Hex(text);
  for (char& c : hex) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  }
  return hex;
}

// A double quote, the text with each double quote doubled, a double quote.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

}  // namespace

std::string DigestClientNonce(std::uint32_t random) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", random);
  return Md5Hex(text);
}

std::string DigestResponse(const std::string& user, const std::string& realm,
                           const std::string& password, const std::string& method,
                           const std::string& uri, const std::string& nonce, const std::string& nc,
                           const std::string& cnonce) {
  const std::string ha1 = LowerMd5Hex(user + ":" + realm + ":" + password);
  const std::string ha2 = LowerMd5Hex(method + ":" + uri);
  return LowerMd5Hex(ha1 + ":" + nonce + ":" + nc + ":" + cnonce + ":auth:" + ha2);
}

std::string DigestAuthorizationLine(const DigestLogin& login) {
  char nc[9];
  std::snprintf(nc, sizeof nc, "%08x", static_cast<unsigned>(login.nonce_count));
  const std::string response =
      DigestResponse(login.user, UnquoteValue(login.realm_item), login.password, "GET", login.uri,
                     UnquoteValue(login.nonce_item), nc, login.cnonce);
  return "Authorization: Digest username=" + Quoted(login.user) + ", realm=" + login.realm_item +
         ", nonce=" + login.nonce_item + ", uri=" + Quoted(login.uri) +
         ", algorithm=\"MD5\", qop=\"auth\", nc=" + nc + ", cnonce=" + Quoted(login.cnonce) +
         ", response=" + Quoted(response);
}

}  // namespace tavelin
