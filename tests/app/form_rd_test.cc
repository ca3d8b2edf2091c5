#include "app/form_rd.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/settings.h"
#include "channels/channel_table.h"
#include "platform/notices.h"
#include "platform/path.h"
#include "platform/profile_ini.h"
#include "support/test_env.h"
#include "ui/headless/headless_backend.h"

namespace tavelin {
namespace {

class ShellRecordingEnv : public FakeEnv {
 public:
  using FakeEnv::FakeEnv;
  void ShellOpen(const std::string& target, const std::string& parameters,
                 const std::string& folder) override {
    opened.push_back(target + "|" + parameters + "|" + folder);
  }
  // A steady clock that moves only when a test moves it, once set.
  uint64_t NowMicros() override { return micros ? *micros : FakeEnv::NowMicros(); }
  void SetFileWaitHook(std::function<void()> hook) override { file_wait = std::move(hook); }
  // With a note, the system's temp folder is the one replaced: no variable names another.
  std::string TempFolderNote() override { return temp_note; }
  bool GetEnvironment(const std::string& name, std::string* value) override {
    return !(HidesTempVariable(name)) && FakeEnv::GetEnvironment(name, value);
  }
  bool EnvironmentIsSet(const std::string& name) override {
    return !(HidesTempVariable(name)) && FakeEnv::EnvironmentIsSet(name);
  }
  bool HidesTempVariable(const std::string& name) const {
    return !temp_note.empty() &&
           (name == "temp" || name == "TEMP" || name == "TMP" || name == "TMPDIR");
  }
  std::vector<std::string> opened;
  std::optional<uint64_t> micros;
  std::function<void()> file_wait;
  std::string temp_note;
};

class FormRDTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env_.ForceFolders(root_).ok());
    ASSERT_TRUE(env_.RegistryWriteString(kRootPathKey, "RootPath", dir_.File("root")).ok());
    backend_.set_echo(false);
  }

  TFormRD& Make(std::vector<std::string> parameters) {
    form_ = std::make_unique<TFormRD>(env_, backend_, std::move(parameters));
    return *form_;
  }
  // Runs the window to its end and destroys it, which writes the log's end line.
  bool RunAndDestroy() {
    const bool closed = backend_.RunMessageLoop(*form_);
    form_.reset();
    return closed;
  }

  // The log's lines between its start header and end line.
  std::vector<std::string> LogBody() {
    std::vector<std::string> lines;
    const std::string log = ReadBytes(root_ + "qdr.log");
    size_t start = 0;
    while (start < log.size()) {
      size_t end = log.find("\r\n", start);
      if (end == std::string::npos) end = log.size();
      lines.push_back(log.substr(start, end - start));
      start = end + 2;
    }
    std::vector<std::string> body;
    for (const std::string& line : lines) {
      if (line.rfind("--- START ---", 0) == 0 || line.rfind("Version ", 0) == 0 ||
          line.rfind("--- END ---", 0) == 0) {
        continue;
      }
      body.push_back(line);
    }
    return body;
  }
  std::string Error(const std::string& message) { return "qdr.log: " + message + " (C.ERROR)"; }
  void HostSetup(const std::string& key, const std::string& value) {
    ASSERT_TRUE(WriteProfileString(env_, root_ + "qdr.ini", "TSetup", key, value).ok());
  }

  TempDir dir_;
  ShellRecordingEnv env_{dir_};
  std::string root_ = IncludeTrailingDelimiter(dir_.File("root"));
  std::string out_ = dir_.File("out/RD1");
  ui::HeadlessBackend backend_{env_};
  std::unique_ptr<TFormRD> form_;
};

