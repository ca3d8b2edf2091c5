// Fetch mode of the built program, end to end: the host's files are set up, the simulated
// recorder serves a reservation page, and the test reads what the program left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/host_world.h"
#include "support/recorder_sim.h"

namespace tavelin::testing {
namespace {

// Channel tables the way the host writes them: LF line ends and no closing comma, which this
// program would never write, so any rewrite shows.
constexpr char kTvConvert[] = "\"元のTV局名\",\"新しいTV局名\"\n\"ＮＨＫ総合１\",\"ＮＨＫ総合\"\n";
constexpr char kChannelNumbers[] =
    "\"ToolName\",\"TVChannel\",\"TVChannelNo\"\n"
    "\"RD2\",\"ＮＨＫ別\",\"1\"\n"
    "\"RD1\",\"ＮＨＫ総合\",\"1\"\n"
    "\"RD1\",\"日テレ別\",\"CH4\"\n"
    "\"レコーダー\",\"ＮＨＫ総合\",\"D011\"\n";
constexpr char kChannelData[] =
    "\"TVChannel\",\"TVChannelNo\",\"TVURL\"\n"
    "\"日本テレビ\",\"4\",\"http://www.ntv.co.jp/\"\n"
    "\"ＢＳ１\",\"BS101\",\"\"\n";

constexpr char kLogBefore[] = "前の実行の行\r\n";

// The bytes of a .tvpi file this program writes for one program.
std::string Tvpi(const std::string& station, Day day, int start, int end,
                 const std::string& title) {
  const std::string stamp = LocalCalendar::Stamp(day, start);
  auto hhnn = [](int minute) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", minute / 60 % 24, minute % 60);
    return std::string(text);
  };
  return "Content-type: application/x-tv-program-info; charset=shift_jis\r\nversion: 1\r\n"
         "station: " +
         station + "\r\nyear: " + stamp.substr(0, 4) + "\r\nmonth: " + stamp.substr(4, 2) +
         "\r\ndate: " + stamp.substr(6, 2) + "\r\nstart: " + hhnn(start) + "\r\nend: " + hhnn(end) +
         "\r\nprogram-title: " + title + "\r\ngenre: 0\r\n\r\n\r\n\r\n";
}

// The days a recurring reservation is written for: anchored to today at `minute` (tomorrow
// when that moment has passed), moved to the first day `matches`, then one file per
// matching day until the first on or after today + 14.
template <typename Matches>
std::vector<Day> Occurrences(const LocalCalendar& cal, int minute, Matches matches) {
  Day day = cal.minute_of_day() >= minute ? cal.At(1) : cal.today();
  while (!matches(day)) ++day;
  std::vector<Day> days = {day};
  while (day < cal.At(14)) {
    do {
      ++day;
    } while (!matches(day));
    days.push_back(day);
  }
  return days;
}

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(world_.RootFile("tvconvert.csv"), kTvConvert);
    WriteBytes(world_.RootFile("qdrTVCHNo.csv"), kChannelNumbers);
    WriteBytes(world_.RootFile("tvchdata.csv"), kChannelData);
    WriteBytes(world_.RootFile("qdr.log"), kLogBefore);
    WriteBytes(world_.RootFile("qdr.ini"), "[TSetup]\r\nUseProxy_Checked=False\r\n");
  }

  void WriteNubra(const std::string& deck, const DeckSettings& settings) {
    nubra_ = "[他のデッキ]\r\nRDH1_IP_Text=rd-other\r\n" + HostWorld::NubraSection(deck, settings);
    WriteBytes(world_.RootFile("nubra.ini"), nubra_);
  }

  // Serves `page` as the reservation list with `sim_args`; the deck's settings point there.
  std::unique_ptr<RecorderSim> StartRecorder(const std::string& page,
                                             std::vector<std::string> sim_args) {
    WriteBytes(world_.dir().File("page.html"), page);
    sim_args.push_back("--program-file");
    sim_args.push_back(world_.dir().File("page.html"));
    auto sim = std::make_unique<RecorderSim>(sim_args);
    EXPECT_TRUE(sim->started());
    return sim;
  }

  // The log lines this run added after the host's earlier line.
  std::vector<std::string> NewLogLines() {
    const std::string log = ReadBytes(world_.RootFile("qdr.log"));
    EXPECT_EQ(log.rfind(kLogBefore, 0), 0u) << "the earlier log line was not kept";
    return CrLfLines(log.substr(std::string(kLogBefore).size()));
  }

  // A start header, "Tavelin", `middle`, the end line.
  void ExpectLogOfOneRun(const std::vector<std::string>& middle) {
    const std::vector<std::string> lines = NewLogLines();
    std::string shown;
    for (const std::string& line : lines) shown += Utf8(line) + "\n";
    ASSERT_EQ(lines.size(), 4 + middle.size()) << shown;
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("--- START ---\t\\d{4}-\\d\\d-\\d\\d "
                                                      "\\d\\d:\\d\\d:\\d\\d")))
        << lines[0];
    EXPECT_EQ(lines[1], "Version 1.2.3.0");
    EXPECT_EQ(lines[2], "Tavelin");
    for (size_t i = 0; i < middle.size(); ++i) EXPECT_EQ(Utf8(lines[3 + i]), Utf8(middle[i]));
    EXPECT_TRUE(std::regex_match(lines.back(), std::regex("--- END ---\t\\d{4}-\\d\\d-\\d\\d\t"
                                                          "\\d\\d:\\d\\d:\\d\\d")))
        << lines.back();
  }

  // The host's channel tables and the program's INI are exactly as they were, and no
  // backup or temporary table file appeared.
  void ExpectHostFilesUntouched() {
    EXPECT_EQ(ReadBytes(world_.RootFile("tvconvert.csv")), kTvConvert);
    EXPECT_EQ(ReadBytes(world_.RootFile("qdrTVCHNo.csv")), kChannelNumbers);
    EXPECT_EQ(ReadBytes(world_.RootFile("tvchdata.csv")), kChannelData);
    EXPECT_EQ(Utf8(ReadBytes(world_.RootFile("nubra.ini"))), Utf8(nubra_));
    for (const std::string& name : FileNames(world_.root())) {
      EXPECT_EQ(name.find(".old"), std::string::npos) << name;
      EXPECT_EQ(name.find(".$$$"), std::string::npos) << name;
    }
  }

  HostWorld world_;
  LocalCalendar cal_;
  std::string nubra_;
};

