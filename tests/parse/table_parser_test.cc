#include "parse/table_parser.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "parse/parser_harness.h"
#include "parse/script_parser.h"

namespace tavelin {
namespace {

using testing::ExpectedFiles;
using testing::ExpectSameFiles;
using testing::ParserHarness;

class TableParserTest : public ParserHarness {
 protected:
  void Parse() {
    WorkingReservation reservation;
    ParseTableLayout(page_, Context(), reservation);
  }

  // A page whose TBODY opens the rows given.
  void WriteRows(const std::string& rows) {
    WritePage("<table><tbody>" + rows + "</tbody></table>");
  }
};

TEST_F(TableParserTest, WholePageGivesExactlyTheExpectedFiles) {
  WritePage(testing::TableLayoutPage());
  Parse();
  ExpectSameFiles(Files(), ExpectedFiles(testing::TableLayoutPrograms()));
  // "CH" is stripped for the look-up only.
  EXPECT_NE(std::find(lookups_.begin(), lookups_.end(), "12"), lookups_.end());
  EXPECT_TRUE(log_.empty());
}

TEST_F(TableParserTest, DualRecordingSelectionDropsTheOtherTunersRows) {
  WritePage(testing::TableLayoutPage());
  selection_ = kDualRecordingR2;  // the R1 row (深夜&アニメ) goes
  Parse();
  auto programs = testing::TableLayoutPrograms();
  programs.erase(programs.begin() + 3);
  ExpectSameFiles(Files(), ExpectedFiles(programs));
}

TEST_F(TableParserTest, TunerImageCountsOnlyAfterTheLink) {
  selection_ = kDualRecordingR1;
  WriteRows(
      "<tr><td><img src=act_R2.gif></td><td><a href=b_proginfo.htm?0>前</a></td>"
      "<td>1</td><td>3/13(水)</td><td>20:00-21:00</td></tr>"
      "<tr><td><a href=b_proginfo.htm?1>後</a></td><td><img src=x/Act_R2.GIF></td>"
      "<td>1</td><td>3/13(水)</td><td>22:00-23:00</td></tr>");
  Parse();
  EXPECT_EQ(FileNames(), std::vector<std::string>{"2024031320001.tvpi"});
}

TEST_F(TableParserTest, RowsBeforeTheFirstLinkOrTbodyAreIgnored) {
  WritePage(
      "<table><tr><td>見出し</td><td>1</td><td>3/13(水)</td><td>20:00-21:00</td></tr>"
      "</table>");
  Parse();
  EXPECT_TRUE(Files().empty());
}

TEST_F(TableParserTest, CellsAfterTbodyFillARecordOfTheirOwn) {
  WriteRows("<tr><td>見出し</td><td>1</td><td>3/13(水)</td><td>20:00-21:00</td></tr>");
  Parse();
  EXPECT_EQ(FileNames(), std::vector<std::string>{"2024031320001.tvpi"});
}

struct TimeCase {
  const char* name;
  const char* date_cell;
  const char* time_cell;
  const char* file;  // null: no file
  const char* end;
};

class TimeCellTest : public TableParserTest, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(TimeCellTest, ReadsStartAndEnd) {
  const TimeCase& c = GetParam();
  WriteRows(std::string("<tr><td><a href=b_proginfo.htm?0>番組</a></td><td>5</td><td>") +
            c.date_cell + "</td><td>" + c.time_cell + "</td><td>SP</td></tr>");
  Parse();
  const auto files = Files();
  if (c.file == nullptr) {
    EXPECT_TRUE(files.empty());
    return;
  }
  ASSERT_EQ(files.size(), 1u);
  ASSERT_EQ(files.begin()->first, c.file);
  EXPECT_NE(files.begin()->second.find(std::string("\r\nend: ") + c.end + "\r\n"),
            std::string::npos)
      << files.begin()->second;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, TimeCellTest,
    ::testing::Values(
        TimeCase{"Range", "3/13(水)", "21:00-22:54", "2024031321005.tvpi", "22:54"},
        TimeCase{"RangeAcrossMidnight", "3/13(水)", "23:30-00:30", "2024031323305.tvpi", "00:30"},
        TimeCase{"TwoTexts", "3/13(水)", "21:00<br>22:54", "2024031321005.tvpi", "22:54"},
        TimeCase{"ThirdTextAddsToEnd", "3/13(水)", "21:00<br>22:00<br>00:30", "2024031321005.tvpi",
                 "22:30"},
        TimeCase{"TwentyFiveOClock", "3/13(水)", "25:10-25:40", "2024031401105.tvpi", "01:40"},
        TimeCase{"LoneDashIgnored", "3/13(水)", "21:00<br>-<br>22:00", "2024031321005.tvpi",
                 "22:00"},
        TimeCase{"RangeAfterStartIgnored", "3/13(水)", "21:00<br>01:00-02:00<br>22:00",
                 "2024031321005.tvpi", "22:00"},
        TimeCase{"EndCutToFiveCharacters", "3/13(水)", "21:00-22:5499", "2024031321005.tvpi",
                 "22:54"},
        TimeCase{"DateWithoutParenthesis", "3/13", "21:00-22:00", nullptr, ""},
        TimeCase{"NoDateNoRepetition", "毎日曜", "21:00-22:00", nullptr, ""},
        TimeCase{"RepetitionWithAsciiTilde", "毎月~金", "21:00-22:00", nullptr, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TableParserTest, TextAfterACellCountsUntilTheNextOneExceptAfterAStartTime) {
  WriteRows(
      "<tr><td><a href=b_proginfo.htm?0>前</a></td>後<td>1</td><td>3/13(水)</td>"
      "<td>21:00<br>22:00</td>23:00<td>SP</td></tr>");
  Parse();
  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  const std::string& text = files.at("2024031321001.tvpi");
  EXPECT_NE(text.find("end: 22:00\r\nprogram-title: 前後\r\n"), std::string::npos)
      << testing::Utf8(text);
}

TEST_F(TableParserTest, ChannelCellLookUpAndFallback) {
  WriteRows(
      "<tr><td><a href=b_proginfo.htm?0>甲</a></td><td>CH1</td><td>3/13(水)</td>"
      "<td>20:00-21:00</td></tr>"
      "<tr><td><a href=b_proginfo.htm?1>乙</a></td><td>CH77</td><td>3/13(水)</td>"
      "<td>20:00-21:00</td></tr>"
      "<tr><td><a href=b_proginfo.htm?2>丙</a></td><td>x<br>BS101</td><td>3/13(水)</td>"
      "<td>20:00-21:00</td></tr>");
  Parse();
  const auto files = Files();
  ASSERT_EQ(files.size(), 3u);
  EXPECT_NE(files.at("202403132000CH1.tvpi").find("station: ＮＨＫ総合\r\n"), std::string::npos);
  EXPECT_NE(files.at("202403132000CH77.tvpi").find("station: CH77\r\n"), std::string::npos);
  // Every text of the cell repeats the look-up; the last one wins.
  EXPECT_NE(files.at("202403132000BS101.tvpi").find("station: ＮＨＫ ＢＳ１\r\n"),
            std::string::npos);
}

TEST_F(TableParserTest, StopHandsOverTheRecordBeingFilledOnlyOnceItsTimesAreRead) {
  // Elements: table, tbody, tr, td, a, text, /a, /td, td, text, /td, td, text (date, 13),
  // /td, td, text (time, 16), /td, /tr (18); the second row's date text is the 29th.
  const struct {
    int stop_after;
    std::vector<std::string> files;
  } cases[] = {
      {13, {}},  // after the date cell: no program at 00:00
      {16, {"2024031320001.tvpi"}},
      {18, {"2024031320001.tvpi"}},
      {29, {"2024031320001.tvpi"}},
  };
  for (const auto& c : cases) {
    for (const std::string& name : FileNames()) env_.DeleteFile(out() + name);
    WriteRows(
        "<tr><td><a href=b_proginfo.htm?0>一</a></td><td>1</td><td>3/13(水)</td>"
        "<td>20:00-21:00</td></tr>"
        "<tr><td><a href=b_proginfo.htm?1>二</a></td><td>1</td><td>3/14(木)</td>"
        "<td>20:00-21:00</td></tr>");
    yields_ = 0;
    stop_ = false;
    stop_after_ = c.stop_after;
    Parse();
    EXPECT_EQ(yields_, c.stop_after);
    EXPECT_EQ(FileNames(), c.files) << "stop after " << c.stop_after;
  }
}

TEST_F(TableParserTest, StopBeforeTheFirstElementWritesNothing) {
  WritePage(testing::TableLayoutPage());
  stop_ = true;
  Parse();
  EXPECT_EQ(yields_, 0);
  EXPECT_TRUE(Files().empty());
}

TEST_F(TableParserTest, ScriptLayoutPageGivesNothing) {
  WritePage(testing::ScriptLayoutPage());
  Parse();
  EXPECT_TRUE(Files().empty());
}

TEST_F(TableParserTest, MalformedPagesNeverCrash) {
  // Fragments of both layouts and broken markup, shuffled into many pages.
  const std::vector<std::string> pieces = {"<tbody>",
                                           "<tr>",
                                           "<td>",
                                           "</td>",
                                           "<th>",
                                           "</th>",
                                           "<a href=b_proginfo.htm?1>",
                                           "<img src=act_r1>",
                                           "<img src=ACT_R2>",
                                           "毎日",
                                           "毎月～金",
                                           "25:10-",
                                           "-",
                                           "(",
                                           "3/13(",
                                           "CH",
                                           "CH1",
                                           "23:59-00:01",
                                           "<",
                                           ">",
                                           "&#",
                                           "&amp",
                                           "\"",
                                           "\r\n",
                                           "\x81",
                                           "ﾃﾚﾋﾞdeﾅﾋﾞで必要",
                                           "c1[0]=1;c3[0]=\"x",
                                           "2/30(",
                                           "99:99",
                                           "\x1a",
                                           std::string(1, '\0')};
  std::mt19937 random(12345);
  for (int page = 0; page < 100; ++page) {
    std::string bytes;
    const int count = 1 + static_cast<int>(random() % 120);
    for (int i = 0; i < count; ++i) bytes += pieces[random() % pieces.size()];
    WritePage(bytes);
    WorkingReservation reservation;
    EXPECT_NO_THROW(ParseTableLayout(page_, Context(), reservation));
    EXPECT_NO_THROW(ParseScriptLayout(page_, Context(), reservation));
  }
}

}  // namespace
}  // namespace tavelin
