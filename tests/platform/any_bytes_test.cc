// Every text-taking operation must accept arbitrary bytes: no crash and no read outside
// the input (the sanitizer build checks the latter). Inputs are random mixes of the bytes
// that matter to the parsers, so the structure is hit often.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/codepage.h"
#include "platform/path.h"
#include "platform/posix/registry_text.h"
#include "platform/profile_ini.h"

namespace tavelin {
namespace {

std::string RandomText(std::mt19937& random, std::size_t max_length) {
  static const char kAlphabet[] = "[]=\"'\\;@ \t\r\n/.:aAkK0\x81\x95\x5D\xE0\xFC\xFF\x80\xA0";
  std::uniform_int_distribution<std::size_t> length(0, max_length);
  std::uniform_int_distribution<int> pick(0, sizeof kAlphabet - 1);  // includes the NUL
  std::string text(length(random), '\0');
  for (char& c : text) c = kAlphabet[pick(random)];
  return text;
}

TEST(AnyBytesTest, TextOperationsNeverFault) {
  std::mt19937 random(20240601);
  for (int round = 0; round < 3000; ++round) {
    const std::string text = RandomText(random, 80);
    const std::string a = RandomText(random, 6);
    const std::string b = RandomText(random, 6);

    std::string out;
    std::u32string points;
    if (Cp932ToUtf8(text, &out)) {
      std::string back;
      ASSERT_TRUE(Utf8ToCp932(out, &back));
      EXPECT_EQ(back, text);
    }
    Utf8ToCp932(text, &out);
    Cp932ToCodePoints(text, &points);
    SameTextIgnoringAsciiCase(a, b);
    EndsWithIgnoringAsciiCase(text, a);

    ExtractFilePath(text);
    const std::string name = ExtractFileName(text);
    EXPECT_EQ(ExtractFilePath(text) + name, text);
    ChangeFileExt(text, a);
    IncludeTrailingDelimiter(text);

    std::string value;
    FindProfileValue(text, a, b, &value);
    std::string updated;
    if (SetProfileValue(text, a, b, "v", &updated)) {
      // Whatever was there, the key written is the key read.
      ASSERT_TRUE(FindProfileValue(updated, a, b, &value))
          << ::testing::PrintToString(text) << " " << ::testing::PrintToString(a) << " "
          << ::testing::PrintToString(b) << " " << ::testing::PrintToString(updated);
      EXPECT_EQ(value, "v") << round;
    }

    posix::RegistryText registry(text);
    registry.KeyExists(a);
    registry.ReadString(a, b, &value);
    uint32_t number;
    registry.ReadDword(a, b, &number);
    if (registry.WriteString(a, b, "v\\\"")) {
      ASSERT_TRUE(registry.ReadString(a, b, &value)) << round;
      EXPECT_EQ(value, "v\\\"") << round;
    }
  }
}

}  // namespace
}  // namespace tavelin