TEST_F(FormRDTest, CreationSetsTheDesignValuesAndStates) {
  TFormRD& form = Make({out_, "/c"});
  EXPECT_EQ(form.RDH1_IP.text(), kDefaultRecorderName);
  EXPECT_EQ(form.RDH1_Port.text(), "80");
  EXPECT_EQ(form.RDH1_PW.password_char(), '*');
  EXPECT_EQ(form.WRecSetting.item_index(), 0);
  EXPECT_EQ(form.WRecSetting.items().size(), 3u);
  EXPECT_FALSE(form.ButtonPlay.enabled());
  EXPECT_FALSE(form.ButtonPause.enabled());
  EXPECT_TRUE(form.ButtonStop.enabled());
  EXPECT_TRUE(form.ButtonCH.enabled());
  EXPECT_FALSE(form.Timer1.enabled());
  EXPECT_EQ(form.Timer1.interval_ms(), 20000);
  EXPECT_EQ(form.tab_order().size(), 13u);
  EXPECT_EQ(form.tab_order().front(), &form.RDH1_IP);
  EXPECT_EQ(form.CancelButton(), &form.ButtonStop);
  EXPECT_EQ(form.root_folder(), root_);
  EXPECT_EQ(form.TableTVChNo.FileName(), root_ + "qdrTVCHNo.csv");
  EXPECT_TRUE(form.LogFile1.Active());
}

TEST_F(FormRDTest, PictureButtonsCarryTheirGlyphs) {
  TFormRD& form = Make({out_, "/c"});
  EXPECT_EQ(form.ButtonHome.glyph(), ui::Glyph::kHome);
  EXPECT_EQ(form.ButtonAbout.glyph(), ui::Glyph::kInfo);
  EXPECT_EQ(form.ButtonPlay.glyph(), ui::Glyph::kPlay);
  EXPECT_EQ(form.ButtonStop.glyph(), ui::Glyph::kStop);
  EXPECT_EQ(form.ButtonPause.glyph(), ui::Glyph::kPause);
  EXPECT_EQ(form.ButtonCH.glyph(), ui::Glyph::kChannels);
  EXPECT_EQ(form.Button1.glyph(), ui::Glyph::kNone) << "the connection test is a plain button";
}

TEST_F(FormRDTest, NoParameterShowsTheMessageAndSavesNoSettings) {
  Make({});
  EXPECT_TRUE(RunAndDestroy());
  ASSERT_EQ(backend_.messages().size(), 1u);
  EXPECT_EQ(backend_.messages()[0].text, "Qadrelのから「設定」ボタンで動かしてくださ.");
  EXPECT_EQ(backend_.messages()[0].title, "Tavelin");
  EXPECT_TRUE(LogBody().empty());
  EXPECT_FALSE(env_.FileExists(root_ + "nubra.ini"));
  EXPECT_NE(ReadBytes(root_ + "qdr.log").find("--- END ---"), std::string::npos);
}

TEST_F(FormRDTest, FailedDownloadWithoutTracingWritesOneErrorLine) {
  TFormRD& form = Make({out_});
  form.reservation_fetch = [](SavedPage*, Status*) { return false; };
  int parses = 0;
  form.parse_step = [&](const SavedPage&) { ++parses; };
  EXPECT_TRUE(RunAndDestroy());
  EXPECT_EQ(parses, 0);
  EXPECT_EQ(LogBody(), (std::vector<std::string>{"Tavelin", Error("予約一覧のダウンロード失敗")}));
  EXPECT_TRUE(env_.FolderExists(out_ + "/"));
  EXPECT_NE(ReadBytes(root_ + "nubra.ini").find("[RD1]"), std::string::npos);
}

TEST_F(FormRDTest, FailedDownloadsReasonFollowsTheHostsLine) {
  TFormRD& form = Make({out_});
  form.reservation_fetch = [](SavedPage*, Status* why) {
    *why = Status(Status::Kind::kRefused, "接続を拒否されました: rd:80 (x)");
    return false;
  };
  EXPECT_TRUE(RunAndDestroy());
  EXPECT_EQ(LogBody(), (std::vector<std::string>{"Tavelin", Error("予約一覧のダウンロード失敗"),
                                                 Error("接続を拒否されました: rd:80 (x)")}));
}

