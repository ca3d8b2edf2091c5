#include "ui/win32/wide_text.h"

#include <gtest/gtest.h>

namespace tavelin::ui {
namespace {

TEST(WideTextTest, ShiftJisTextsAreShownAndBrokenCharactersBecomeQuestionMarks) {
  const struct {
    std::string cp932;
    std::wstring shown;
  } cases[] = {
      {"", L""},
      {"RD-H1", L"RD-H1"},
      {"W録設定", L"W\u9332\u8A2D\u5B9A"},
      {"ソ表", L"\u30BD\u8868"},  // second bytes 0x5C, read as part of the character
      {"ｱｲ", L"\uFF71\uFF72"},    // half-width katakana, one byte each
      {"ab\x82", L"ab?"},         // a lead byte without its second byte
      {"a\x85\x40z", L"a?z"},     // an unassigned code
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WideText(c.cp932), c.shown) << c.cp932;
  }
}

TEST(WideTextTest, EntryWithoutShiftJisFormIsRefusedNotApproximated) {
  std::string narrow;
  EXPECT_TRUE(NarrowText(L"192.168.0.20", &narrow));
  EXPECT_EQ(narrow, "192.168.0.20");
  EXPECT_TRUE(NarrowText(L"\u63A5\u7D9A", &narrow));
  EXPECT_EQ(narrow, "接続");
  // "à" would become "a", "€" and an emoji have no form at all.
  for (const wchar_t* refused : {L"\u00E0", L"x\u20AC", L"\U0001F600"}) {
    EXPECT_FALSE(NarrowText(refused, &narrow)) << static_cast<int>(refused[0]);
  }
}

}  // namespace
}  // namespace tavelin::ui
