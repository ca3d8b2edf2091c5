#include "net/recorder_pages.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/recorder_sim.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

// Points the temp folder at the test's own folder and can make page files unwritable.
class PagesEnv : public FakeEnv {
 public:
  PagesEnv(const TempDir& dir) : FakeEnv(dir) { set_temp_folder(dir.path()); }
  Status NewWritableFile(const std::string& path, bool append,
                         std::unique_ptr<WritableFile>* file) override {
    if (fail_writes) throw std::runtime_error("disk full");
    return FakeEnv::NewWritableFile(path, append, file);
  }
  // Deleting fails and the file stays, as when another program holds it.
  Status DeleteFile(const std::string& path) override {
    if (refuse_deletes) return Status(Status::Kind::kFileError, "in use");
    return FakeEnv::DeleteFile(path);
  }
  bool fail_writes = false;
  bool refuse_deletes = false;
};

class Host : public DownloadHost {
 public:
  std::string UserId() override { return "rd"; }
  std::string Password() override { return password; }
  std::string ProxyHost() override { return ""; }
  std::string ProxyPort() override { return ""; }
  bool DebugTracing() override { return false; }
  void LogLine(const std::string&) override {}
  std::string password = "recorder";
};

class View : public ConnectionTestView {
 public:
  void SetTestButtonEnabled(bool enabled) override { events.push_back(enabled ? "on" : "off"); }
  void ShowMessage(const std::string& text) override {
    events.push_back(text);
    test_file_during_message = file_exists();
  }
  std::vector<std::string> events;
  std::function<bool()> file_exists;
  bool test_file_during_message = false;
};

class RecorderPagesTest : public ::testing::Test {
 protected:
  TempDir dir_;
  PagesEnv env_{dir_};
  Host host_;
  PageDownloader downloader_{env_, host_};
};

TEST_F(RecorderPagesTest, BuildsReservationPageUrlFromTrimmedBoxes) {
  EXPECT_EQ(ReservationPageUrl("192.168.1.20", "80"), "http://192.168.1.20:80/program/program.htm");
  EXPECT_EQ(ReservationPageUrl(" \tRD-H1 ", " 8000\r\n"), "http://RD-H1:8000/program/program.htm");
  EXPECT_EQ(ReservationPageUrl("RD-H1", "  "), "http://RD-H1:/program/program.htm");
  // An empty port box means port 80 and a plain path as the request target.
  HttpUrl url = ParseHttpUrl(ReservationPageUrl("RD-H1", ""));
  EXPECT_EQ(url.port, 80);
  EXPECT_EQ(downloader_.client().RequestTarget(ReservationPageUrl("RD-H1", "")),
            "/program/program.htm");
}

TEST_F(RecorderPagesTest, FetchReplacesOrRemovesTheOldPage) {
  std::string page = ReservationPageFile(env_);
  EXPECT_EQ(page, dir_.File("rdprogram.html"));
  {
    RecorderSim sim({"--login", "digest", "--single-use-nonce", "--layout", "script"});
    ASSERT_TRUE(sim.started());
    WriteBytes(page, "old");
    EXPECT_TRUE(FetchReservationPage(env_, downloader_, "127.0.0.1", std::to_string(sim.port())));
    EXPECT_NE(ReadBytes(page).find("c1[0]="), std::string::npos);

    host_.password = "wrong";
    EXPECT_FALSE(FetchReservationPage(env_, downloader_, "127.0.0.1", std::to_string(sim.port())));
    EXPECT_FALSE(env_.FileExists(page));
  }
}

TEST_F(RecorderPagesTest, ConnectionTestVerdicts) {
  RecorderSim sim({"--login", "basic"});
  ASSERT_TRUE(sim.started());
  std::string test_file = ConnectionTestFile(env_);
  const std::string url = "http://127.0.0.1:" + std::to_string(sim.port()) + "/program/program.htm";
  struct Case {
    const char* password;
    std::string verdict;
  } cases[] = {{"recorder", "接続成功"},
               {"wrong", "接続失敗\nユーザーIDかパスワードが違います (Basic認証): " + url}};
  for (const Case& c : cases) {
    Host host;
    host.password = c.password;
    PageDownloader downloader(env_, host);
    View view;
    view.file_exists = [&] { return env_.FileExists(test_file); };
    RunConnectionTest(env_, downloader, view, " 127.0.0.1 ", std::to_string(sim.port()));
    EXPECT_EQ(view.events, (std::vector<std::string>{"off", c.verdict, "on"})) << c.password;
    EXPECT_EQ(view.test_file_during_message, c.verdict == "接続成功");
    EXPECT_FALSE(env_.FileExists(test_file));
  }
}

TEST_F(RecorderPagesTest, PageThatCannotBeSavedOrReplacedFailsFetchAndTest) {
  const struct {
    const char* name;
    bool temp_folder_missing;
    bool left_over_stays;
    std::size_t requests;  // per fetch or test
    std::string reason;    // of the fetch; the test's names test.html instead
  } cases[] = {
      {"temp folder missing", true, false, 1,
       "ページを保存できません: " + dir_.File("missing/rdprogram.html") +
           " (フォルダがありません)"},
      {"left-over page cannot be deleted", false, true, 0,
       "古いページを削除できません: " + dir_.File("rdprogram.html")},
  };
  for (const auto& c : cases) {
    RecorderSim sim;
    ASSERT_TRUE(sim.started());
    env_.set_temp_folder(dir_.File(c.temp_folder_missing ? "missing/" : ""));
    env_.refuse_deletes = c.left_over_stays;
    if (c.left_over_stays) {
      WriteBytes(ReservationPageFile(env_), "an earlier page");
      WriteBytes(ConnectionTestFile(env_), "an earlier page");
    }
    Status why;
    EXPECT_FALSE(
        FetchReservationPage(env_, downloader_, "127.0.0.1", std::to_string(sim.port()), &why))
        << c.name;
    EXPECT_EQ(why.message(), c.reason) << c.name;
    View view;
    view.file_exists = [] { return false; };
    RunConnectionTest(env_, downloader_, view, "127.0.0.1", std::to_string(sim.port()));
    std::string test_reason = c.reason;
    test_reason.replace(test_reason.find("rdprogram.html"), 14, "test.html");
    EXPECT_EQ(view.events, (std::vector<std::string>{"off", "接続失敗\n" + test_reason, "on"}))
        << c.name;
    EXPECT_EQ(sim.Requests().size(), 2 * c.requests) << c.name;
    env_.refuse_deletes = false;
  }
}

TEST_F(RecorderPagesTest, ConnectionTestEnablesButtonAgainAfterAnError) {
  RecorderSim sim;
  ASSERT_TRUE(sim.started());
  env_.fail_writes = true;
  View view;
  view.file_exists = [] { return false; };
  EXPECT_THROW(RunConnectionTest(env_, downloader_, view, "127.0.0.1", std::to_string(sim.port())),
               std::runtime_error);
  EXPECT_EQ(view.events, (std::vector<std::string>{"off", "on"}));
}

}  // namespace
}  // namespace tavelin