TEST_F(FormRDTest, NoticesFromBeforeTheWindowAndDuringItReachTheLog) {
  ResetNotices();
  PostNotice("起動時のお知らせ");
  PostNotice("起動時のお知らせ");  // told once
  TFormRD& form = Make({out_});
  form.reservation_fetch = [](SavedPage*, Status*) {
    PostNotice("取得中のお知らせ");
    return false;
  };
  EXPECT_TRUE(RunAndDestroy());
  PostNotice("窓のあとのお知らせ");  // kept for a later log, not written into a closed one
  EXPECT_EQ(LogBody(), (std::vector<std::string>{Error("起動時のお知らせ"), "Tavelin",
                                                 Error("取得中のお知らせ"),
                                                 Error("予約一覧のダウンロード失敗")}));
  ResetNotices();
}

TEST_F(FormRDTest, SuccessfulRunTracesItsPhasesAndRestoresTheButtons) {
  HostSetup("Debug_Checked", "True");
  TFormRD& form = Make({out_});
  std::vector<std::string> seen;
  form.reservation_fetch = [&](SavedPage*, Status*) {
    seen.push_back(form.Label1.text());
    EXPECT_TRUE(form.Timer1.enabled());
    EXPECT_TRUE(form.ButtonPause.enabled());
    EXPECT_FALSE(form.ButtonCH.enabled());
    EXPECT_FALSE(form.RDH1_IP.enabled());
    return true;
  };
  form.parse_step = [&](const SavedPage&) {
    seen.push_back(form.Label1.text());
    EXPECT_EQ(form.ProgressBar1.position(), 50);
    EXPECT_FALSE(form.Timer1.enabled());
  };
  EXPECT_TRUE(backend_.RunMessageLoop(form));
  EXPECT_EQ(seen, (std::vector<std::string>{"予約一覧をダウンロード中", "解析中"}));
  EXPECT_EQ(form.ProgressBar1.position(), 100);
  EXPECT_EQ(form.Label1.text(), "終了処理中");
  EXPECT_FALSE(form.ButtonPlay.enabled());
  EXPECT_FALSE(form.ButtonPause.enabled());
  EXPECT_FALSE(form.ButtonStop.enabled());
  EXPECT_TRUE(form.ButtonCH.enabled());
  form_.reset();
  EXPECT_EQ(LogBody(), (std::vector<std::string>{"Tavelin", "予約一覧をダウンロード中...",
                                                 "解析中...", "終了処理中..."}));
}

// A parser stand-in: handles `count` elements, yielding after each, ending at a stop.
std::function<void(const SavedPage&)> CountingParse(TFormRD& form, int count,
                                                    std::vector<int>* processed) {
  return [&form, count, processed](const SavedPage&) {
    for (int i = 0; i < count && !form.stop_requested(); ++i) {
      processed->push_back(i);
      form.Yield();
    }
  };
}

