#include "app/fetch_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "channels/channel_table.h"
#include "parse/reservation_pages.h"
#include "support/scripted_run.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

class ParseStepTest : public ::testing::Test {
 protected:
  ParseStepTest()
      : env_(dir_, testing::PagesNow()),
        tv_ch_no_(ChannelTable::TableTVChNo(env_, dir_.path())),
        tv_ch_data_(ChannelTable::TableTVChData(env_, dir_.path())) {
    env_.CreateFolder(dir_.File("RD-X5"));
    WriteBytes(dir_.File(kTableTVChNoFile),
               "\"ToolName\",\"TVChannel\",\"TVChannelNo\",\r\n"
               "\"RD-OTHER\",\"別の録画機の局\",\"1\",\r\n"
               "\"RD-X5\",\"ＮＨＫ総合\",\"1\",\r\n"
               "\"RD-X5\",\"ＮＨＫデジタル\",\"D011\",\r\n"
               "\"RD-X5\",\"テレ東\",\"12\",\r\n");
    WriteBytes(dir_.File(kTableTVChDataFile),
               "\"TVChannel\",\"TVChannelNo\",\"TVURL\",\r\n"
               "\"総合(一覧)\",\"1\",\"\",\r\n"
               "\"ＢＳ１\",\"BS101\",\"\",\r\n"
               "\"ＢＳ１(二番目)\",\"BS101\",\"\",\r\n"
               "\"デジタル一覧\",\"011-1\",\"\",\r\n");
  }

  ParseStepContext Context(Env* env = nullptr) {
    return ParseStepContext{env ? *env : env_,
                            tv_ch_no_,
                            tv_ch_data_,
                            "RD-X5",
                            dir_.File("RD-X5/"),
                            run_,
                            [this](const std::string& line) { plain_log_.push_back(line); }};
  }
  // The page as the download hands it over; nothing is read from the disk.
  SavedPage Page(const std::string& bytes) { return SavedPage{dir_.File("rdprogram.html"), bytes}; }

  std::string Station(const std::string& file) {
    const std::string bytes = testing::ReadBytes(dir_.File("RD-X5/" + file));
    const std::size_t at = bytes.find("station: ");
    if (at == std::string::npos) return "<no file " + file + ">";
    return Utf8(bytes.substr(at + 9, bytes.find("\r\n", at) - at - 9));
  }

  TempDir dir_;
  FakeEnv env_;
  ChannelTable tv_ch_no_;
  ChannelTable tv_ch_data_;
  ScriptedRun run_;
  int& yields_ = run_.yields;
  std::vector<std::string>& log_ = run_.errors;
  std::vector<std::string> plain_log_;
};

TEST_F(ParseStepTest, TranslatesChannelsThroughBothTablesForTheDeck) {
  RunParseStep(Context(), Page(testing::TableLayoutPage()));
  EXPECT_EQ(Station("202403131900CH1.tvpi"), Utf8("ＮＨＫ総合"));  // this deck's row
  EXPECT_EQ(Station("202403160110CH12.tvpi"), Utf8("テレ東"));
  EXPECT_EQ(Station("202403140500BS101.tvpi"), Utf8("ＢＳ１"));  // station list, first row
  EXPECT_EQ(Station("202403132330011-1.tvpi"), Utf8("デジタル一覧"));
  EXPECT_EQ(Station("2024031321004.tvpi"), Utf8("4"));  // known to neither
  EXPECT_FALSE(tv_ch_no_.Active());
  EXPECT_FALSE(tv_ch_data_.Active());
  EXPECT_TRUE(tv_ch_no_.ReadOnly());
  EXPECT_TRUE(tv_ch_data_.ReadOnly());
  EXPECT_GT(yields_, 0);
  EXPECT_TRUE(log_.empty());
}

TEST_F(ParseStepTest, RunsBothParsersOverOnePage) {
  // A page holding rows of the table layout and lines of the script layout.
  const std::string page(
      "<table><tbody><tr><td><a href=b_proginfo.htm?0>表</a></td><td>CH1</td>"
      "<td>3/13(水)</td><td>20:00-21:00</td></tr></tbody></table>\r\n"
      "c1[0]=0;c3[0]=\"行\";c5[0]=\"011-1\";c6[0]=\"3/14(木)\";c7[0]=\"06:00\";"
      "c8[0]=\"07:00\";\r\n");
  RunParseStep(Context(), Page(page));
  std::vector<std::string> names;
  env_.ListFiles(dir_.File("RD-X5/"), "", &names);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"202403132000CH1.tvpi", "202403140600D011.tvpi"}));
  EXPECT_EQ(Station("202403140600D011.tvpi"), Utf8("ＮＨＫデジタル"));
  EXPECT_TRUE(plain_log_.empty());
}

TEST_F(ParseStepTest, PageWithoutReservationsIsToldWithItsSize) {
  const std::string page = dir_.File("rdprogram.html");
  const struct {
    const char* name;
    std::string bytes;
    bool stop;
    std::vector<std::string> lines;
  } cases[] = {
      {"another device's page",
       "<html><body>Printer</body></html>\r\n",
       false,
       {"予約一覧に予約がひとつもありません: " + page + " (35 バイト)"}},
      {"a reservation the output step drops (no title)",
       "c1[0]=0;c3[0]=\"\";c5[0]=\"011-1\";c6[0]=\"3/14(木)\";c7[0]=\"06:00\";c8[0]=\"07:00\";\r\n",
       false,
       {}},
      {"stopped before parsing", "<html></html>\r\n", true, {}},
  };
  for (const auto& c : cases) {
    plain_log_.clear();
    run_.stop = c.stop;
    RunParseStep(Context(), Page(c.bytes));
    EXPECT_EQ(plain_log_, c.lines) << c.name;
    EXPECT_TRUE(log_.empty()) << c.name;
  }
}