// One table row of the reservation list.
std::string TableRow(int index, const std::string& title, int tuner, const std::string& channel,
                     const std::string& day, const std::string& time) {
  std::string image;
  if (tuner != 0) image = "<td><img src=\"/img/act_R" + std::to_string(tuner) + ".gif\"></td>";
  return "<tr><td><a href=\"b_proginfo.htm?" + std::to_string(index) + "\">" + title + "</a></td>" +
         image + "<td>" + channel + "</td><td>" + day + "</td><td>" + time +
         "</td><td>SP</td></tr>\r\n";
}

TEST_F(FetchTest, TableLayoutWithDigestLoginWritesOneFilePerProgram) {
  const Day day1 = cal_.At(1), day2 = cal_.At(2), old = cal_.At(-11), edge = cal_.At(-10);
  const std::string page =
      "<html>\r\n<head><title>予約一覧</title></head>\r\n<body>\r\n<table border=1>\r\n<tbody>\r\n"
      "<tr><th>番組名</th><th>チャンネル</th><th>日付</th><th>時間</th><th>画質</th></tr>\r\n" +
      TableRow(0, "ニュース７", 1, "CH1", LocalCalendar::PageDate(day1), "19:00-19:30") +
      TableRow(1, "世界の車窓から", 2, "CH4", LocalCalendar::PageDate(day2), "23:30-00:30") +
      TableRow(2, "日曜劇場", 0, "CH6", "毎日曜日", "21:00-21:54") +
      TableRow(3, "地図に載らない駅", 0, "ﾃﾚﾋﾞdeﾅﾋﾞで必要", LocalCalendar::PageDate(day1),
               "12:00-12:30") +
      TableRow(4, "古い番組", 0, "CH1", LocalCalendar::PageDate(old), "10:00-10:30") +
      TableRow(5, "十日前の番組", 0, "CH2", LocalCalendar::PageDate(edge), "00:00-00:30") +
      "</tbody>\r\n</table>\r\n</body>\r\n</html>\r\n";
  auto sim = StartRecorder(page, {"--login", "digest", "--user", "rd", "--password", "秘密pw"});
  DeckSettings deck;
  deck.port = std::to_string(sim->port());
  deck.user_id = "rd";
  deck.password = "秘密pw";
  WriteNubra("RD1", deck);
  const std::string output = world_.OutputFolder("RD1");
  std::filesystem::create_directories(output);
  WriteBytes(output + "/200001011200CH9.tvpi", "old");
  WriteBytes(output + "/memo.txt", "the host's note");

  const RunResult run = world_.Run({output});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");

  // Expected files: a date shown without a year is the day nearest to today with that month
  // and day (the shown day itself, also across the new year), and a start more than ten
  // days back is dropped.
  std::map<std::string, std::string> expected;
  auto dated = [&](Day day, int start, int end, const std::string& channel,
                   const std::string& station, const std::string& title) {
    if (day < cal_.At(-10)) return;
    expected[LocalCalendar::Stamp(day, start) + channel + ".tvpi"] =
        Tvpi(station, day, start, end, title);
  };
  dated(day1, 19 * 60, 19 * 60 + 30, "CH1", "ＮＨＫ総合", "ニュース７");
  dated(day2, 23 * 60 + 30, 30, "CH4", "日本テレビ", "世界の車窓から");
  dated(old, 10 * 60, 10 * 60 + 30, "CH1", "ＮＨＫ総合", "古い番組");
  dated(edge, 0, 30, "CH2", "CH2", "十日前の番組");
  for (Day day : Occurrences(cal_, 21 * 60, [](Day d) { return LocalCalendar::Weekday(d) == 0; })) {
    expected[LocalCalendar::Stamp(day, 21 * 60) + "CH6.tvpi"] =
        Tvpi("CH6", day, 21 * 60, 21 * 60 + 54, "日曜劇場");
  }
  std::set<std::string> expected_names = {"memo.txt"};
  for (const auto& [name, bytes] : expected) expected_names.insert(name);
  EXPECT_EQ(FileNames(output), expected_names);
  for (const auto& [name, bytes] : expected) {
    EXPECT_EQ(Utf8(ReadBytes(output + "/" + name)), Utf8(bytes)) << name;
  }
  EXPECT_EQ(ReadBytes(output + "/memo.txt"), "the host's note");

  // The page went byte for byte into the temp folder, after the body of the login
  // challenge (every reply body of the exchange is kept); the login took one challenge.
  const std::string saved = ReadBytes(world_.temp() + "rdprogram.html");
  ASSERT_GE(saved.size(), page.size());
  EXPECT_EQ(saved.substr(saved.size() - page.size()), page);
  const std::vector<std::string> requests = sim->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].find("Authorization: Digest username=\"rd\""), std::string::npos);
  EXPECT_NE(requests[1].find("nc=00000001"), std::string::npos);

  ExpectLogOfOneRun({});
  ExpectHostFilesUntouched();
}

