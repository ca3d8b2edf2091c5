#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calendar/calendar_run.h"
#include "calendar/icalendar.h"
#include "calendar/tvpi_file.h"
#include "platform/date_time.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

constexpr char kType[] = "Content-type: application/x-tv-program-info; charset=shift_jis\r\n";

// A program file as Tavelin writes it, with `station`, `title` and the times given.
std::string Tvpi(const std::string& station, const std::string& title, const std::string& ymd,
                 const std::string& start, const std::string& end) {
  return std::string(kType) + "version: 1\r\nstation: " + station + "\r\n" + ymd +
         "start: " + start + "\r\nend: " + end + "\r\nprogram-title: " + title +
         "\r\ngenre: 0\r\n\r\n\r\n\r\n";
}
const std::string kYmd = "year: 2026\r\nmonth: 12\r\ndate: 31\r\n";

struct ReadCase {
  const char* name;
  std::string content;
  const char* start;  // FormatLocalDateTime of the start; null: the file is refused
  const char* end_or_reason;
};

TEST(TvpiFileTest, ReadsProgramsAndRefusesBrokenFiles) {
  const std::string good = Tvpi("ＮＨＫ総合", "ニュース", kYmd, "21:00", "21:30");
  const std::vector<ReadCase> cases = {
      {"plain", good, "20261231T210000", "20261231T213000"},
      {"midnight crossing ends next year", Tvpi("", "t", kYmd, "23:30", "00:30"), "20261231T233000",
       "20270101T003000"},
      {"equal times", Tvpi("", "t", kYmd, "05:00", "05:00"), "20261231T050000", "20261231T050000"},
      {"one-digit fields", Tvpi("", "t", "year: 2027\r\nmonth: 2\r\ndate: 8\r\n", "7:05", "8:00"),
       "20270208T070500", "20270208T080000"},
      {"LF line ends, keys in another case",
       "CONTENT-TYPE: Application/X-TV-Program-Info\nYear: 2026\nMonth: 1\nDate: 2\n"
       "Start: 10:00\nEnd: 11:00\nProgram-Title: t\n\n",
       "20260102T100000", "20260102T110000"},
      {"empty file", "", nullptr, "empty file"},
      {"no content type", "station: x\r\n\r\n", nullptr, "no Content-type"},
      {"wrong content type", "Content-type: text/html\r\n" + good.substr(sizeof kType - 1), nullptr,
       "wrong content type"},
      {"another character set",
       "Content-type: application/x-tv-program-info; charset=utf-8\r\n" +
           good.substr(sizeof kType - 1),
       nullptr, "character set"},
      {"cut before the empty line", good.substr(0, good.find("genre")), nullptr, "cut short"},
      {"cut inside the title", good.substr(0, good.find("ニュース") + 2), nullptr, "cut short"},
      {"cut by byte 26", good.substr(0, good.find("genre")) + "\x1a\r\n\r\n", nullptr, "cut short"},
      {"no title line", std::string(kType) + kYmd + "start: 01:00\r\nend: 02:00\r\n\r\n", nullptr,
       "no program-title line"},
      {"no such day", Tvpi("", "t", "year: 2027\r\nmonth: 02\r\ndate: 29\r\n", "1:00", "2:00"),
       nullptr, "no such date 2027-02-29"},
      {"month 13", Tvpi("", "t", "year: 2026\r\nmonth: 13\r\ndate: 01\r\n", "1:00", "2:00"),
       nullptr, "no such date"},
      {"end after the last day",
       Tvpi("", "t", "year: 9999\r\nmonth: 12\r\ndate: 31\r\n", "23:00", "01:00"), nullptr,
       "year 9999"},
      {"hour 24", Tvpi("", "t", kYmd, "24:00", "01:00"), nullptr, "bad start time"},
      {"minute 60", Tvpi("", "t", kYmd, "01:00", "01:60"), nullptr, "bad end time"},
      {"letters for a time", Tvpi("", "t", kYmd, "ab:cd", "01:00"), nullptr, "bad start time"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    TvpiProgram program;
    std::string why;
    const bool read = ReadTvpiProgram(c.content, &program, &why);
    ASSERT_EQ(read, c.start != nullptr) << why;
    if (read) {
      EXPECT_EQ(FormatLocalDateTime(program.start), c.start);
      EXPECT_EQ(FormatLocalDateTime(program.end), c.end_or_reason);
    } else {
      EXPECT_NE(why.find(c.end_or_reason), std::string::npos) << why;
    }
  }
  TvpiProgram program;
  std::string why;
  ASSERT_TRUE(ReadTvpiProgram(good, &program, &why));
  EXPECT_EQ(program.station, "ＮＨＫ総合");
  EXPECT_EQ(program.title, "ニュース");
}

// The VEVENT lines after DTSTAMP of a one-program folder, unfolded.
struct MappingCase {
  const char* name;
  std::string station;  // Shift-JIS, as in the file
  std::string title;
  std::string expected;  // the event's lines from DTSTART to DESCRIPTION, UTF-8
};

std::string EventLines(const std::string& calendar) {
  const std::size_t from = calendar.find("DTSTART;");
  const std::size_t to = calendar.find("END:VEVENT");
  return from == std::string::npos || to == std::string::npos ? calendar
                                                              : calendar.substr(from, to - from);
}

TEST(CalendarMappingTest, EventsCarryTitleStationAndTimes) {
  const std::string times =
      "DTSTART;TZID=Asia/Tokyo:20261231T233000\r\nDTEND;TZID=Asia/Tokyo:20270101T003000\r\n";
  const std::string tail = "CATEGORIES:RD-X5\r\nDESCRIPTION:Recording reservation of RD-X5\r\n";
  const std::vector<MappingCase> cases = {
      {"full-width text, its leading full-width space kept", "ＮＨＫ　ＢＳ１", "　ニュース７＆天気",
       times + "SUMMARY:" + testing::Utf8("　ニュース７＆天気") +
           "\r\nLOCATION:" + testing::Utf8("ＮＨＫ　ＢＳ１") + "\r\n" + tail},
      {"control characters become spaces, separators escaped", "A;B",
       "a\tb\x01"
       "c,d\\e;f",
       times + "SUMMARY:a b c\\,d\\\\e\\;f\r\nLOCATION:A\\;B\r\n" + tail},
      {"half-width katakana", "ﾃﾚﾋﾞ", "ｱﾆﾒ",
       times + "SUMMARY:" + testing::Utf8("ｱﾆﾒ") + "\r\nLOCATION:" + testing::Utf8("ﾃﾚﾋﾞ") +
           "\r\n" + tail},
      {"empty station: no LOCATION", "", "t", times + "SUMMARY:t\r\n" + tail},
      {"lead byte without its trail byte", "", "b\x81", times + "SUMMARY:b\xEF\xBF\xBD\r\n" + tail},
  };
  for (const MappingCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    testing::FakeEnv env(dir);
    const std::string folder = dir.File("RD-X5");
    ASSERT_TRUE(env.CreateFolder(folder).ok());
    testing::WriteBytes(folder + "/202612312330CH1.tvpi",
                        Tvpi(c.station, c.title, kYmd, "23:30", "00:30"));
    FolderCalendar calendar;
    std::string error;
    ASSERT_TRUE(BuildFolderCalendar(env, folder, &calendar, &error)) << error;
    std::string unfolded = calendar.text;
    for (std::size_t at; (at = unfolded.find("\r\n ")) != std::string::npos;) unfolded.erase(at, 3);
    EXPECT_EQ(EventLines(unfolded), c.expected);
  }
}

TEST(CalendarMappingTest, FoldingKeepsLinesShortAndCharactersWhole) {
  // One-, two-, three- and four-octet characters, so every cut position meets each kind.
  const std::string pieces[] = {"a", "\xC3\xA9", "\xE7\x95\xAA", "\xF0\x9F\x93\xBA"};
  std::string text;
  for (int n = 0; n < 260; ++n) {
    const std::string line = "SUMMARY:" + text;
    const std::string folded = FoldLine(line);
    ASSERT_EQ(folded.substr(folded.size() - 2), "\r\n");
    std::string unfolded;
    std::size_t begin = 0;
    for (std::size_t end; (end = folded.find("\r\n", begin)) != std::string::npos;
         begin = end + 2) {
      const std::string physical = folded.substr(begin, end - begin);
      ASSERT_LE(physical.size(), 75u) << n;
      if (begin > 0) {
        ASSERT_EQ(physical[0], ' ');
        ASSERT_GT(physical.size(), 1u);
        // A continuation never starts inside a character.
        ASSERT_NE(static_cast<unsigned char>(physical[1]) & 0xC0, 0x80) << n;
      }
      unfolded += begin > 0 ? physical.substr(1) : physical;
    }
    ASSERT_EQ(unfolded, line);
    text += pieces[n % 4];
  }
  // Bytes that are no UTF-8 are still cut into short lines, not looped over.
  EXPECT_EQ(FoldLine(std::string(80, '\x80')).find("\r\n "), 75u);
}

TEST(CalendarFolderTest, SkipsBrokenFilesKeepsTheRestAndLeavesTheFolderAlone) {
  testing::TempDir dir;
  testing::FakeEnv env(dir);
  const std::string folder = dir.File("RD-X5/");
  ASSERT_TRUE(env.CreateFolder(folder).ok());
  const std::string late = Tvpi("B", "late", kYmd, "22:00", "23:00");
  const std::string early = Tvpi("A", "early", kYmd, "06:00", "07:00");
  testing::WriteBytes(folder + "202612312200CH4.tvpi", late);
  testing::WriteBytes(folder + "zz-early.TVPI", early);
  testing::WriteBytes(folder + "broken.tvpi", "Content-type: text/plain\r\n\r\n");
  testing::WriteBytes(folder + "notes.txt", "not a program");

  FolderCalendar first;
  std::string error;
  ASSERT_TRUE(BuildFolderCalendar(env, folder, &first, &error)) << error;
  EXPECT_EQ(first.events, 2);
  ASSERT_EQ(first.skipped.size(), 1u);
  EXPECT_EQ(first.skipped[0].rfind("broken.tvpi: wrong content type", 0), 0u) << first.skipped[0];
  // Sorted by start; the deck comes from the folder's last component despite the delimiter.
  EXPECT_LT(first.text.find("SUMMARY:early"), first.text.find("SUMMARY:late"));
  EXPECT_NE(first.text.find("X-WR-CALNAME:RD-X5\r\n"), std::string::npos);
  EXPECT_NE(first.text.find("DTSTAMP:"), std::string::npos);

  // The same programs keep their UIDs; another file name or deck gives another one.
  env.set_now(env.Now() + 1);
  FolderCalendar second;
  ASSERT_TRUE(BuildFolderCalendar(env, folder, &second, &error));
  auto uids = [](const std::string& text) {
    std::vector<std::string> found;
    for (std::size_t at = 0; (at = text.find("\nUID:", at)) != std::string::npos; ++at) {
      found.push_back(text.substr(at + 5, text.find('\r', at) - at - 5));
    }
    return found;
  };
  EXPECT_EQ(uids(first.text), uids(second.text));
  ASSERT_EQ(uids(first.text).size(), 2u);
  EXPECT_NE(uids(first.text)[0], uids(first.text)[1]);
  EXPECT_NE(ProgramUid("RD-X5", "a.tvpi"), ProgramUid("RD-X6", "a.tvpi"));

  EXPECT_EQ(testing::ReadBytes(folder + "202612312200CH4.tvpi"), late);
  std::vector<std::string> names;
  ASSERT_TRUE(env.ListFiles(folder, "", &names).ok());
  EXPECT_EQ(names.size(), 4u);

  FolderCalendar none;
  EXPECT_FALSE(BuildFolderCalendar(env, dir.File("missing"), &none, &error));
  EXPECT_NE(error.find("missing"), std::string::npos);
}

TEST(CalendarRunTest, WritesTheFileInOneStepAndSaysWhatItSkipped) {
  testing::TempDir dir;
  testing::FakeEnv env(dir);
  const std::string folder = dir.File("RD1");
  ASSERT_TRUE(env.CreateFolder(folder).ok());
  testing::WriteBytes(folder + "/a.tvpi", Tvpi("S", "t", kYmd, "01:00", "02:00"));
  const std::string file = dir.File("tv.ics");
  testing::WriteBytes(file, "old");
  EXPECT_EQ(RunCalendar(env, {folder, file}), kCalendarWritten);
  EXPECT_EQ(testing::ReadBytes(file).rfind("BEGIN:VCALENDAR\r\n", 0), 0u);

  testing::WriteBytes(folder + "/b.tvpi", "");
  EXPECT_EQ(RunCalendar(env, {folder, file}), kCalendarWrittenWithSkips);
  EXPECT_NE(testing::ReadBytes(file).find("SUMMARY:t\r\n"), std::string::npos);

  EXPECT_EQ(RunCalendar(env, {}), kCalendarNotWritten);
  EXPECT_EQ(RunCalendar(env, {folder, folder + "/a.tvpi"}), kCalendarNotWritten);
  EXPECT_EQ(RunCalendar(env, {dir.File("missing"), file}), kCalendarNotWritten);
  EXPECT_EQ(RunCalendar(env, {folder, dir.File("no/such/folder/tv.ics")}), kCalendarNotWritten);
  EXPECT_EQ(testing::ReadBytes(folder + "/a.tvpi").rfind("Content-type", 0), 0u);
}

}  // namespace
}  // namespace tavelin
