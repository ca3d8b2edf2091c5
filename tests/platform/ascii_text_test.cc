#include "platform/ascii_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tavelin {
namespace {

TEST(AsciiTrimTest, ControlsAndSpacesOrOnlySpacesAndTabs) {
  const struct {
    std::string input;
    std::string controls_trimmed;
    std::string spaces_trimmed;
  } kCases[] = {
      {"", "", ""},
      {" \t\r\n", "", "\r\n"},
      {"\x01 a b\x1F", "a b", "\x01 a b\x1F"},
      {"\t x \t", "x", "x"},
      {"　予約　", "　予約　", "　予約　"},  // full-width spaces stay
      {std::string("\0a\0", 3), "a", std::string("\0a\0", 3)},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(TrimControls(c.input), c.controls_trimmed) << c.input;
    EXPECT_EQ(TrimSpacesAndTabs(c.input), c.spaces_trimmed) << c.input;
  }
}

TEST(AsciiCaseTest, FoldsOnlyAsciiLettersByteByByte) {
  EXPECT_TRUE(SameBytesIgnoringAsciiCase("Transfer-Encoding", "transfer-ENCODING"));
  EXPECT_FALSE(SameBytesIgnoringAsciiCase("abc", "abd"));
  EXPECT_FALSE(SameBytesIgnoringAsciiCase("abc", "ab"));
  EXPECT_FALSE(SameBytesIgnoringAsciiCase("@", "`"));  // 0x40 and 0x60 are no letters
  EXPECT_FALSE(SameBytesIgnoringAsciiCase("\xC3\xA9", "\xC3\x89"));
  // A trail byte is just a byte here, unlike SameTextIgnoringAsciiCase.
  EXPECT_TRUE(SameBytesIgnoringAsciiCase("\x83\x41", "\x83\x61"));

  EXPECT_EQ(LowerAsciiBytes("/C Zz@[`{\xC3\x89"), "/c zz@[`{\xC3\x89");
}

}  // namespace
}  // namespace tavelin
