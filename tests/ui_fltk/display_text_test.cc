#include "ui/fltk/display_text.h"

#include <gtest/gtest.h>

#include "support/test_env.h"

namespace tavelin::ui {
namespace {

TEST(DisplayTextTest, ShiftJisIsShownAsUtf8AndBadCharactersAsQuestionMarks) {
  EXPECT_EQ(DisplayText("W録設定"), testing::Utf8("W録設定"));
  EXPECT_EQ(DisplayText(""), "");
  // A lone lead byte at the end, and an unassigned double-byte code in the middle.
  EXPECT_EQ(DisplayText(std::string("ab\x81", 3)), "ab?");
  EXPECT_EQ(DisplayText(std::string("a\x85\x40z", 4)), "a?z");
}

TEST(DisplayTextTest, EnteredTextConvertsOrRefusesAsAWhole) {
  std::string out;
  ASSERT_TRUE(EnteredText("\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", &out));  // テスト
  EXPECT_EQ(out, "テスト");
  EXPECT_FALSE(EnteredText("a\xF0\x9F\x98\x80", &out));  // an emoji has no Shift-JIS form
}

TEST(DisplayTextTest, GothicFacesMapToTheIpaFamily) {
  EXPECT_STREQ(FontFaceFor("ＭＳ Ｐゴシック"), " IPAPGothic");
  EXPECT_STREQ(FontFaceFor("ＭＳ ゴシック"), " IPAGothic");
  EXPECT_STREQ(FontFaceFor("Arial"), " IPAPGothic");
}

}  // namespace
}  // namespace tavelin::ui
