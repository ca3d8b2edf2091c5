// Every repetition text of the recorder, in both page layouts, anchored and expanded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parse/parse_context.h"
#include "parse/parser_harness.h"
#include "parse/script_parser.h"
#include "parse/table_parser.h"

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
  ParseTableLayout(Context(), reservation);
  EXPECT_EQ(FileNames(), Expected());
}

TEST_P(RepetitionPageTest, ScriptLayout) {
  const RepetitionCase& c = GetParam();
  WritePage(std::string("c1[0]=0;c3[0]=\"番組\";c5[0]=\"BS101\";c6[0]=\"") + c.text +
            "\";c7[0]=\"" + c.start + "\";c8[0]=\"23:59\";\r\n");
  WorkingReservation reservation;
  ParseScriptLayout(Context(), reservation);
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

TEST(RepetitionTextTest, MatchesWholeTextsOnly) {
  EXPECT_EQ(RecurrenceFromText("毎日曜日"), 0);
  EXPECT_EQ(RecurrenceFromText("毎土曜日"), 6);
  EXPECT_EQ(RecurrenceFromText("毎日"), kDaily);
  EXPECT_EQ(RecurrenceFromText("\x96\x88\x8c\x8e\x81\x60\x96\xd8"), kMondayToThursday);
  EXPECT_EQ(RecurrenceFromText("毎日 "), kNoRecurrence);
  EXPECT_EQ(RecurrenceFromText(""), kNoRecurrence);
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
}

}  // namespace
}  // namespace tavelin