TEST_F(FetchTest, AMissingChannelTableIsReadFromItsBackup) {
  // What a save cut short by a crash in an older program left behind.
  std::filesystem::rename(world_.RootFile("qdrTVCHNo.csv"), world_.RootFile("qdrTVCHNo.old"));
  const Day day = cal_.At(1);
  auto sim = StartRecorder(
      "<table>\r\n" +
          TableRow(0, "ニュース", 1, "CH1", LocalCalendar::PageDate(day), "19:00-19:30") +
          "</table>\r\n",
      {});
  DeckSettings deck;
  deck.port = std::to_string(sim->port());
  WriteNubra("RD1", deck);
  const std::string output = world_.OutputFolder("RD1");

  const RunResult run = world_.Run({output});
  ASSERT_TRUE(run.finished);
  const std::string name = LocalCalendar::Stamp(day, 19 * 60) + "CH1.tvpi";
  EXPECT_NE(Utf8(ReadBytes(output + "/" + name)).find(Utf8("ＮＨＫ総合")), std::string::npos);
  ExpectLogOfOneRun({"qdr.log: ファイル " + ProgramSidePath(world_.RootFile("qdrTVCHNo.csv")) +
                     " がないため " + ProgramSidePath(world_.RootFile("qdrTVCHNo.old")) +
                     " を読みます (C.ERROR)"});
  EXPECT_EQ(ReadBytes(world_.RootFile("qdrTVCHNo.old")), kChannelNumbers);
  EXPECT_FALSE(std::filesystem::exists(world_.RootFile("qdrTVCHNo.csv")));
}

TEST_F(FetchTest, AnOutputFolderThatCannotBeMadeIsLogged) {
  auto sim = StartRecorder("<html></html>\r\n", {});
  DeckSettings deck;
  deck.port = std::to_string(sim->port());
  WriteNubra("RD1", deck);
  // A plain file stands where a parent folder would have to be.
  WriteBytes(world_.dir().File("out/blocker"), "");
  const std::string output = world_.dir().File("out/blocker/RD1");

  const RunResult run = world_.Run({output});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_TRUE(sim->Requests().empty());
  ExpectLogOfOneRun({"qdr.log: " + ProgramSidePath(output) + ProgramDelimiter() +
                     "がないので予約状況をを保存できません. (C.ERROR)"});
  ExpectHostFilesUntouched();
}

TEST_F(FetchTest, DebugTracingAddsProgressLines) {
  auto sim = StartRecorder("<html></html>\r\n", {});
  WriteBytes(world_.RootFile("qdr.ini"), "[TSetup]\r\nDebug_Checked=True\r\n");
  DeckSettings deck;
  deck.port = std::to_string(sim->port());
  WriteNubra("RD1", deck);

  const RunResult run = world_.Run({world_.OutputFolder("RD1")});
  ASSERT_TRUE(run.finished);
  const std::vector<std::string> lines = NewLogLines();
  for (const char* progress : {"予約一覧をダウンロード中...", "解析中...", "終了処理中..."}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), progress), lines.end()) << Utf8(progress);
  }
  // The switch is on only when it reads exactly "True".
  WriteBytes(world_.RootFile("qdr.log"), kLogBefore);
  WriteBytes(world_.RootFile("qdr.ini"), "[TSetup]\r\nDebug_Checked=true\r\n");
  world_.Run({world_.OutputFolder("RD1")});
  // A page without a single reservation is told with its size, tracing or not.
  const std::vector<std::string> plain = NewLogLines();
  ASSERT_EQ(plain.size(), 5u);
  const std::string empty_page = Utf8(plain[3]);
  EXPECT_EQ(empty_page.rfind(Utf8("予約一覧に予約がひとつもありません: "), 0), 0u) << empty_page;
  const std::string tail = Utf8("rdprogram.html (15 バイト)");
  EXPECT_TRUE(empty_page.size() > tail.size() &&
              empty_page.compare(empty_page.size() - tail.size(), tail.size(), tail) == 0)
      << empty_page;
}

