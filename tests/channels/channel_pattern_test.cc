#include "channels/channel_pattern.h"

#include <gtest/gtest.h>

#include <string>

#include "channels/fuzzy_groups.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

bool Found(const std::string& pattern, const std::string& text, bool fuzzy) {
  PatternMatcher matcher;
  matcher.set_use_fuzzy_groups(fuzzy);
  return matcher.Compile(pattern).FoundIn(text);
}

struct SearchCase {
  std::string pattern;
  std::string text;
  bool found;
};

void ExpectSearches(const std::vector<SearchCase>& cases, bool fuzzy) {
  for (const SearchCase& c : cases) {
    EXPECT_EQ(Found(c.pattern, c.text, fuzzy), c.found)
        << "pattern " << Utf8(c.pattern) << " in " << Utf8(c.text);
  }
}

TEST(ChannelPatternTest, RegularExpressionSyntaxWithoutGroups) {
  ExpectSearches(
      {
          {"NHK", "NHK総合", true},  // anywhere, not whole text
          {"総合", "NHK総合", true},
          {"^NHK", "BS NHK", false},
          {"総合$", "NHK総合2", false},
          {"N.K", "NEK", true},
          {"TBS|フジ", "フジテレビ", true},
          {"テレビ(東京|朝日)", "テレビ朝日", true},
          // Parentheses group; they do not stand for themselves.
          {"NHK(総合)", "NHK(総合)", false},
          {"NHK\\(総合\\)", "NHK(総合)", true},
          // Braces are ordinary characters.
          {"a{2}", "a{2}", true},
          {"a{2}", "aa", false},
          // A backslash makes any character literal, letters included.
          {"\\d", "d", true},
          {"\\d", "1", false},
          {"\\.", "x", false},
          {"[0-9]ch", "12ch", true},
          {"[^0-9]ch", "1ch", false},
          {"[a\\]]x", "]x", true},
          {"BS-?1", "BS1", true},
          {"ab+c", "abbbc", true},
          {"a**b", "aab", true},  // a quantified item may be quantified again
          {"(ab)*c", "c", true},
          // A stored line break is an ordinary character: '.' takes it, '$' not before it.
          {"NHK$", "NHK\n", false},
          {"NHK.", "NHK\n", true},
          // Without the groups, width and script differ.
          {"NHK", "ＮＨＫ", false},
          {"テレビ", "ﾃﾚﾋﾞ", false},
      },
      /*fuzzy=*/false);
}

TEST(ChannelPatternTest, ShiftJisTrailBytesAreNeverSyntax) {
  // ソ, 表 and 予 end in the byte 0x5C; 彙 ends in 0x5B ([) and ー ends in 0x5B as well.
  ExpectSearches(
      {
          {"ソ[あい]", "ソい", true},
          {"予(約)", "予約", true},
          {"表示*", "表", true},
          {"表", "侮", false},
          {"ー", "ー", true},
          {"[表]", "表", true},
          {"[表]", "\\", false},
      },
      /*fuzzy=*/false);
}

TEST(ChannelPatternTest, TextWithCutDoubleByteCharacter) {
  // A station name cut to its field width may end in a lone lead byte.
  const std::string cut = std::string("NHK") + '\x82';
  ExpectSearches({{"NHK", cut, true}, {"K$", cut, false}, {"NHK.$", cut, true}},
                 /*fuzzy=*/true);
}

TEST(ChannelPatternTest, InvalidPatternsThrow) {
  for (const char* pattern :
       {"NHK(", "NHK)", "(a))", "[abc", "[]", "[z-a]", "*a", "a|*b", "(?x)", "(*b)", "a\\", "^*"}) {
    PatternMatcher matcher;
    matcher.set_use_fuzzy_groups(true);
    EXPECT_THROW(matcher.Compile(pattern), PatternError) << pattern;
  }
}

TEST(ChannelPatternTest, ErrorNamesThePattern) {
  PatternMatcher matcher;
  try {
    matcher.Compile("日テレ(");
    FAIL() << "no error";
  } catch (const PatternError& error) {
    EXPECT_NE(std::string(error.what()).find("日テレ("), std::string::npos);
  }
}

TEST(ChannelPatternTest, FuzzyGroupsWidenLiteralCharacters) {
  ExpectSearches(
      {
          {"NHK", "ＮＨＫ総合", true},
          {"nhk", "NHK", true},
          {"テレビ", "ﾃﾚﾋﾞ東京", true},
          {"テレビ", "てれび", true},
          {"テレビ", "テレヒ゛", true},
          {"ガ", "ｶﾞ", true},
          {"ガ", "カ", false},
          {"BS1", "ＢＳ１", true},
          {"BS1", "BS一", true},
          {"BS1", "BSⅠ", true},
          {"ぢ", "じ", true},  // the じ group holds ぢ
          {"ず", "づ", true},
          {"ヴァ", "ば", true},  // two-character member
          {"ヴァ", "ｳﾞｧ", true},
          {"ヴ", "ｳﾞ", true},
          {"つ", "ッ", true},
          {"か", "が", false},
          {"　", " ", true},
          {"東京", "東京", true},  // characters in no group stay themselves
      },
      /*fuzzy=*/true);
}

TEST(ChannelPatternTest, LongVowelMarkBecomesOptionalButHyphenDoesNot) {
  ExpectSearches(
      {
          {"スーパー", "スパ", true},
          {"スーパー", "ｽｰﾊﾟｰ", true},
          {"スーパー", "ス～パ～", true},
          {"BS-1", "BS－1", true},
          {"BS-1", "BSｰ1", true},
          {"BS-1", "BS1", false},
      },
      /*fuzzy=*/true);
}

TEST(ChannelPatternTest, OnlyLiteralCharactersAreWidened) {
  ExpectSearches(
      {
          {"a(b)", "a（b）", false},     // the parentheses group
          {"a\\(b\\)", "a（b）", true},  // escaped, they are characters of their group
          {"[a]", "Ａ", false},          // bracket members stay as written
          {"BS.", "ＢＳ１", true},
          {"\\.", "．", true},
          {"N+HK", "ＮＮhk", true},  // a quantifier repeats the whole widened character
      },
      /*fuzzy=*/true);
}

// Every group's first member, as a pattern, finds each member of its group. Catches a
// mistyped member or a group that an earlier group would swallow.
TEST(ChannelPatternTest, EachGroupsFirstMemberFindsItsWholeGroup) {
  ASSERT_EQ(kFuzzyCharGroups.size(), 145u);
  PatternMatcher matcher;
  matcher.set_use_fuzzy_groups(true);
  for (std::size_t g = 0; g < kFuzzyCharGroups.size(); ++g) {
    const FuzzyGroup& group = kFuzzyCharGroups[g];
    ASSERT_NE(group[0], nullptr);
    ASSERT_NE(group[1], nullptr) << "group " << g + 1 << " has one member";
    const std::string first = group[0];
    std::string escaped = first.size() == 1 ? "\\" + first : first;
    const ChannelPattern pattern = matcher.Compile("^" + escaped + "$");
    for (const char* member : group) {
      if (member == nullptr || *member == '\0') continue;
      EXPECT_TRUE(pattern.FoundIn(member))
          << "group " << g + 1 << ": " << Utf8(first) << " vs " << Utf8(member);
    }
  }
}

}  // namespace
}  // namespace tavelin
