#include "parse/text_ops.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_env.h"

namespace tavelin {
namespace {

struct TextCase {
  std::string input;
  std::string expected;
};

TEST(TrimBlanksTest, RemovesSpacesFullWidthSpacesAndControlBytes) {
  const TextCase cases[] = {
      {"", ""},
      {"  abc  ", "abc"},
      {"\r\n\tabc\r\n", "abc"},
      {"　abc　 　", "abc"},
      {" 　 　予約", "予約"},
      {"　　", ""},
      {"a　\t", "a"},
      {"a b　c", "a b　c"},
      // The tab stops the full-width space removal; the final pass takes only the tab.
      {"　\t　abc", "　abc"},
      // Trail bytes 0x5C and 0x40 are part of their characters, not blanks or delimiters.
      {"ソ ", "ソ"},
      {"a院", "a院"},
      {"院　", "院"},
      // The last two bytes are a character's trail byte 0x81 and a single '@'.
      {"x\x88\x81@", "x\x88\x81@"},
      {"x\x88\x81@ ", "x\x88\x81@"},
      // A cut double-byte character at the end stays.
      {"x\x81", "x\x81"},
      {"\x81", "\x81"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(TrimBlanks(c.input), c.expected) << Utf8(c.input);
  }
}

TEST(IsTrailByteTest, CountsLeadBytesBackwards) {
  const struct {
    std::string text;
    int position;
    bool trail;
  } cases[] = {
      {"ソ", 1, false},           {"ソ", 2, true},    {"aソ", 3, true},
      {"aソb", 4, false},         {"abc", 2, false},  {"\x81\x81\x40", 2, true},
      {"\x81\x81\x40", 3, false}, {"漢字", 3, false}, {"漢字", 4, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsTrailByte(c.text, c.position), c.trail) << Utf8(c.text) << " @" << c.position;
  }
}

TEST(IsTrailByteTest, PositionOutsideTheTextThrowsIllegalIndex) {
  const struct {
    std::string text;
    int position;
  } cases[] = {{"abc", 0}, {"abc", 4}, {"abc", -1}, {"", 1}};
  for (const auto& c : cases) {
    try {
      IsTrailByte(c.text, c.position);
      ADD_FAILURE() << "no error for position " << c.position;
    } catch (const std::out_of_range& e) {
      EXPECT_STREQ(e.what(), "Illegal Index");
    }
  }
}

// Reading dates is done as of 2024-01-05, so month/day texts take the year 2024.
const TDateTime kToday = EncodeDate(2024, 1, 5);

struct DateCase {
  std::string text;
  int year, month, day;  // 0: kNoDate
};

void ExpectDates(const std::vector<DateCase>& cases, TDateTime today) {
  for (const DateCase& c : cases) {
    const TDateTime expected = c.year == 0 ? kNoDate : EncodeDate(c.year, c.month, c.day);
    EXPECT_EQ(ReadDate(c.text, today), expected) << Utf8(c.text);
  }
}

TEST(ReadDateTest, ChoosesYearMonthDayOrder) {
  ExpectDates(
      {
          {"2006/12/25", 2006, 12, 25},
          {"12/25/2006", 2006, 12, 25},
          {"2006/1/2", 2006, 1, 2},
          {"2006/12/31", 2006, 12, 31},
          {"1/31/32", 32, 1, 31},
          {"2006-12-25", 2006, 12, 25},
          {"12-25-2006", 2006, 12, 25},
          {"2006:12:25", 2006, 12, 25},
          {"2006/12/25(月)", 2006, 12, 25},
          {"2006-12-25(月)", 2006, 12, 25},
          // The last part is a day when it is at most 31: 12/25/06 is year 12, month 25.
          {"12/25/06", 0, 0, 0},
          {"061225", 2006, 12, 25},
          {"20061225", 2006, 12, 25},
          {"991225", 1999, 12, 25},
          {"201225", 1920, 12, 25},
          {"191225", 2019, 12, 25},
          // A day above 31 with a year below 13 turns the parts round.
          {"00120540", 40, 12, 5},
      },
      kToday);
}

TEST(ReadDateTest, MonthDayTakesTheCurrentYearWithoutRollover) {
  ExpectDates({{"12/25", 2024, 12, 25}, {"12/25(月)", 2024, 12, 25}, {"1/6", 2024, 1, 6}}, kToday);
  ExpectDates({{"1/6", 2023, 1, 6}, {"12/31", 2023, 12, 31}}, EncodeDate(2023, 12, 30) + 0.9);
}

TEST(ReadDateTest, ZeroPartsAndInvalidDates) {
  ExpectDates(
      {
          {"2006-12", 2006, 12, 1},
          // No '(' handling for year-month: "12(月)" is no number, so month and day are 1.
          {"2006-12(月)", 2006, 1, 1},
          {"12/0", 2024, 1, 1},
          {"0/5", 2024, 1, 1},
          {"2/30", 0, 0, 0},
          {"2/29", 2024, 2, 29},
          {"2023/2/29", 0, 0, 0},
          {"13/1", 0, 0, 0},
          {"", 0, 0, 0},
          {"abc", 0, 0, 0},
          {"12/ab", 2024, 1, 1},
          // Parts are 16-bit unsigned: a negative number is a large one, never a valid part.
          {"-1/5", 0, 0, 0},
          {"12/-1", 0, 0, 0},
          {"5/12/-1", 0, 0, 0},
          {"99999/1/1", 0, 0, 0},
          // Cut or stray Shift-JIS bytes give the documented value, never a crash.
          {"\x83", 0, 0, 0},
          {"12/2\x83", 2024, 1, 1},
      },
      kToday);
}

TEST(ReadDateTest, DigitTextsAreMeasuredTrimmedButReadAsTheyCame) {
  // Length 6 after trimming, but bytes 1-2 are blanks: the year falls back to 70.
  ExpectDates({{"  061225 ", 1970, 6, 12}, {"20061225\r\n", 2006, 12, 25}}, kToday);
}

TEST(ReadTimeTest, ReadsColonAndDigitForms) {
  const struct {
    std::string text;
    double expected;
  } cases[] = {
      {"21:00", EncodeTime(21, 0)},
      {"2100", EncodeTime(21, 0)},
      {"210030", EncodeTime(21, 0, 30)},
      {"21:00:30", EncodeTime(21, 0, 30)},
      {"7:5", EncodeTime(7, 5)},
      {"21:", EncodeTime(21, 0)},
      {" 2100", EncodeTime(2, 10)},
      // 24 to 28 o'clock are the small hours of the next day.
      {"24:00", 1.0},
      {"25:30", 1.0 + EncodeTime(1, 30)},
      {"28:59:59", 1.0 + EncodeTime(4, 59, 59)},
      {"2530", 1.0 + EncodeTime(1, 30)},
      {"29:00", 0},
      {"21:75", 0},
      {"25:75", 0},
      {"21:00:60", 0},
      {"-1:00", 0},
      {"", 0},
      {"abc", 0},
      {"12345", 0},
      {"\x83:\x83", 0},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(ReadTime(c.text), c.expected, 1e-9) << Utf8(c.text);
  }
}

TEST(YearOfTest, GivesTheCalendarYear) {
  EXPECT_EQ(YearOf(EncodeDate(2006, 12, 31) + EncodeTime(23, 59, 59)), 2006);
  EXPECT_EQ(YearOf(EncodeDate(2007, 1, 1)), 2007);
  EXPECT_EQ(YearOf(kNoDate), 1970);
}

TEST(SplitFieldsTest, SplitsAtTheSeparatorAndTrims) {
  const struct {
    std::string text;
    char sep;
    std::vector<std::string> fields;
  } cases[] = {
      {"a;b;;c", ';', {"a", "b", "", "c"}},
      {"abc", ';', {"abc"}},
      {"", ';', {""}},
      {"a;", ';', {"a", ""}},
      {" a , b\t", ',', {"a", "b"}},
      {"c1[0]=1; c3[0]=\"番組\" ;c4[0]=5", ';', {"c1[0]=1", "c3[0]=\"番組\"", "c4[0]=5"}},
      {"ソ;表", ';', {"ソ", "表"}},
      // A quoted last field loses its quotes.
      {"a,\"b\"", ',', {"a", "b"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> fields = {"left over"};
    SplitFields(c.text, c.sep, &fields);
    EXPECT_EQ(fields, c.fields) << Utf8(c.text);
  }
}

TEST(SplitFieldsTest, QuotedFieldsFollowTheCommaPatterns) {
  const struct {
    std::string text;
    char sep;
    std::vector<std::string> fields;
  } cases[] = {
      // '",' closes the field.
      {"\"a,b\",c", ',', {"a,b", "c"}},
      // '"",' is a quote and a comma inside; the collection goes on.
      {"\"say \"\"hi\"\", ok\",x", ',', {"say \"hi\", ok", "x"}},
      // '""",' is a quote that ends the field.
      {"\"a\"\"\",b", ',', {"a\"", "b"}},
      // Without a closing '",' the field takes the rest of the text.
      {"\"abc,def", ',', {"abc,def", ""}},
      // The patterns always use the comma, whatever the separator.
      {"\"a;b\";c", ';', {"a;b\";c", ""}},
      {"\"a,b\";c", ';', {"a,b\";c", ""}},
      {"\"a\",b;c", ';', {"a", "b", "c"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> fields;
    SplitFields(c.text, c.sep, &fields);
    EXPECT_EQ(fields, c.fields) << c.text;
  }
}

// Lines of a megabyte: a splitter that erased from the front or searched the whole rest for
// every field would not finish within the suite's time limit.
TEST(SplitFieldsTest, LongLines) {
  const struct {
    std::string chunk;
    std::vector<std::string> chunk_fields;
  } cases[] = {
      {"c;", {"c"}},
      // A quoted field with a quote and a comma inside, then an empty field; no '""",'
      // anywhere in the line.
      {"\"q\"\",x\",;", {"q\",x", ""}},
  };
  for (const auto& c : cases) {
    std::string line;
    while (line.size() < (1u << 20)) line += c.chunk;
    const std::size_t chunks = line.size() / c.chunk.size();
    std::vector<std::string> fields;
    SplitFields(line, ';', &fields);
    ASSERT_EQ(fields.size(), chunks * c.chunk_fields.size() + 1) << c.chunk;
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
      ASSERT_EQ(fields[i], c.chunk_fields[i % c.chunk_fields.size()]) << i;
    }
    EXPECT_EQ(fields.back(), "");
  }
}

TEST(FoldWidthTest, FullWidthAsciiBecomesHalfWidth) {
  const TextCase cases[] = {
      {"０１２３４５６７８９", "0123456789"},
      {"ＡＢＣＸＹＺａｂｃｘｙｚ", "ABCXYZabcxyz"},
      {"　，．：；？！＾／｜‘’′“”″（）［］｛｝＋－＝〓＜＞￥＄％＃＆＊＠",
       " ,.:;?!^/|'''\"\"\"()[]{}+-==<>\\$%#&*@"},
      // Other double-byte characters stay, also those whose trail byte looks like ASCII or
      // half-width katakana.
      {"～予約ソ表漢字院", "～予約ソ表漢字院"},
      {"ＮＨＫ総合１", "NHK総合1"},
      {"abc 123\x80\xA0", "abc 123\x80\xA0"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(FoldWidth(c.input), c.expected) << Utf8(c.input);
  }
}

TEST(FoldWidthTest, HalfWidthKatakanaBecomesFullWidth) {
  const TextCase cases[] = {
      {"｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰ", "。「」、・ヲァィゥェォャュョッー"},
      {"ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝ",
       "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワ"
       "ン"},
      {"ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞｳﾞ", "ガギグゲゴザジズゼゾダヂヅデドバビブベボヴ"},
      {"ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ", "パピプペポ"},
      // A mark that has no combined form is dropped with its character.
      {"ｱﾞｶﾟﾝﾞ｡ﾟ", "アカン。"},
      // Lone marks stay half-width.
      {"ﾞﾟ", "ﾞﾟ"},
      {"aﾞ", "aﾞ"},
      {"ﾃﾚﾋﾞdeﾅﾋﾞ", "テレビdeナビ"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(FoldWidth(c.input), c.expected) << Utf8(c.input);
  }
}

TEST(FoldWidthTest, CutCharacterAtTheEndIsCopied) {
  EXPECT_EQ(FoldWidth("Ａ\x82"), "A\x82");
  EXPECT_EQ(FoldWidth("\x82"), "\x82");
  EXPECT_EQ(FoldWidth("ｶ"), "カ");
}

}  // namespace
}  // namespace tavelin