// One script line of the reservation list.
std::string ScriptLine(int i, const std::string& title, int tuner_code, const std::string& channel,
                       const std::string& day, const std::string& start, const std::string& end) {
  const std::string n = std::to_string(i);
  return "c1[" + n + "]=\"" + n + "\";c2[" + n + "]=\"\";c3[" + n + "]=\"" + title + "\";c4[" + n +
         "]=\"" + std::to_string(tuner_code) + "\";c5[" + n + "]=\"" + channel + "\";c6[" + n +
         "]=\"" + day + "\";c7[" + n + "]=\"" + start + "\";c8[" + n + "]=\"" + end + "\";\r\n";
}

TEST_F(FetchTest, ScriptLayoutWithBasicLoginAndFirstTunerOnly) {
  const Day day1 = cal_.At(1), day2 = cal_.At(2);
  const std::string page =
      "<html>\r\n<head><title>予約一覧</title>\r\n<script language=\"JavaScript\">\r\n"
      "c1=new Array();c2=new Array();c3=new Array();c4=new Array();\r\n" +
      ScriptLine(0, "朝のニュース", 1, "011-1", LocalCalendar::PageDate(day1), "07:00", "07:30") +
      ScriptLine(1, "深夜映画", 2, "041", LocalCalendar::PageDate(day1), "23:00", "25:00") +
      ScriptLine(2, "ＢＳ特集", 0, "BS101", LocalCalendar::PageDate(day2), "25:10", "25:40") +
      ScriptLine(3, "体操", 4, "041", "毎日", "05:00", "05:30") +
      ScriptLine(4, "第二の番組", 5, "CH12", LocalCalendar::PageDate(day2), "12:00", "13:00") +
      "</script>\r\n</head>\r\n<body onload=\"show()\"></body>\r\n</html>\r\n";
  auto sim = StartRecorder(page, {"--login", "basic", "--user", "rd", "--password", "pw 1"});
  DeckSettings deck;
  deck.port = std::to_string(sim->port());
  deck.user_id = "rd";
  deck.password = "pw 1";
  deck.dual_recording = 1;  // only what records on the first tuner, or on none
  WriteNubra("レコーダー", deck);
  const std::string output = world_.OutputFolder(Utf8("レコーダー"));

  // A trailing delimiter on the parameter changes nothing; the folder is created.
  const RunResult run = world_.Run({output + "/"});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 0);

  std::map<std::string, std::string> expected;
  expected[LocalCalendar::Stamp(day1, 7 * 60) + "D011.tvpi"] =
      Tvpi("ＮＨＫ総合", day1, 7 * 60, 7 * 60 + 30, "朝のニュース");
  // 25:10 on the shown day is 01:10 of the next one.
  expected[LocalCalendar::Stamp(day2 + 1, 70) + "BS101.tvpi"] =
      Tvpi("ＢＳ１", day2 + 1, 70, 100, "ＢＳ特集");
  for (Day day : Occurrences(cal_, 5 * 60, [](Day) { return true; })) {
    expected[LocalCalendar::Stamp(day, 5 * 60) + "D041.tvpi"] =
        Tvpi("D041", day, 5 * 60, 5 * 60 + 30, "体操");
  }
  std::set<std::string> expected_names;
  for (const auto& [name, bytes] : expected) expected_names.insert(name);
  EXPECT_EQ(FileNames(output), expected_names);
  for (const auto& [name, bytes] : expected) {
    EXPECT_EQ(Utf8(ReadBytes(output + "/" + name)), Utf8(bytes)) << name;
  }

  const std::vector<std::string> requests = sim->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].find("Authorization: Basic cmQ6cHcgMQ=="), std::string::npos)
      << requests[1];
  ExpectLogOfOneRun({});
  ExpectHostFilesUntouched();
}

