#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

namespace tavelin {
namespace {

TEST(LeadByteTest, RangesAndTheirNeighbours) {
  const struct {
    int byte;
    bool lead;
  } kCases[] = {{0x00, false}, {0x40, false}, {0x7F, false}, {0x80, false}, {0x81, true},
                {0x9F, true},  {0xA0, false}, {0xA1, false}, {0xDF, false}, {0xE0, true},
                {0xFC, true},  {0xFD, false}, {0xFF, false}};
  for (const auto& c : kCases) {
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(c.byte)), c.lead) << std::hex << c.byte;
  }
}

TEST(CodepageTest, RoundTripsThroughUtf8) {
  // "予約" is Shift-JIS at run time; "表" has 0x5C as its trail byte, half-width katakana
  // are single bytes, and NUL is an ordinary character.
  const std::string kTexts[] = {"",   "abc", "予約一覧", "表示", "ﾃﾚﾋﾞ", std::string("a\0b", 3),
                                "～①"};
  for (const std::string& text : kTexts) {
    std::string utf8, back;
    ASSERT_TRUE(Cp932ToUtf8(text, &utf8)) << text;
    ASSERT_TRUE(Utf8ToCp932(utf8, &back)) << utf8;
    EXPECT_EQ(back, text);
  }
  std::string utf8;
  ASSERT_TRUE(Cp932ToUtf8("表", &utf8));
  EXPECT_EQ(utf8, "\xE8\xA1\xA8");
  ASSERT_TRUE(Cp932ToUtf8("ﾃ", &utf8));
  EXPECT_EQ(utf8, "\xEF\xBE\x83");
  // ASCII stays ASCII: backslash and tilde are not yen sign and overline here.
  ASSERT_TRUE(Cp932ToUtf8("C:\\a~b", &utf8));
  EXPECT_EQ(utf8, "C:\\a~b");
}

TEST(CodepageTest, UnconvertibleBytesFailTheWholeCall) {
  std::string out;
  EXPECT_FALSE(Cp932ToUtf8("ab\x81", &out));            // lead byte without its trail
  EXPECT_FALSE(Cp932ToUtf8("\x81\x20", &out));          // trail byte out of range
  EXPECT_FALSE(Cp932ToUtf8("\x85\x40", &out));          // a pair no character has
  EXPECT_FALSE(Utf8ToCp932("\xC3", &out));              // cut UTF-8 sequence
  EXPECT_FALSE(Utf8ToCp932("\xED\xA0\x80", &out));      // encoded surrogate
  EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80", &out));  // emoji: no Shift-JIS form
  EXPECT_FALSE(Utf8ToCp932("\xC3\xA9", &out));          // e acute: none either
}

// Windows' code page 932 maps five single bytes outside the JIS set; both systems give them
// the same code points, so a name holding one is written everywhere and reads back.
TEST(CodepageTest, WindowsOnlySingleBytesMapBothWays) {
  const std::pair<std::string, char32_t> kCases[] = {
      {"\x80", 0x80}, {"\xA0", 0xF8F0}, {"\xFD", 0xF8F1}, {"\xFE", 0xF8F2}, {"\xFF", 0xF8F3}};
  for (const auto& [byte, point] : kCases) {
    std::u32string points;
    std::string back;
    ASSERT_TRUE(Cp932ToCodePoints(byte + "3", &points)) << std::hex << static_cast<uint32_t>(point);
    EXPECT_EQ(points, (std::u32string{point, U'3'}));
    ASSERT_TRUE(CodePointsToCp932(points, &back));
    EXPECT_EQ(back, byte + "3");
  }
  // As trail bytes 0x80 and 0xA0 stay part of their character (0x81 0x80 is U+00F7,
  // 0x88 0xA0 is U+5516), between the single ones.
  const std::string mixed =
      "\x81\x80"
      "\x80"
      "\x88\xA0"
      "\xA0"
      "ﾃ"
      "\xFF";
  std::string utf8, back;
  ASSERT_TRUE(Cp932ToUtf8(mixed, &utf8));
  EXPECT_EQ(utf8,
            "\xC3\xB7"
            "\xC2\x80"
            "\xE5\x94\x96"
            "\xEF\xA3\xB0"
            "\xEF\xBE\x83"
            "\xEF\xA3\xB3");
  ASSERT_TRUE(Utf8ToCp932(utf8, &back));
  EXPECT_EQ(back, mixed);
  EXPECT_FALSE(
      Utf8ToCp932("\xC2\x80"
                  "\xC3\xA9",
                  &back));  // the rest still has to convert
}

TEST(CodepageTest, LongTextsConvert) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += (i % 3 == 0) ? "予" : "x";
  std::string utf8, back;
  ASSERT_TRUE(Cp932ToUtf8(text, &utf8));
  ASSERT_TRUE(Utf8ToCp932(utf8, &back));
  EXPECT_EQ(back, text);
}

TEST(CodepageTest, CodePoints) {
  std::u32string points;
  ASSERT_TRUE(Cp932ToCodePoints("A予ﾃ", &points));
  EXPECT_EQ(points, (std::u32string{U'A', U'\u4E88', U'\uFF83'}));
  std::string back;
  ASSERT_TRUE(CodePointsToCp932(points, &back));
  EXPECT_EQ(back, "A予ﾃ");
  EXPECT_FALSE(CodePointsToCp932(std::u32string{U'a', 0xD800}, &back));
  EXPECT_FALSE(CodePointsToCp932(std::u32string{0x110000}, &back));
  EXPECT_FALSE(CodePointsToCp932(std::u32string{0x1F600}, &back));
  EXPECT_FALSE(Cp932ToCodePoints("\x81", &points));
}

TEST(CodepageTest, CaseFoldingTouchesSingleByteLettersOnly) {
  EXPECT_TRUE(SameTextIgnoringAsciiCase("TSetup", "tsetup"));
  EXPECT_TRUE(SameTextIgnoringAsciiCase("予約Ab", "予約aB"));
  EXPECT_FALSE(SameTextIgnoringAsciiCase("abc", "abd"));
  EXPECT_FALSE(SameTextIgnoringAsciiCase("abc", "ab"));
  // 0x83 0x41 and 0x83 0x61 are different katakana although 0x41/0x61 are 'A'/'a'.
  EXPECT_FALSE(SameTextIgnoringAsciiCase("\x83\x41", "\x83\x61"));
  EXPECT_EQ(UpperAsciiText("td\x83\x61x\x81"), "TD\x83\x61X\x81");

  EXPECT_TRUE(EndsWithIgnoringAsciiCase("a.TVPI", ".tvpi"));
  EXPECT_TRUE(EndsWithIgnoringAsciiCase("x", ""));
  EXPECT_FALSE(EndsWithIgnoringAsciiCase("tvpi", ".tvpi"));
  // The suffix "a" must not match the trail byte of the character 0x83 0x61.
  EXPECT_FALSE(EndsWithIgnoringAsciiCase("\x83\x61", "a"));
  EXPECT_TRUE(
      EndsWithIgnoringAsciiCase("\x83\x61"
                                "a",
                                "A"));
}

}  // namespace
}  // namespace tavelin
