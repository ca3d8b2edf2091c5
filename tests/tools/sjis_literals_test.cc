#include "sjis_literals.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>

namespace tavelin {
namespace {

std::string FromUtf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

// The bytes of a sequence of adjacent narrow literals as a C++ compiler reads them; a hex
// escape takes every hex digit that follows it, so a missing split shows as a wrong byte.
bool LiteralBytes(std::string_view code, std::string* bytes) {
  bytes->clear();
  std::size_t at = 0;
  while (at < code.size()) {
    if (code[at++] != '"') return false;
    while (at < code.size() && code[at] != '"') {
      if (code[at] != '\\') {
        *bytes += code[at++];
        continue;
      }
      if (code[at + 1] != 'x') {  // \" and \\ stand for the character itself
        *bytes += code[at + 1];
        at += 2;
        continue;
      }
      at += 2;
      unsigned value = 0;
      while (at < code.size() && std::isxdigit(static_cast<unsigned char>(code[at]))) {
        const char digit = static_cast<char>(std::tolower(static_cast<unsigned char>(code[at++])));
        value = value * 16 + (digit <= '9' ? digit - '0' : digit - 'a' + 10);
        if (value > 0xFF) return false;
      }
      *bytes += static_cast<char>(value);
    }
    ++at;  // closing quote
  }
  return true;
}

// Each literal, rewritten and read back, gives the bytes that g++ gives the same literal
// with the Shift-JIS execution character set this file is built with: 0x5C trail bytes,
// escapes before hex digits, half-width katakana and the characters whose Unicode mapping
// differs between Shift-JIS tables.
TEST(SjisLiteralsTest, GivesTheBytesOfTheShiftJisCompiler) {
  struct Case {
    std::u8string_view source;
    std::string_view compiled;
  } cases[] = {
      {u8"\"予約一覧\"", "予約一覧"},
      {u8"\"表示ソ能\"", "表示ソ能"},
      {u8"\"表a\"", "表a"},
      {u8"\"毎月～金F0\"", "毎月～金F0"},
      {u8"\"ﾃﾚﾋﾞdeﾅﾋﾞ\"", "ﾃﾚﾋﾞdeﾅﾋﾞ"},
      {u8"\"－∥￢￤＼\"", "－∥￢￤＼"},
      {u8"\"ab\\\"c\\\\\"", "ab\"c\\"},
  };
  for (const Case& c : cases) {
    std::string rewritten;
    std::string error;
    ASSERT_TRUE(EscapeShiftJisLiterals(FromUtf8(c.source), &rewritten, &error)) << error;
    std::string bytes;
    ASSERT_TRUE(LiteralBytes(rewritten, &bytes)) << rewritten;
    EXPECT_EQ(bytes, c.compiled) << rewritten;
  }
}

TEST(SjisLiteralsTest, RewritesOnlyNarrowLiterals) {
  struct Case {
    std::u8string_view source;
    std::u8string_view rewritten;
  } cases[] = {
      {u8"// 表 \"表\"\nf(\"表\");", u8"// 表 \"表\"\nf(\"\\x95\\x5c\");"},
      {u8"/* 'ソ' */ c = '\\n';", u8"/* 'ソ' */ c = '\\n';"},
      {u8"u8\"表\" L\"表\" u\"表\" U\"表\" R\"x(a\"b)x\" \"表\"",
       u8"u8\"表\" L\"表\" u\"表\" U\"表\" R\"x(a\"b)x\" \"\\x95\\x5c\""},
      {u8"n = 1'000; s = \"ソ\";", u8"n = 1'000; s = \"\\x83\\x5c\";"},
      {u8"#include \"a.h\"\nx = \"\\\"表\";", u8"#include \"a.h\"\nx = \"\\\"\\x95\\x5c\";"},
  };
  for (const Case& c : cases) {
    std::string rewritten;
    std::string error;
    ASSERT_TRUE(EscapeShiftJisLiterals(FromUtf8(c.source), &rewritten, &error)) << error;
    EXPECT_EQ(rewritten, FromUtf8(c.rewritten));
  }
}

TEST(SjisLiteralsTest, RefusesWhatCannotBeEscaped) {
  for (std::u8string_view source : {u8"R\"(表)\"", u8"\"😀\"", u8"'表a'"}) {
    std::string rewritten;
    std::string error;
    EXPECT_FALSE(EscapeShiftJisLiterals(FromUtf8(source), &rewritten, &error));
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
  }
  std::string rewritten;
  std::string error;
  EXPECT_FALSE(EscapeShiftJisLiterals("x;\n\"\xff\"", &rewritten, &error));
  EXPECT_EQ(error, "line 2: invalid UTF-8");
}

}  // namespace
}  // namespace tavelin
