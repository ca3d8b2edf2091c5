// The window's fetch run against the simulated recorder, with the real download, parse step
// and output step: pausing and resuming must leave exactly the files an undisturbed run
// leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/form_rd.h"
#include "app/settings.h"
#include "platform/posix/posix_env.h"
#include "platform/profile_ini.h"
#include "support/recorder_sim.h"
#include "support/test_env.h"
#include "ui/headless/headless_backend.h"

namespace tavelin {
namespace {

class FetchRunTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    sim_ = std::make_unique<RecorderSim>(std::vector<std::string>{"--layout", GetParam()});
    ASSERT_TRUE(sim_->started());
    ASSERT_TRUE(env_.ForceFolders(root_).ok());
    ASSERT_TRUE(env_.ForceFolders(dir_.File("temp")).ok());
    env_.set_temp_folder(dir_.File("temp/"));
    ASSERT_TRUE(env_.RegistryWriteString(kRootPathKey, "RootPath", root_).ok());
    ASSERT_TRUE(
        WriteProfileString(env_, root_ + "nubra.ini", "RD1", "RDH1_IP_Text", "127.0.0.1").ok());
    ASSERT_TRUE(WriteProfileString(env_, root_ + "nubra.ini", "RD1", "RDH1_Port_Text",
                                   std::to_string(sim_->port()))
                    .ok());
  }

  // One fetch-mode run; `script` may queue input. Returns the program files left.
  std::vector<std::string> Fetch(
      const std::function<void(ui::HeadlessBackend&, TFormRD&)>& script) {
    ui::HeadlessBackend backend(env_);
    backend.set_echo(false);
    {
      TFormRD form(env_, backend, {out_});
      if (script) script(backend, form);
      EXPECT_TRUE(backend.RunMessageLoop(form));
    }
    std::vector<std::string> files;
    env_.ListFiles(out_ + "/", ".tvpi", &files);
    std::sort(files.begin(), files.end());
    return files;
  }

  TempDir dir_;
  // Today's clock: the simulator dates its reservations from the real date.
  FakeEnv env_{dir_, NewPosixEnv()->Now()};
  std::string root_ = dir_.File("root/");
  std::string out_ = dir_.File("out/RD1");
  std::unique_ptr<RecorderSim> sim_;
};

TEST_P(FetchRunTest, PauseAndResumeLeaveTheSameFilesAsAnUndisturbedRun) {
  const std::vector<std::string> plain = Fetch(nullptr);
  ASSERT_FALSE(plain.empty()) << ReadBytes(root_ + "qdr.log");
  std::vector<std::string> contents;
  for (const std::string& f : plain) contents.push_back(ReadBytes(out_ + "/" + f));

  for (int pause_at : {1, 2, 5, 9}) {
    const std::vector<std::string> paused = Fetch([pause_at](ui::HeadlessBackend& b, TFormRD& f) {
      b.QueueClick(f.ButtonPause, pause_at);
      b.QueueClick(f.ButtonPlay, pause_at + 4);
    });
    EXPECT_EQ(paused, plain) << "pause at " << pause_at;
    for (size_t i = 0; i < plain.size() && i < paused.size(); ++i) {
      EXPECT_EQ(ReadBytes(out_ + "/" + paused[i]), contents[i]) << paused[i];
    }
  }
}

TEST_P(FetchRunTest, PauseThenStopLeavesOnlyFilesOfTheUndisturbedRun) {
  const std::vector<std::string> plain = Fetch(nullptr);
  const std::vector<std::string> stopped = Fetch([](ui::HeadlessBackend& b, TFormRD& f) {
    b.QueueClick(f.ButtonPause, 3);
    b.QueueClick(f.ButtonStop, 5);
  });
  EXPECT_LT(stopped.size(), plain.size());
  for (const std::string& f : stopped) {
    EXPECT_NE(std::find(plain.begin(), plain.end(), f), plain.end()) << f;
  }
  EXPECT_NE(ReadBytes(root_ + "qdr.log").find("停止ボタン押下"), std::string::npos);
}

TEST_P(FetchRunTest, SettingsModeButtonsReachTheRecorder) {
  ui::HeadlessBackend backend(env_);
  backend.set_echo(false);
  {
    TFormRD form(env_, backend, {out_, "/c"});
    bool test_button_disabled_after_test = false;
    // One user input after another, each running to its end before the next.
    backend.QueueInput(1, [&] {
      form.Button1.Click();
      form.ButtonCH.Click();
      form.RDH1_Port.SetText("1");  // nobody listens there
      form.Button1.Click();
      test_button_disabled_after_test = !form.Button1.enabled();
      form.Close();
    });
    EXPECT_TRUE(backend.RunMessageLoop(form));
    EXPECT_FALSE(test_button_disabled_after_test);
    EXPECT_TRUE(form.ButtonCH.enabled());
  }
  ASSERT_EQ(backend.messages().size(), 3u);
  EXPECT_EQ(backend.messages()[0].text, "接続成功");
  EXPECT_EQ(backend.messages()[0].title, "Tavelin");
  EXPECT_EQ(backend.messages()[1].text.rfind("CH情報取得", 0), 0u) << backend.messages()[1].text;
  // The verdict's second line says why.
  EXPECT_EQ(backend.messages()[2].text,
            "接続失敗\n接続を拒否されました: 127.0.0.1:1 (Connection refused)");
}

INSTANTIATE_TEST_SUITE_P(Layouts, FetchRunTest, ::testing::Values("table", "script"));

}  // namespace
}  // namespace tavelin