TEST_F(ParseStepTest, ClosesTablesAlsoWhenTheOutputStepFails) {
  tv_ch_no_.Open();  // already open before the step
  FullDiskEnv full(&env_);
  EXPECT_THROW(RunParseStep(Context(&full), Page(testing::TableLayoutPage())), std::runtime_error);
  EXPECT_FALSE(tv_ch_no_.Active());
  EXPECT_FALSE(tv_ch_data_.Active());
}

TEST_F(ParseStepTest, StopRequestEndsBothParsersEarly) {
  run_.stop = true;
  RunParseStep(Context(), Page(testing::TableLayoutPage() + testing::ScriptLayoutPage()));
  std::vector<std::string> names;
  env_.ListFiles(dir_.File("RD-X5/"), "", &names);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(yields_, 0);
  EXPECT_FALSE(tv_ch_no_.Active());
}

TEST_F(ParseStepTest, PageAboveTheSizeCapIsRefusedBeforeParsing) {
  const std::string page = testing::TableLayoutPage();
  const uint64_t size = page.size();
  for (uint64_t cap : {size - 1, size}) {
    ParseStepContext context = Context();
    context.max_page_bytes = cap;
    const bool refused = size > cap;
    try {
      RunParseStep(context, Page(page));
      EXPECT_FALSE(refused) << cap;
    } catch (const std::runtime_error& e) {
      EXPECT_TRUE(refused) << cap;
      EXPECT_EQ(std::string(e.what()), "予約一覧 " + dir_.File("rdprogram.html") + " は " +
                                           std::to_string(size) + " バイトあり、上限の " +
                                           std::to_string(cap) + " バイトを超えるので解析しません");
    }
    EXPECT_EQ(env_.FileExists(dir_.File("RD-X5/202403131900CH1.tvpi")), !refused) << cap;
    EXPECT_FALSE(tv_ch_no_.Active());
  }
}

// The fetch without a window: what it shows, and which files it leaves.
class RecordingView : public FetchView {
 public:
  void ShowStatus(const std::string& status) override { shown.push_back(status); }
  void ShowProgress(int percent) override { shown.push_back(std::to_string(percent) + "%"); }
  void StopWatchdog() override { shown.push_back("watchdog off"); }
  bool DebugTracing() override { return tracing; }
  void LogLine(const std::string& line) override { shown.push_back("log: " + line); }

  bool tracing = false;
  std::vector<std::string> shown;
};

class RunFetchTest : public ParseStepTest {
 protected:
  FetchJob Job(std::function<bool(SavedPage*, Status*)> download) {
    return FetchJob{.env = env_,
                    .run = run_,
                    .view = view_,
                    .tv_ch_no = tv_ch_no_,
                    .tv_ch_data = tv_ch_data_,
                    .deck_name = "RD-X5",
                    .output_folder = dir_.File("RD-X5/"),
                    .download = std::move(download),
                    .parse = {}};
  }
  std::vector<std::string> ProgramFiles() {
    std::vector<std::string> names;
    env_.ListFiles(dir_.File("RD-X5/"), ".tvpi", &names);
    std::sort(names.begin(), names.end());
    return names;
  }

  RecordingView view_;
};

TEST_F(RunFetchTest, ParsesTheBytesTheDownloadHandedOverAndShowsEachPhase) {
  WriteBytes(dir_.File("RD-X5/200001010000old.tvpi"), "last run");
  view_.tracing = true;
  // The page is never read back from the disk: this download saves no file at all.
  RunFetch(Job([this](SavedPage* page, Status*) {
    *page = Page(
        "c1[0]=0;c3[0]=\"行\";c5[0]=\"011-1\";c6[0]=\"3/14(木)\";c7[0]=\"06:00\";"
        "c8[0]=\"07:00\";\r\n");
    return true;
  }));
  EXPECT_EQ(ProgramFiles(), std::vector<std::string>{"202403140600D011.tvpi"});
  EXPECT_EQ(Station("202403140600D011.tvpi"), Utf8("ＮＨＫデジタル"));
  EXPECT_EQ(view_.shown,
            (std::vector<std::string>{
                "予約一覧をダウンロード中", "log: 予約一覧をダウンロード中...", "watchdog off",
                "50%", "解析中", "log: 解析中...", "100%", "終了処理中", "log: 終了処理中..."}));
  EXPECT_FALSE(tv_ch_no_.Active());
  EXPECT_TRUE(log_.empty());
}

TEST_F(RunFetchTest, FailedDownloadKeepsTheOldFilesAndLogsItsReason) {
  WriteBytes(dir_.File("RD-X5/200001010000old.tvpi"), "last run");
  RunFetch(Job([](SavedPage*, Status* why) {
    *why = Status(Status::Kind::kRefused, "接続を拒否されました: rd:80 (x)");
    return false;
  }));
  EXPECT_EQ(ProgramFiles(), std::vector<std::string>{"200001010000old.tvpi"});
  EXPECT_EQ(log_, (std::vector<std::string>{"予約一覧のダウンロード失敗",
                                            "接続を拒否されました: rd:80 (x)"}));
  EXPECT_EQ(view_.shown,
            (std::vector<std::string>{"予約一覧をダウンロード中", "100%", "終了処理中"}));
  EXPECT_FALSE(tv_ch_no_.Active());
}

}  // namespace
}  // namespace tavelin
