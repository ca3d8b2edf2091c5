#include "net/digest_auth.h"

#include <gtest/gtest.h>

namespace tavelin {
namespace {

// The worked example of RFC 2617, section 3.5.
TEST(DigestAuthTest, ResponseOfTheRfcExample) {
  EXPECT_EQ(
      DigestResponse("Mufasa", "testrealm@host.com", "Circle Of Life", "GET", "/dir/index.html",
                     "dcd98b7102dd2f0e8b11d0f600bfb0c093", "00000001", "0a4f113b"),
      "6629fae49393a05397450978507c4ef1");
}

// The exact line sent for a fixed nonce, client nonce and counter: the values computed with
// an MD5 of another implementation, not with this one.
TEST(DigestAuthTest, AuthorizationLineForFixedInputs) {
  EXPECT_EQ(DigestClientNonce(42), "AED39CCD026292B6FC7BB5388D240B8E");
  DigestLogin login;
  login.user = "rd";
  login.password = "recorder";
  login.realm_item = "\"RD-X5\"";
  login.nonce_item = "\"5c6e1f2a\"";
  login.uri = "/program/program.htm";
  login.nonce_count = 12;
  login.cnonce = DigestClientNonce(42);
  EXPECT_EQ(DigestAuthorizationLine(login),
            "Authorization: Digest username=\"rd\", realm=\"RD-X5\", nonce=\"5c6e1f2a\", "
            "uri=\"/program/program.htm\", algorithm=\"MD5\", qop=\"auth\", nc=0000000c, "
            "cnonce=\"AED39CCD026292B6FC7BB5388D240B8E\", "
            "response=\"5a858e568f8f3af5cdfa9d46a9b7e480\"");
  // A quote in the user ID is doubled inside its quotes.
  login.user = "r\"d";
  EXPECT_NE(DigestAuthorizationLine(login).find("username=\"r\"\"d\""), std::string::npos);
}

}  // namespace
}  // namespace tavelin