TEST_F(FetchTest, LateNightRepetitionsRunTheDayAfterTheirBroadcastDay) {
  // Wednesday nights at 25:10 are Thursdays at 01:10; Monday-to-Friday nights at 25:30 are
  // Tuesday to Saturday at 01:30.
  const std::string page = "<html>\r\n<head>\r\n<script>\r\n" +
                           ScriptLine(0, "深夜の帯", 0, "BS101", "毎月～金", "25:30", "26:00") +
                           "</script>\r\n</head>\r\n<body>\r\n<table>\r\n<tbody>\r\n" +
                           TableRow(0, "深夜アニメ", 0, "CH6", "毎水曜日", "25:10-25:40") +
                           "</tbody>\r\n</table>\r\n</body>\r\n</html>\r\n";
  auto sim = StartRecorder(page, {});
  DeckSettings deck;
  deck.port = std::to_string(sim->port());
  WriteNubra("RD1", deck);
  const std::string output = world_.OutputFolder("RD1");

  const RunResult run = world_.Run({output});
  ASSERT_TRUE(run.finished);

  std::map<std::string, std::string> expected;
  for (Day day : Occurrences(cal_, 70, [](Day d) { return LocalCalendar::Weekday(d) == 4; })) {
    expected[LocalCalendar::Stamp(day, 70) + "CH6.tvpi"] = Tvpi("CH6", day, 70, 100, "深夜アニメ");
  }
  for (Day day : Occurrences(cal_, 90, [](Day d) { return LocalCalendar::Weekday(d) >= 2; })) {
    expected[LocalCalendar::Stamp(day, 90) + "BS101.tvpi"] =
        Tvpi("ＢＳ１", day, 90, 120, "深夜の帯");
  }
  std::set<std::string> expected_names;
  for (const auto& [name, bytes] : expected) expected_names.insert(name);
  EXPECT_EQ(FileNames(output), expected_names);
  for (const auto& [name, bytes] : expected) {
    EXPECT_EQ(Utf8(ReadBytes(output + "/" + name)), Utf8(bytes)) << name;
  }
  ExpectLogOfOneRun({});
}

// The downloaded page stays in a folder of this user only.
TEST_F(FetchTest, PagesAreKeptInAFolderOfThisUserOnly) {
  // Windows gives every account its own temp folder through the environment.
  if (!WindowsBuild().empty()) GTEST_SKIP() << "the user's own folder is a POSIX fallback";
  const std::string page =
      "<html><body><table><tbody>\r\n" +
      TableRow(0, "ニュース７", 0, "CH1", LocalCalendar::PageDate(cal_.At(1)), "19:00-19:30") +
      "</tbody></table></body></html>\r\n";
  auto sim = StartRecorder(page, {});
  DeckSettings deck;
  deck.port = std::to_string(sim->port());
  WriteNubra("RD1", deck);
  const std::string output = world_.OutputFolder("RD1");
  const std::string user_folder = world_.runtime() + "tavelin";
  const std::string fetched = LocalCalendar::Stamp(cal_.At(1), 19 * 60) + "CH1.tvpi";
  const std::string failed = "qdr.log: 予約一覧のダウンロード失敗 (C.ERROR)";
  const struct {
    const char* name;
    std::vector<std::string> environment;
    bool foreign_user_folder;  // holding another account's page
    bool fetches;
    std::string reason;  // the log line after the failure's
  } cases[] = {
      {"no temp variable", {"temp"}, false, true, ""},
      {"temp folder missing",
       {"temp=" + world_.dir().File("missing")},
       false,
       false,
       "qdr.log: ページを保存できません: " + world_.dir().File("missing/rdprogram.html") +
           " (フォルダがありません) (C.ERROR)"},
      {"user folder of another account",
       {"temp"},
       true,
       false,
       "qdr.log: 一時フォルダがありません (作ることもできません) (C.ERROR)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(user_folder);
    std::filesystem::remove_all(output);
    std::filesystem::create_directories(output);
    WriteBytes(output + "/202601011900CH1.tvpi", "kept");
    WriteBytes(world_.RootFile("qdr.log"), kLogBefore);
    if (c.foreign_user_folder) {
      std::filesystem::create_directory(user_folder);
      WriteBytes(user_folder + "/rdprogram.html", page);
      if (::chown(user_folder.c_str(), ::geteuid() + 1, static_cast<gid_t>(-1)) != 0) continue;
    }

    const RunResult run = world_.Run({output}, c.environment);
    ASSERT_TRUE(run.finished);
    if (c.fetches) {
      EXPECT_EQ(FileNames(output), std::set<std::string>{fetched});
      EXPECT_EQ(ReadBytes(user_folder + "/rdprogram.html"), page);
      EXPECT_EQ(std::filesystem::status(user_folder).permissions() & std::filesystem::perms::all,
                std::filesystem::perms::owner_all);
      ExpectLogOfOneRun({});
    } else {
      EXPECT_EQ(FileNames(output), std::set<std::string>{"202601011900CH1.tvpi"});
      ExpectLogOfOneRun({failed, c.reason});
    }
    EXPECT_EQ(run.err.empty(), !c.foreign_user_folder) << run.err;
  }
}

// Under Wine: the Windows build leaves byte for byte what the Linux build leaves for the
// same page and settings (program files, log lines apart from their time stamps, INI files,
// channel tables).
TEST_F(FetchTest, WindowsBuildWritesWhatTheLinuxBuildWrites) {
  if (WindowsBuild().empty()) GTEST_SKIP() << "compares the Windows build with this one";
  const Day day1 = cal_.At(1);
  const std::string page =
      "<html><body><table><tbody>\r\n" +
      TableRow(0, "ニュース７", 1, "CH1", LocalCalendar::PageDate(day1), "19:00-19:30") +
      TableRow(1, "表示と予約", 2, "CH4", LocalCalendar::PageDate(day1), "23:30-00:30") +
      TableRow(2, "日曜劇場", 0, "CH6", "毎日曜日", "21:00-21:54") +
      "</tbody></table></body></html>\r\n";
  auto sim = StartRecorder(page, {});
  DeckSettings deck;
  deck.port = std::to_string(sim->port());
  WriteNubra("RD1", deck);  // no login: each build reads the password with its own key

  HostWorld linux_world(true);
  for (const char* name :
       {"tvconvert.csv", "qdrTVCHNo.csv", "tvchdata.csv", "qdr.log", "qdr.ini", "nubra.ini"}) {
    WriteBytes(linux_world.RootFile(name), ReadBytes(world_.RootFile(name)));
  }
  for (HostWorld* world : {&world_, &linux_world}) {
    const RunResult run = world->Run({world->OutputFolder("RD1")});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0);
  }

  const std::set<std::string> names = FileNames(world_.OutputFolder("RD1"));
  EXPECT_EQ(names.size(), 2u + Occurrences(cal_, 21 * 60, [](Day d) {
                                 return LocalCalendar::Weekday(d) == 0;
                               }).size());
  EXPECT_EQ(names, FileNames(linux_world.OutputFolder("RD1")));
  for (const std::string& name : names) {
    EXPECT_EQ(ReadBytes(world_.OutputFolder("RD1") + "/" + name),
              ReadBytes(linux_world.OutputFolder("RD1") + "/" + name))
        << name;
  }
  const std::regex stamp("\\d{4}-\\d\\d-\\d\\d[ \t]\\d\\d:\\d\\d:\\d\\d");
  EXPECT_EQ(std::regex_replace(ReadBytes(world_.RootFile("qdr.log")), stamp, "<time>"),
            std::regex_replace(ReadBytes(linux_world.RootFile("qdr.log")), stamp, "<time>"));
  for (const char* name :
       {"qdr.ini", "nubra.ini", "tvconvert.csv", "qdrTVCHNo.csv", "tvchdata.csv"}) {
    EXPECT_EQ(ReadBytes(world_.RootFile(name)), ReadBytes(linux_world.RootFile(name))) << name;
  }
  EXPECT_EQ(FileNames(world_.root()), FileNames(linux_world.root()));
}