TEST_F(FormRDTest, PauseThenResumeHoldsTheWorkAndLosesNothing) {
  TFormRD& form = Make({out_});
  form.reservation_fetch = [](SavedPage*, Status*) { return true; };
  std::vector<int> processed;
  form.parse_step = CountingParse(form, 10, &processed);
  size_t held_at = 0;
  bool play_enabled_while_paused = false;
  backend_.QueueClick(form.ButtonPause, 3);
  backend_.QueueInput(7, [&] {
    held_at = processed.size();
    play_enabled_while_paused = form.ButtonPlay.enabled() && !form.ButtonPause.enabled();
  });
  backend_.QueueClick(form.ButtonPlay, 8);
  const int sleeps_before = env_.sleep_calls();
  EXPECT_TRUE(RunAndDestroy());
  EXPECT_EQ(held_at, 3u);
  EXPECT_TRUE(play_enabled_while_paused);
  EXPECT_EQ(processed, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_GT(env_.sleep_calls() - sleeps_before, 10);
  EXPECT_EQ(LogBody(), (std::vector<std::string>{"Tavelin"}));
}

TEST_F(FormRDTest, PauseThenStopEndsTheWaitAndTheParser) {
  TFormRD& form = Make({out_});
  form.reservation_fetch = [](SavedPage*, Status*) { return true; };
  std::vector<int> processed;
  form.parse_step = CountingParse(form, 10, &processed);
  backend_.QueueClick(form.ButtonPause, 3);
  backend_.QueueClick(form.ButtonStop, 5);
  EXPECT_TRUE(backend_.RunMessageLoop(form));
  EXPECT_EQ(processed, (std::vector<int>{0, 1, 2}));
  EXPECT_TRUE(form.stop_requested());
  EXPECT_TRUE(form.closed());
  EXPECT_FALSE(form.ButtonPause.enabled());
  EXPECT_FALSE(form.ButtonPlay.enabled());
  EXPECT_EQ(form.ProgressBar1.position(), 100);
  form_.reset();
  EXPECT_EQ(LogBody(), (std::vector<std::string>{"Tavelin", "停止ボタン押下"}));
  EXPECT_NE(ReadBytes(root_ + "nubra.ini").find("[RD1]"), std::string::npos);
}

TEST_F(FormRDTest, StopDuringCleaningSkipsTheParseStep) {
  ASSERT_TRUE(env_.ForceFolders(out_).ok());
  WriteBytes(out_ + "/200612310000a.tvpi", "x");
  WriteBytes(out_ + "/200612310000b.tvpi", "y");
  TFormRD& form = Make({out_});
  form.reservation_fetch = [](SavedPage*, Status*) { return true; };
  int parses = 0;
  form.parse_step = [&](const SavedPage&) { ++parses; };
  backend_.QueueClick(form.ButtonStop, 1);  // the yield after the first deleted file
  EXPECT_TRUE(backend_.RunMessageLoop(form));
  EXPECT_EQ(parses, 0);
  EXPECT_EQ(form.ProgressBar1.position(), 100);
  std::vector<std::string> left;
  ASSERT_TRUE(env_.ListFiles(out_ + "/", ".tvpi", &left).ok());
  EXPECT_EQ(left.size(), 1u);
}

TEST_F(FormRDTest, ChannelTableThatCannotBeReadKeepsTheOldProgramFiles) {
  for (const char* table : {kTableTVChNoFile, kTableTVChDataFile}) {
    ASSERT_TRUE(env_.ForceFolders(out_).ok());
    WriteBytes(out_ + "/200612310000a.tvpi", "kept");
    WriteBytes(root_ + table, "\"TVChannel\",\"TVChannelNo\",\"TVURL\",\r\n");
    // Another program holds the table open for writing.
    std::unique_ptr<WritableFile> holder = OpenForWriting(env_, root_ + table, true);
    ASSERT_NE(holder, nullptr);
    TFormRD& form = Make({out_});
    form.reservation_fetch = [](SavedPage*, Status*) { return true; };
    int parses = 0;
    form.parse_step = [&](const SavedPage&) { ++parses; };
    EXPECT_TRUE(backend_.RunMessageLoop(form));
    EXPECT_EQ(parses, 0) << table;
    EXPECT_FALSE(form.TableTVChNo.Active());
    EXPECT_FALSE(form.TableTVChData.Active());
    form_.reset();
    EXPECT_EQ(ReadBytes(out_ + "/200612310000a.tvpi"), "kept") << table;
    const std::vector<std::string> log = LogBody();
    EXPECT_EQ(log.back(), Error("ファイル " + root_ + table + " は開けません")) << Utf8(log.back());
    holder.reset();
    env_.DeleteFile(root_ + table);
    env_.DeleteFile(root_ + "qdr.log");
  }
}

TEST_F(FormRDTest, WatchdogWithTracingLogsTwoAbortLinesAndCloses) {
  HostSetup("Debug_Checked", "True");
  TFormRD& form = Make({out_});
  form.reservation_fetch = [&](SavedPage*, Status*) {
    // A slow page: the clock passes the watchdog's 20 s, then something yields.
    env_.SleepMs(25000);
    form.Yield();
    EXPECT_TRUE(form.closed());
    EXPECT_TRUE(form.stop_requested());
    return false;
  };
  EXPECT_TRUE(RunAndDestroy());
  EXPECT_EQ(LogBody(),
            (std::vector<std::string>{"Tavelin", "予約一覧をダウンロード中...", Error("アボート"),
                                      Error("アボート"), Error("予約一覧のダウンロード失敗"),
                                      "終了処理中..."}));
}

TEST_F(FormRDTest, YieldPumpsWhenInputWaitsOrAMillisecondHasPassed) {
  TFormRD& form = Make({out_, "/c"});
  env_.micros = 5000000;
  const struct {
    uint64_t advance_us;
    bool queue_input;
    bool pumps;
  } steps[] = {
      {0, false, true},  // the first yield
      {0, false, false},  {999, false, false},
      {1, false, true},   {10, true, true},  // queued input is handled at once
      {10, false, false},
  };
  for (const auto& step : steps) {
    *env_.micros += step.advance_us;
    if (step.queue_input) backend_.QueueInput(1, [] {});
    const long calls = backend_.process_calls();
    const int sleeps = env_.sleep_calls();
    form.Yield();
    EXPECT_EQ(backend_.process_calls() - calls, step.pumps ? 1 : 0) << *env_.micros;
    EXPECT_EQ(env_.sleep_calls() - sleeps, step.pumps ? 1 : 0) << *env_.micros;
  }
}

TEST_F(FormRDTest, WatchdogIsOffOnceThePageHasArrived) {
  TFormRD& form = Make({out_});
  form.reservation_fetch = [](SavedPage*, Status*) { return true; };
  std::vector<int> processed;
  form.parse_step = [&](const SavedPage&) {
    env_.SleepMs(60000);
    CountingParse(form, 3, &processed)(SavedPage{});
  };
  EXPECT_TRUE(RunAndDestroy());
  EXPECT_EQ(processed.size(), 3u);
  EXPECT_EQ(LogBody(), (std::vector<std::string>{"Tavelin"}));
}

TEST_F(FormRDTest, HandlerExceptionIsLoggedAndTheProgramGoesOn) {
  TFormRD& form = Make({out_, "/c"});
  form.channel_retrieval = [] { throw std::runtime_error("ファイル x は開けません"); };
  backend_.QueueClick(form.ButtonCH, 1);
  backend_.QueueInput(2, [&] { form.RDH1_Port.SetText("8080"); });
  backend_.QueueCloseRequest(form, 3);
  EXPECT_TRUE(RunAndDestroy());
  EXPECT_EQ(LogBody(), (std::vector<std::string>{"Tavelin", Error("ファイル x は開けません")}));
  EXPECT_EQ(ReadProfileString(env_, root_ + "nubra.ini", "RD1", "RDH1_Port_Text", ""), "8080");
}

TEST_F(FormRDTest, ExceptionInTheRunStillRestoresButtonsAndCloses) {
  TFormRD& form = Make({out_});
  form.reservation_fetch = [](SavedPage*, Status*) { return true; };
  form.parse_step = [](const SavedPage&) { throw std::runtime_error("parse broke"); };
  EXPECT_TRUE(backend_.RunMessageLoop(form));
  EXPECT_TRUE(form.closed());
  EXPECT_TRUE(form.ButtonCH.enabled());
  EXPECT_FALSE(form.ButtonPause.enabled());
  form_.reset();
  EXPECT_EQ(LogBody(), (std::vector<std::string>{"Tavelin", Error("parse broke")}));
}

TEST_F(FormRDTest, OutputFolderThatCannotBeCreatedIsLogged) {
  WriteBytes(dir_.File("blocker"), "a file where a folder should be");
  Make({dir_.File("blocker/RD1")});
  int fetches = 0;
  form_->reservation_fetch = [&](SavedPage*, Status*) { return ++fetches > 0; };
  EXPECT_TRUE(RunAndDestroy());
  EXPECT_EQ(fetches, 0);
  EXPECT_EQ(LogBody(), (std::vector<std::string>{
                           "Tavelin", Error(IncludeTrailingDelimiter(dir_.File("blocker/RD1")) +
                                            "がないので予約状況をを保存できません.")}));
}

TEST_F(FormRDTest, RecorderTextsPreferTheDeckSectionThenTheHostIni) {
  ASSERT_TRUE(
      WriteProfileString(env_, root_ + "qdr.ini", "TFormRD", "RDH1_IP_Text", "host-ip").ok());
  ASSERT_TRUE(WriteProfileString(env_, root_ + "nubra.ini", "RD1", "RDH1_IP_Text", "deck-ip").ok());
  struct Case {
    std::string folder;
    std::string address;
  } cases[] = {{dir_.File("out/RD2"), "host-ip"},
               {dir_.File("out/RD1/"), "deck-ip"},
               // Closing stored the last texts in the host INI, shared by every deck.
               {dir_.File("out/RD3"), "deck-ip"}};
  for (const Case& c : cases) {
    TFormRD& form = Make({c.folder, "x"});
    backend_.QueueCloseRequest(form, 1);
    EXPECT_TRUE(backend_.RunMessageLoop(form));
    EXPECT_EQ(form.RDH1_IP.text(), c.address) << c.folder;
    EXPECT_EQ(form.mode(), RunMode::kSettings);
    form_.reset();
  }
  std::string norm;
  EXPECT_TRUE(env_.RegistryReadString("software\\Morvik\\Qadrel2\\TFormRD", "NormPos", &norm));
}

// While the system layer waits for a file another program holds, the settings window keeps
// processing its messages; never once it closes (nor in fetch mode, or after destruction).
TEST_F(FormRDTest, FileWaitsPumpTheSettingsWindowUntilItClosesAndTheTempNoteIsLogged) {
  env_.temp_note = "一時フォルダの名前はShift-JISで書けないので ...";
  TFormRD& form = Make({out_, "/c"});
  long pumped_in_wait = -1;
  backend_.QueueInput(1, [&] {
    ASSERT_TRUE(env_.file_wait);
    env_.micros = 1000000;
    const long calls = backend_.process_calls();
    env_.file_wait();
    pumped_in_wait = backend_.process_calls() - calls;
  });
  backend_.QueueCloseRequest(form, 2);
  EXPECT_TRUE(backend_.RunMessageLoop(form));
  EXPECT_EQ(pumped_in_wait, 1);
  EXPECT_FALSE(env_.file_wait);
  form_.reset();
  EXPECT_EQ(LogBody(), (std::vector<std::string>{"Tavelin", env_.temp_note}));

  Make({out_});
  EXPECT_TRUE(RunAndDestroy());
  EXPECT_FALSE(env_.file_wait);
}

TEST_F(FormRDTest, RegistryPlacementWinsOverTheHostIni) {
  ASSERT_TRUE(
      WriteProfileString(env_, root_ + "qdr.ini", "TFormRD", "NormPos", "10,20,455,203").ok());
  Make({out_, "x"});
  EXPECT_EQ(form_->placement().left, 10);
  ASSERT_TRUE(
      env_.RegistryWriteString("software\\Morvik\\Qadrel2\\TFormRD", "NormPos", "30,40,475,223")
          .ok());
  backend_.QueueCloseRequest(*form_, 1);
  EXPECT_TRUE(backend_.RunMessageLoop(*form_));
  EXPECT_EQ(form_->placement().left, 30);
  EXPECT_EQ(form_->placement().top, 40);
  form_.reset();
  EXPECT_EQ(ReadProfileString(env_, root_ + "qdr.ini", "TFormRD", "NormPos", ""), "30,40,475,223");
}

TEST_F(FormRDTest, PlacementFromAnotherResolutionKeepsTheWindowsOwnSize) {
  const std::string key = "software\\Morvik\\Qadrel2\\TFormRD";
  ASSERT_TRUE(env_.RegistryWriteString(key, "NormPos", "10,20,455,203").ok());  // saved at 96 dpi
  ASSERT_TRUE(env_.RegistryWriteString(key, "PixelsPerInch", "96").ok());
  Make({out_, "x"});
  // The backend lays the window out at 144 dpi and reports its size on that screen.
  form_->SetPixelsPerInch(144);
  form_->SetPlacement(ui::Rect{form_->placement().left, form_->placement().top, 668, 275});
  backend_.QueueCloseRequest(*form_, 1);
  EXPECT_TRUE(backend_.RunMessageLoop(*form_));  // showing restores the registry's again
  EXPECT_EQ(form_->placement().left, 10);
  EXPECT_EQ(form_->placement().top, 20);
  EXPECT_EQ(form_->placement().width, 668);
  form_.reset();
  std::string norm;
  std::string ppi;
  EXPECT_TRUE(env_.RegistryReadString(key, "NormPos", &norm));
  EXPECT_TRUE(env_.RegistryReadString(key, "PixelsPerInch", &ppi));
  EXPECT_EQ(norm, "10,20,678,295");
  EXPECT_EQ(ppi, "144");
  EXPECT_EQ(ReadProfileString(env_, root_ + "qdr.ini", "TFormRD", "PixelsPerInch", ""), "144");
}

TEST_F(FormRDTest, DeckNamesTheIniCannotHoldAreReportedNotMisfiled) {
  // "]" would end the section header early: the settings would land under another deck.
  TFormRD& form = Make({dir_.File("out/RD]1"), "x"});
  EXPECT_EQ(form.deck_name(), "");  // set at activation
  backend_.QueueCloseRequest(form, 1);
  EXPECT_TRUE(RunAndDestroy());
  EXPECT_EQ(ReadBytes(root_ + "nubra.ini").find("[RD"), std::string::npos);
  EXPECT_EQ(LogBody(),
            (std::vector<std::string>{"Tavelin", Error("nubra.iniに設定を保存できません")}));
}

TEST_F(FormRDTest, HomeButtonOpensTheRecorderAddress) {
  TFormRD& form = Make({out_, "x"});
  form.RDH1_IP.SetText("recorder");
  form.RDH1_Port.SetText(" 80 ");
  form.ButtonHome.Click();
  form.RDH1_IP.SetText("http://10.0.0.2");
  form.ButtonHome.Click();
  EXPECT_EQ(env_.opened, (std::vector<std::string>{"http://recorder:80||http://recorder:",
                                                   "http://10.0.0.2:80||http://10.0.0.2:"}));
}

TEST_F(FormRDTest, AboutButtonShowsOneAboutWindow) {
  TFormRD& form = Make({out_, "x"});
  EXPECT_EQ(form.AboutForm.form(), nullptr);
  form.ButtonAbout.Click();
  TAboutForm* about = form.AboutForm.form();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->visible());
  about->BtnCancel.Click();
  EXPECT_FALSE(about->visible());
  form.ButtonAbout.Click();
  EXPECT_EQ(form.AboutForm.form(), about);
  EXPECT_TRUE(about->visible());
}

TEST_F(FormRDTest, StoredPasswordOfAnotherComputerSurvivesARun) {
  const std::string foreign = ScramblePassword("secret", std::string(32, 'F'));
  ASSERT_TRUE(WriteProfileString(env_, root_ + "nubra.ini", "RD1", "RDH1_PW_Text", foreign).ok());
  TFormRD& form = Make({out_, "x"});
  backend_.QueueCloseRequest(form, 1);
  EXPECT_TRUE(RunAndDestroy());
  EXPECT_EQ(ReadProfileString(env_, root_ + "nubra.ini", "RD1", "RDH1_PW_Text", ""), foreign);
}

}  // namespace
}  // namespace tavelin
