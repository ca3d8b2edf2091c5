// Every repetition text of the recorder, in both page layouts, anchored and expanded.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "parse/parse_context.h"
#include "parse/parser_harness.h"
#include "parse/script_parser.h"
#include "parse/table_parser.h"
#include "parse/text_ops.h"

namespace tavelin {
namespace {

using testing::Days2024;

struct RepetitionCase {
  const char* name;
  const char* text;
  const char* start;  // hh:nn; the clock stands at Wednesday 03-13 12:00
  std::vector<std::string> mmdd;
};

class RepetitionPageTest : public testing::ParserHarness,
                           public ::testing::WithParamInterface<RepetitionCase> {
 protected:
  std::vector<std::string> Expected() const {
    const RepetitionCase& c = GetParam();
    std::vector<std::string> names;
    for (const std::string& day : Days2024(c.mmdd)) {
      names.push_back(day + std::string(c.start).substr(0, 2) + std::string(c.start).substr(3) +
                      "BS101.tvpi");
    }
    return names;
  }
};

TEST_P(RepetitionPageTest, TableLayout) {
  const RepetitionCase& c = GetParam();
  WritePage(std::string("<table><tbody><tr><td><a href=b_proginfo.htm?0>番組</a></td>"
                        "<td>BS101</td><td>") +
            c.text + "</td><td>" + c.start + "-23:59</td></tr></tbody></table>");
  WorkingReservation reservation;
  ParseTableLayout(page_, Context(), reservation);
  EXPECT_EQ(FileNames(), Expected());
}

TEST_P(RepetitionPageTest, ScriptLayout) {
  const RepetitionCase& c = GetParam();
  WritePage(std::string("c1[0]=0;c3[0]=\"番組\";c5[0]=\"BS101\";c6[0]=\"") + c.text +
            "\";c7[0]=\"" + c.start + "\";c8[0]=\"23:59\";\r\n");
  WorkingReservation reservation;
  ParseScriptLayout(page_, Context(), reservation);
  EXPECT_EQ(FileNames(), Expected());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RepetitionPageTest,
    ::testing::Values(
        RepetitionCase{"Sunday", "毎日曜日", "20:00", {"0317", "0324", "0331"}},
        RepetitionCase{"Monday", "毎月曜日", "20:00", {"0318", "0325", "0401"}},
        RepetitionCase{"Tuesday", "毎火曜日", "20:00", {"0319", "0326", "0402"}},
        RepetitionCase{"Wednesday", "毎水曜日", "20:00", {"0313", "0320", "0327"}},
        RepetitionCase{"WednesdayTimePassed", "毎水曜日", "10:00", {"0320", "0327"}},
        RepetitionCase{"Thursday", "毎木曜日", "20:00", {"0314", "0321", "0328"}},
        RepetitionCase{"Friday", "毎金曜日", "20:00", {"0315", "0322", "0329"}},
        RepetitionCase{"Saturday", "毎土曜日", "20:00", {"0316", "0323", "0330"}},
        RepetitionCase{"Daily",
                       "毎日",
                       "20:00",
                       {"0313", "0314", "0315", "0316", "0317", "0318", "0319", "0320", "0321",
                        "0322", "0323", "0324", "0325", "0326", "0327"}},
        RepetitionCase{"DailyTimePassed",
                       "毎日",
                       "11:59",
                       {"0314", "0315", "0316", "0317", "0318", "0319", "0320", "0321", "0322",
                        "0323", "0324", "0325", "0326", "0327"}},
        RepetitionCase{"MondayToThursday",
                       "毎月～木",
                       "20:00",
                       {"0313", "0314", "0318", "0319", "0320", "0321", "0325", "0326", "0327"}},
        RepetitionCase{"MondayToFriday",
                       "毎月～金",
                       "20:00",
                       {"0313", "0314", "0315", "0318", "0319", "0320", "0321", "0322", "0325",
                        "0326", "0327"}},
        RepetitionCase{"MondayToSaturday",
                       "毎月～土",
                       "20:00",
                       {"0313", "0314", "0315", "0316", "0318", "0319", "0320", "0321", "0322",
                        "0323", "0325", "0326", "0327"}},
        RepetitionCase{"ExtraCharacter", "毎日曜日x", "20:00", {}},
        RepetitionCase{"Unknown", "毎週", "20:00", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A late-night time (24:00-28:59) of a repetition belongs to the broadcast day the text
// names and runs on the calendar day after it.
class LateNightTest : public testing::ParserHarness {
 protected:
  // The files one reservation gives in `layout`, the output folder emptied first.
  std::map<std::string, std::string> FilesOf(bool table_layout, const std::string& text,
                                             const std::string& start, const std::string& end) {
    for (const std::string& name : FileNames()) env_.DeleteFile(out() + name);
    WorkingReservation reservation;
    if (table_layout) {
      WritePage("<table><tbody><tr><td><a href=b_proginfo.htm?0>深夜</a></td><td>BS101</td><td>" +
                text + "</td><td>" + start + "-" + end + "</td></tr></tbody></table>");
      ParseTableLayout(page_, Context(), reservation);
    } else {
      WritePage("c1[0]=0;c3[0]=\"深夜\";c5[0]=\"BS101\";c6[0]=\"" + text + "\";c7[0]=\"" + start +
                "\";c8[0]=\"" + end + "\";\r\n");
      ParseScriptLayout(page_, Context(), reservation);
    }
    return Files();
  }
};

TEST_F(LateNightTest, IsTheNextDaysEarlyMorningInEveryLayoutAndAtEveryClock) {
  // Each text at 25:10 against the text of the following day at 01:10.
  const std::pair<const char*, const char*> texts[] = {
      {"毎日曜日", "毎月曜日"}, {"毎月曜日", "毎火曜日"}, {"毎火曜日", "毎水曜日"},
      {"毎水曜日", "毎木曜日"}, {"毎木曜日", "毎金曜日"}, {"毎金曜日", "毎土曜日"},
      {"毎土曜日", "毎日曜日"}, {"毎日", "毎日"}};
  const TDateTime wednesday = EncodeDate(2024, 3, 13);
  const TDateTime clocks[] = {wednesday + EncodeTime(12, 0), wednesday + 1 + EncodeTime(1, 10),
                              wednesday + 1 + EncodeTime(1, 11), wednesday + EncodeTime(0, 5)};
  for (const TDateTime now : clocks) {
    env_.set_now(now);
    for (const auto& [late, early] : texts) {
      for (const bool table_layout : {true, false}) {
        const auto expected = FilesOf(table_layout, early, "01:10", "01:40");
        ASSERT_GE(expected.size(), 2u);
        SCOPED_TRACE(testing::Utf8(late) + (table_layout ? " table " : " script ") +
                     FormatDateTimeText(now));
        testing::ExpectSameFiles(FilesOf(table_layout, late, "25:10", "25:40"), expected);
      }
    }
  }
}

TEST_F(LateNightTest, WeekdayRangesMoveToTheFollowingDays) {
  const struct {
    const char* text;
    std::vector<std::string> mmdd;  // the clock stands at Wednesday 03-13 12:00
  } cases[] = {
      {"毎月～木", {"0314", "0315", "0319", "0320", "0321", "0322", "0326", "0327"}},
      {"毎月～金",
       {"0314", "0315", "0316", "0319", "0320", "0321", "0322", "0323", "0326", "0327"}},
      {"毎月～土",
       {"0314", "0315", "0316", "0317", "0319", "0320", "0321", "0322", "0323", "0324", "0326",
        "0327"}},
  };
  for (const auto& c : cases) {
    for (const bool table_layout : {true, false}) {
      std::vector<std::string> names;
      for (const auto& [name, content] : FilesOf(table_layout, c.text, "25:30", "26:00")) {
        names.push_back(name);
        EXPECT_NE(content.find("start: 01:30\r\nend: 02:00\r\n"), std::string::npos);
      }
      std::vector<std::string> expected;
      for (const std::string& day : Days2024(c.mmdd)) expected.push_back(day + "0130BS101.tvpi");
      EXPECT_EQ(names, expected) << testing::Utf8(c.text) << (table_layout ? " table" : " script");
    }
  }
}

TEST(RepetitionTextTest, MatchesWholeTextsOnly) {
  EXPECT_EQ(RecurrenceFromText("毎日曜日"), 0);
  EXPECT_EQ(RecurrenceFromText("毎土曜日"), 6);
  EXPECT_EQ(RecurrenceFromText("毎日"), kDaily);
  EXPECT_EQ(RecurrenceFromText("\x96\x88\x8c\x8e\x81\x60\x96\xd8"), kMondayToThursday);
  EXPECT_EQ(RecurrenceFromText("毎日 "), kNoRecurrence);
  EXPECT_EQ(RecurrenceFromText(""), kNoRecurrence);
}

TEST(CellDateTest, DateWithoutAYearTakesTheYearNearestToToday) {
  const struct {
    TDateTime today;
    const char* text;
    TDateTime expected;
  } cases[] = {
      {EncodeDate(2026, 12, 8), "1/5(火)", EncodeDate(2027, 1, 5)},
      {EncodeDate(2026, 12, 8), "12/25(金)", EncodeDate(2026, 12, 25)},
      {EncodeDate(2026, 12, 8), "6/10(水)", EncodeDate(2026, 6, 10)},
      {EncodeDate(2026, 12, 8), "2025/1/5(日)", EncodeDate(2025, 1, 5)},  // a year stays
      {EncodeDate(2026, 12, 8), "1/5/2026(月)", EncodeDate(2026, 1, 5)},
      {EncodeDate(2026, 12, 31), "1/1(金)", EncodeDate(2027, 1, 1)},
      {EncodeDate(2026, 12, 31), "12/30(水)", EncodeDate(2026, 12, 30)},
      {EncodeDate(2027, 1, 2), "12/31(金)", EncodeDate(2026, 12, 31)},
      {EncodeDate(2027, 1, 2), "1/10(日)", EncodeDate(2027, 1, 10)},
      {EncodeDate(2026, 6, 30), "12/25(金)", EncodeDate(2026, 12, 25)},
      {EncodeDate(2026, 6, 30), "1/1(木)", EncodeDate(2026, 1, 1)},
      {EncodeDate(2027, 12, 8), "2/29(火)", EncodeDate(2028, 2, 29)},  // only next year has it
      {EncodeDate(2026, 12, 8), "2/30(火)", kNoDate},
      {EncodeDate(2026, 12, 8), "1/5", kNoDate},  // no "(": the empty text
      {EncodeDate(2026, 12, 8), "毎日", kNoDate},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatDate(ReadCellDate(c.text, c.today)), FormatDate(c.expected))
        << testing::Utf8(c.text) << " on " << FormatDate(c.today);
  }
}

TEST(AnchorTest, OnlyRecurringStartsWithoutDateMove) {
  const TDateTime now = testing::PagesNow();  // Wednesday 12:00
  const TDateTime evening = EncodeTime(20, 0);
  EXPECT_DOUBLE_EQ(AnchorStart(evening, 3, now), EncodeDate(2024, 3, 13) + evening);
  EXPECT_DOUBLE_EQ(AnchorStart(evening, kNoRecurrence, now), evening);
  EXPECT_DOUBLE_EQ(AnchorStart(evening, 11, now), evening);
  const TDateTime dated = EncodeDate(2024, 3, 1) + evening;
  EXPECT_DOUBLE_EQ(AnchorStart(dated, 3, now), dated);
  // Exactly now is not yet past.
  EXPECT_DOUBLE_EQ(AnchorStart(EncodeTime(12, 0), kDaily, now), now);
  // 25:10 every Wednesday: Wednesday night is Thursday 01:10.
  EXPECT_DOUBLE_EQ(AnchorStart(1 + EncodeTime(1, 10), 3, now),
                   EncodeDate(2024, 3, 14) + EncodeTime(1, 10));
  // Not recurring, or already dated: unchanged.
  EXPECT_DOUBLE_EQ(AnchorStart(1 + EncodeTime(1, 10), kNoRecurrence, now), 1 + EncodeTime(1, 10));
}

}  // namespace
}  // namespace tavelin
