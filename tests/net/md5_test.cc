#include "net/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace tavelin {
namespace {

struct Md5Case {
  std::string input;
  const char* hex;
};

TEST(Md5HexTest, MatchesReferenceDigests) {
  const Md5Case cases[] = {
      // The test suite of RFC 1321.
      {"", "D41D8CD98F00B204E9800998ECF8427E"},
      {"a", "0CC175B9C0F1B6A831C399E269772661"},
      {"abc", "900150983CD24FB0D6963F7D28E17F72"},
      {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
      {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "D174AB98D277D9F5A5611C2C9F419D9F"},
      {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
       "0",
       "57EDF4A22BE3C955AC49DA2E2107B67A"},
      // Shift-JIS bytes, trail bytes 0x5C included; the digest is over the bytes as they are.
      {"予約一覧", "6BE93658A35AFB4F6E697A8D4BF0F940"},
      {"ソ表", "37C1588EECEA2AD80DCA8F86ADACA0DA"},
      {"admin:RD Recorder:パス", "F546842106AE642ABB597BF1B5570BFC"},
      // NUL and high bytes are data, not terminators.
      {std::string("\x00\xff\x80", 3), "4FD64CB80C3F86E1E9D0F559AF8B370F"},
  };
  for (const Md5Case& c : cases) {
    EXPECT_EQ(Md5Hex(c.input), c.hex) << "input size " << c.input.size();
  }
}

// Lengths around the 56-byte padding limit and the 64-byte block size take the one- and
// two-block tails and the whole-block loop.
TEST(Md5HexTest, PaddingBoundaries) {
  const struct {
    int length;
    const char* hex;
  } cases[] = {
      {55, "04364420E25C512FD958A70738AA8F72"},  {56, "668A72D5BA17F08E62DABCAFAD6DB14B"},
      {63, "7DC2CA208106A2F703567BDFF99D8981"},  {64, "C1BB4F81D892B2D57947682AEB252456"},
      {65, "1BC932052302D074BDEC39795FE00CF6"},  {127, "A0B28C1DA68705C2FF883FE279B72753"},
      {128, "D69CB61A6EE87200676EB0D4B90EDBCB"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Md5Hex(std::string(c.length, 'x')), c.hex) << c.length << " bytes";
  }
}

}  // namespace
}  // namespace tavelin