// Files and folders of a real Windows PC, under Wine: other programs holding files, a temp
// folder that Shift-JIS cannot name.
class WindowsPcTest : public FetchTest {
 protected:
  void SetUp() override {
    if (WindowsBuild().empty()) GTEST_SKIP() << "the Windows build's system layer";
    FetchTest::SetUp();
    day_ = cal_.At(1);
    page_ = "<html><body><table><tbody>\r\n" +
            TableRow(0, "ニュース７", 1, "CH1", LocalCalendar::PageDate(day_), "19:00-19:30") +
            "</tbody></table></body></html>\r\n";
    sim_ = StartRecorder(page_, {});
    DeckSettings deck;
    deck.port = std::to_string(sim_->port());
    WriteNubra("RD1", deck);
  }

  std::string ProgramName() const { return LocalCalendar::Stamp(day_, 19 * 60) + "CH1.tvpi"; }
  std::string Program() const {
    return Tvpi("ＮＨＫ総合", day_, 19 * 60, 19 * 60 + 30, "ニュース７");
  }
  static std::string Helper() { return WindowsBuild() + "/tests/tavelin_test_helper.exe"; }

  Day day_ = 0;
  std::string page_;
  std::unique_ptr<RecorderSim> sim_;
};

TEST_F(WindowsPcTest, ProgramFilesOfTheLastRunHeldByAReaderAreReplacedAndRemoved) {
  const std::string output = world_.OutputFolder("RD1");
  std::filesystem::create_directories(output);
  const std::string rewritten = output + "/" + ProgramName();
  const std::string removed = output + "/200001011200CH9.tvpi";
  WriteBytes(rewritten, "the program of the last run");
  WriteBytes(removed, "an old program");

  // A reader holds both, sharing reading only, from before the run until the program has
  // tried to delete one of them (Wine's trace of DeleteFileW shows the try): the program
  // must wait for the reader, whose release comes a few milliseconds into its retries.
  const std::string ready = world_.dir().File("held");
  const std::string release = world_.dir().File("release");
  PluginProcess holder;
  ASSERT_TRUE(
      world_.StartUnderWine(&holder, Helper(), {"hold", ready, release, rewritten, removed}));
  for (int i = 0; i < 3000 && !std::filesystem::exists(ready); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(std::filesystem::exists(ready));
  PluginProcess program;
  ASSERT_TRUE(world_.Start(&program, {output}, {"WINEDEBUG=trace+file"}));
  bool met = false;
  for (int i = 0; i < 6000 && !met && program.Running(); ++i) {
    std::istringstream trace(ReadBytes(program.ErrorFile()));
    for (std::string line; !met && std::getline(trace, line);) {
      met = line.find("trace:file:DeleteFileW") != std::string::npos &&
            (line.find(ProgramName() + "\"") != std::string::npos ||
             line.find("200001011200CH9.tvpi\"") != std::string::npos);
    }
    if (!met) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  WriteBytes(release, "");
  EXPECT_TRUE(met) << "the program never tried to delete a held file";
  const RunResult run = world_.Finish(&program);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(holder.Wait().exit_code, 0);

  EXPECT_EQ(FileNames(output), (std::set<std::string>{ProgramName()}));
  EXPECT_EQ(Utf8(ReadBytes(rewritten)), Utf8(Program()));
  ExpectLogOfOneRun({});
}

TEST_F(WindowsPcTest, ATempFolderThatShiftJisCannotNameFetchesAsAnyOther) {
  // "José" in UTF-8, the Linux file names' encoding; Shift-JIS has no "é".
  const std::string temp = world_.dir().File("Users/Jos\xc3\xa9/AppData/Local/Temp");
  std::filesystem::create_directories(temp);
  const std::string output = world_.OutputFolder("RD1");
  // Started by a Windows parent that sets TEMP and TMP, as the host hands down its own.
  const std::string windows_temp = ProgramSidePath(temp, true);
  PluginProcess process;
  ASSERT_TRUE(world_.StartUnderWine(&process, Helper(),
                                    {"run", "TEMP=" + windows_temp, "TMP=" + windows_temp, "--",
                                     WindowsBuild() + "/src/tavelin.exe", output}));
  const RunResult run = world_.Finish(&process);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 0);

  EXPECT_EQ(FileNames(output), (std::set<std::string>{ProgramName()}));
  EXPECT_EQ(Utf8(ReadBytes(output + "/" + ProgramName())), Utf8(Program()));
  // One plain line in the log: the folder used instead, and why; no error line, since the
  // fetch worked.
  const std::vector<std::string> lines = NewLogLines();
  std::string all;
  for (const std::string& line : lines) all += Utf8(line) + "\n";
  ASSERT_EQ(lines.size(), 5u) << all;  // header, version, "Tavelin", the note, end line
  const std::string& note = lines[3];
  EXPECT_EQ(note.rfind("一時フォルダの名前はShift-JISで書け", 0), 0u) << all;
  EXPECT_EQ(note.find("Jos"), std::string::npos) << all;
  EXPECT_EQ(all.find("(C.ERROR)"), std::string::npos) << all;
}

// Download failures of every kind keep the files of the last good fetch.
struct FailedDownload {
  const char* name;
  std::vector<std::string> sim_args;
  std::string password;   // what the deck's settings hold
  bool nobody_listening;  // the deck names a port nobody listens on
  size_t requests;        // requests the recorder saw
  // The log line that says why, after the host's own; "{port}" stands for the recorder's.
  std::string reason;
  bool system_text = false;  // the system's own text follows in parentheses
};

void PrintTo(const FailedDownload& c, std::ostream* out) { *out << c.name; }

class FailedDownloadTest : public FetchTest,
                           public ::testing::WithParamInterface<FailedDownload> {};

TEST_P(FailedDownloadTest, KeepsTheOldProgramFiles) {
  const FailedDownload& c = GetParam();
  auto sim =
      StartRecorder("<html><body><table><tbody></tbody></table></body></html>\r\n", c.sim_args);
  DeckSettings deck;
  // Port 1 on loopback: refused at once, and no other test's simulator can end up there.
  deck.port = c.nobody_listening ? "1" : std::to_string(sim->port());
  deck.user_id = "rd";
  deck.password = c.password;
  WriteNubra("RD1", deck);
  const std::string output = world_.OutputFolder("RD1");
  std::filesystem::create_directories(output);
  WriteBytes(output + "/202601011900CH1.tvpi", "kept one");
  WriteBytes(output + "/202601021900CH4.tvpi", "kept two");

  const RunResult run = world_.Run({output});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(FileNames(output),
            (std::set<std::string>{"202601011900CH1.tvpi", "202601021900CH4.tvpi"}));
  EXPECT_EQ(ReadBytes(output + "/202601011900CH1.tvpi"), "kept one");
  EXPECT_EQ(ReadBytes(output + "/202601021900CH4.tvpi"), "kept two");
  EXPECT_EQ(sim->Requests().size(), c.requests);
  std::string reason = "qdr.log: " + c.reason;
  reason.replace(reason.find("{port}"), 6, deck.port);
  if (c.system_text && WindowsBuild().empty()) reason += " (Connection refused)";
  reason += " (C.ERROR)";
  const std::vector<std::string> lines = NewLogLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(Utf8(lines[3]), Utf8("qdr.log: 予約一覧のダウンロード失敗 (C.ERROR)"));
  if (c.system_text && !WindowsBuild().empty()) {
    // Windows words the system's text its own way: the line starts and ends as here.
    const std::string start = reason.substr(0, reason.size() - std::string(" (C.ERROR)").size());
    EXPECT_EQ(lines[4].rfind(start + " (", 0), 0u) << Utf8(lines[4]);
    EXPECT_TRUE(lines[4].size() > start.size() + 11 &&
                lines[4].compare(lines[4].size() - 11, 11, ") (C.ERROR)") == 0)
        << Utf8(lines[4]);
  } else {
    EXPECT_EQ(Utf8(lines[4]), Utf8(reason));
  }
  ExpectHostFilesUntouched();
}

INSTANTIATE_TEST_SUITE_P(
    E2e, FailedDownloadTest,
    ::testing::Values(
        FailedDownload{
            "NobodyListening", {}, "", true, 0, "接続を拒否されました: 127.0.0.1:{port}", true},
        FailedDownload{"DigestRefused",
                       {"--login", "digest", "--password", "right"},
                       "wrong",
                       false,
                       2,
                       "ユーザーIDかパスワードが違います (Digest認証): "
                       "http://127.0.0.1:{port}/program/program.htm"},
        FailedDownload{"BasicRefused",
                       {"--login", "basic", "--password", "right"},
                       "wrong",
                       false,
                       2,
                       "ユーザーIDかパスワードが違います (Basic認証): "
                       "http://127.0.0.1:{port}/program/program.htm"},
        FailedDownload{"NotFound",
                       {"--no-pages"},
                       "",
                       false,
                       1,
                       "エラー応答 404 Not Found: http://127.0.0.1:{port}/program/program.htm"},
        FailedDownload{"CutReply",
                       {"--cut-body", "--page-size", "20000"},
                       "",
                       false,
                       1,
                       "応答の途中で切断されました: 127.0.0.1:{port}"}),
    [](const ::testing::TestParamInfo<FailedDownload>& info) { return info.param.name; });

// Where the host says the proxy is: its own INI, or the browser settings in the registry.
class ProxyTest : public FetchTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ProxyTest, FetchesThroughTheChosenProxy) {
  const bool from_browser_settings = GetParam();
  const Day day1 = cal_.At(1);
  const std::string page =
      "<html><body><table><tbody>\r\n" +
      TableRow(0, "ニュース７", 0, "CH1", LocalCalendar::PageDate(day1), "19:00-19:30") +
      "</tbody></table></body></html>\r\n";
  auto recorder = StartRecorder(page, {"--login", "digest"});
  RecorderSim proxy({"--proxy"});
  ASSERT_TRUE(proxy.started());
  const std::string proxy_port = std::to_string(proxy.port());
  if (from_browser_settings) {
    // The host's own proxy entries point nowhere; the browser's web proxy is the one used.
    WriteBytes(world_.RootFile("qdr.ini"),
               "[TSetup]\r\nUseProxy_Checked=True\r\nUseIEProxy_Checked=True\r\n"
               "ProxyServerAddress_Text=127.0.0.1\r\nProxyServerPort_Text=1\r\n");
    world_.WriteRegistry(
        "\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet "
        "Settings]\r\n\"ProxyEnable\"=dword:00000001\r\n\"ProxyServer\"=\"http=127.0.0.1:" +
        proxy_port + ";https=127.0.0.1:1\"\r\n");
  } else {
    WriteBytes(world_.RootFile("qdr.ini"),
               "[TSetup]\r\nUseProxy_Checked=True\r\nUseIEProxy_Checked=False\r\n"
               "ProxyServerAddress_Text= 127.0.0.1 \r\nProxyServerPort_Text=" +
                   proxy_port + "\r\n");
  }
  DeckSettings deck;
  deck.address = "localhost";
  deck.port = std::to_string(recorder->port());
  deck.user_id = "rd";
  deck.password = "recorder";
  WriteNubra("RD1", deck);
  const std::string output = world_.OutputFolder("RD1");

  const RunResult run = world_.Run({output});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 0);

  EXPECT_EQ(FileNames(output),
            std::set<std::string>{LocalCalendar::Stamp(day1, 19 * 60) + "CH1.tvpi"});
  // Both requests went to the proxy in absolute form and reached the recorder.
  const std::string target =
      "GET http://localhost:" + std::to_string(recorder->port()) + "/program/program.htm ";
  const std::vector<std::string> via_proxy = proxy.Requests();
  ASSERT_EQ(via_proxy.size(), 2u);
  for (const std::string& request : via_proxy) EXPECT_EQ(request.rfind(target, 0), 0u) << request;
  EXPECT_NE(via_proxy[1].find("uri=\"http://localhost:"), std::string::npos) << via_proxy[1];
  EXPECT_EQ(recorder->Requests().size(), 2u);
  ExpectLogOfOneRun({});
}

INSTANTIATE_TEST_SUITE_P(E2e, ProxyTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "BrowserSettings" : "HostSettings";
                         });

}  // namespace
}  // namespace tavelin::testing
