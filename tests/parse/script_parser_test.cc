#include "parse/script_parser.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "parse/parser_harness.h"
#include "parse/table_parser.h"
#include "parse/text_ops.h"

namespace tavelin {
namespace {

using testing::ExpectedFiles;
using testing::ExpectSameFiles;
using testing::ParserHarness;

class ScriptParserTest : public ParserHarness {
 protected:
  void Parse() {
    WorkingReservation reservation;
    ParseScriptLayout(Context(), reservation);
  }
};

TEST_F(ScriptParserTest, WholePageGivesExactlyTheExpectedFiles) {
  WritePage(testing::ScriptLayoutPage());
  Parse();
  ExpectSameFiles(Files(), ExpectedFiles(testing::ScriptLayoutPrograms()));
}

TEST_F(ScriptParserTest, DualRecordingSelectionFollowsTheTunerNumber) {
  WritePage(testing::ScriptLayoutPage());
  selection_ = kDualRecordingR1;  // 連続ドラマ (4th tuner value 5) and 大文字 (2) go
  Parse();
  auto programs = testing::ScriptLayoutPrograms();
  programs.erase(programs.begin() + 6);
  programs.erase(programs.begin() + 1);
  ExpectSameFiles(Files(), ExpectedFiles(programs));
}

TEST_F(ScriptParserTest, TableLayoutPageGivesNothing) {
  WritePage(testing::TableLayoutPage());
  Parse();
  EXPECT_TRUE(Files().empty());
}

TEST_F(ScriptParserTest, MissingTitleOrIndexGivesNothing) {
  WritePage(
      "c1[0]=0;c5[0]=\"1\";c6[0]=\"3/13(水)\";c7[0]=\"20:00\";c8[0]=\"21:00\"\n"
      "c1[1;c3[1=\"x\";c5[1=\"1\";c6[1=\"3/13(水)\";c7[1=\"20:00\"\n");
  Parse();
  EXPECT_TRUE(Files().empty());
}

TEST_F(ScriptParserTest, DateWithoutParenthesisIsNoDate) {
  WritePage("c1[0]=0;c3[0]=\"t\";c5[0]=\"1\";c6[0]=\"3/13\";c7[0]=\"20:00\"\n");
  Parse();
  EXPECT_TRUE(Files().empty());
}

TEST_F(ScriptParserTest, LinesEndAtLineFeedsOnly) {
  // The lone CR is dropped and the line goes on; the byte 26 ends the text.
  WritePage(
      "c1[0]=0;c3[0]=\"一\r\";c5[0]=\"1\";c6[0]=\"3/13(水)\";c7[0]=\"20:00\";c8[0]=\"21:00\"\r\n"
      "\x1a"
      "c1[1]=1;c3[1]=\"二\";c5[1]=\"1\";c6[1]=\"3/14(木)\";c7[1]=\"20:00\";c8[1]=\"21:00\"\n");
  Parse();
  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(files.at("202403132000D1.tvpi").find("program-title: 一\r\n"), std::string::npos);
  EXPECT_EQ(yields_, 1);
}

TEST_F(ScriptParserTest, StopEndsBeforeTheNextLineWithoutHandOver) {
  WritePage(testing::ScriptLayoutPage());
  stop_after_ = 5;  // four lines of script head, then the first reservation
  Parse();
  EXPECT_EQ(FileNames(), std::vector<std::string>{"202403130600D011.tvpi"});
}

TEST_F(ScriptParserTest, UnreadablePageIsRetriedOnceAMinuteLater) {
  Parse();  // no page at all
  EXPECT_TRUE(Files().empty());
  EXPECT_GE(env_.slept_ms(), 60000);
  EXPECT_LT(env_.slept_ms(), 61000);
  EXPECT_GT(yields_, 0);  // the window kept answering meanwhile
}

TEST(ScriptChannelTest, Normalizes) {
  const std::pair<const char*, const char*> cases[] = {
      {"CH12", "12"},
      {"CHCH1", "1"},
      {"CH1CH2", "12"},
      {"CH", ""},
      {"BS101", "BS101"},
      {"CS200", "CS200"},
      {"SP300", "SP300"},
      {"C-5", "C-5"},
      {"L1", "L1"},
      {"011-1", "D011"},
      {"011", "D011"},
      {"", "D"},
      {"C5", "DC5"},
      {"-1", "D"},
      {"ch12", "Dch12"},
      // イ is 0x83 0x43: its trail byte and the next H must not be taken for "CH".
      {"CHイH", "イH"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(NormalizeScriptChannel(in), out) << in;
}

TEST(ScriptChannelTest, TunerNumbers) {
  const std::pair<const char*, int> cases[] = {
      {"0", kNoTuner},  {"1", kTunerR1},  {"2", kTunerR2},
      {"3", kTunerR1},  {"4", kTunerR1},  {"5", kTunerR2},
      {"6", kTunerR1},  {"7", kTunerR1},  {"8", kTunerR2},
      {"9", kNoTuner},  {"", kNoTuner},   {"x", kNoTuner},
      {"5x", kNoTuner}, {"-2", kNoTuner}, {"99999999999999999999", kNoTuner}};
  for (const auto& [in, tuner] : cases) EXPECT_EQ(TunerFromScriptValue(in), tuner) << in;
}

// Every integer field of both layouts (the tuner number, the parts of date and time cells)
// goes through one reader: leading blanks are skipped, anything else that is not a decimal
// integer reads as the field's default. Each field text is compared with the same text
// holding the number the reader should have seen.
TEST(NumberFieldsTest, EveryFieldReadsNumbersOneWay) {
  const TDateTime today = EncodeDate(2024, 6, 15);
  const struct {
    const char* name;
    const char* default_number;
    std::function<double(const std::string&)> read;
  } kFields[] = {
      {"c4[", "0", [](const std::string& n) { return TunerFromScriptValue(n); }},
      {"year", "0", [&](const std::string& n) { return ReadDate(n + "/12/25", today); }},
      {"month", "0", [&](const std::string& n) { return ReadDate(n + "/25", today); }},
      {"day", "0", [&](const std::string& n) { return ReadDate("2006/12/" + n, today); }},
      {"hour", "0", [](const std::string& n) { return ReadTime(n + ":30"); }},
      {"minute", "0", [](const std::string& n) { return ReadTime("20:" + n); }},
  };
  // A number text and what the reader should see in it (nullptr: the field's default).
  const std::pair<const char*, const char*> kNumbers[] = {
      {"2", "2"},       {" 2", "2"},
      {"  2", "2"},     {"+2", "2"},
      {"02", "2"},      {"2 ", nullptr},
      {"x", nullptr},   {"", nullptr},
      {" ", nullptr},   {"2x", nullptr},
      {"0x2", nullptr}, {"\t2", nullptr},
      {"２", nullptr},  {"99999999999", nullptr}};
  for (const auto& field : kFields) {
    for (const auto& [text, seen] : kNumbers) {
      EXPECT_EQ(field.read(text), field.read(seen ? seen : field.default_number))
          << field.name << " of \"" << text << "\"";
    }
  }
  // The case that was read two ways: a blank before the tuner number.
  EXPECT_EQ(TunerFromScriptValue(" 2"), kTunerR2);
}

TEST(TextLineReaderTest, SplitsAtLineFeeds) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\nc", {"a", "b", "c"}},
      {"a\n", {"a"}},
      {"\n\n", {"", ""}},
      {"a\rb\n", {"ab"}},
      {"a\nb\x1a"
       "c\nd",
       {"a", "b"}},
      {"a\n\x1a"
       "b",
       {"a"}},
      {std::string("a\0b\n", 4), {std::string("a\0b", 3)}}};
  for (const auto& [bytes, lines] : cases) {
    TextLineReader reader(bytes);
    std::vector<std::string> got;
    std::string line;
    while (reader.Next(&line)) got.push_back(line);
    EXPECT_EQ(got, lines) << bytes;
  }
}

}  // namespace
}  // namespace tavelin
