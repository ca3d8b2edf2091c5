// How the built program starts and ends when the host starts it the wrong way, twice at
// once, or in settings mode on a machine without a display.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "e2e/host_world.h"
#include "support/recorder_sim.h"

namespace tavelin::testing {
namespace {

class ProcessStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(world_.RootFile("qdr.log"), "");
    WriteBytes(world_.RootFile("qdr.ini"), "[TSetup]\r\n");
  }

  std::vector<std::string> LogLines() { return CrLfLines(ReadBytes(world_.RootFile("qdr.log"))); }

  HostWorld world_;
};

TEST_F(ProcessStartTest, WithoutParametersItSaysHowToStartItAndSavesNothing) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, std::vector<std::string>{"  "},
        // A folder name that is no UTF-8 has no Shift-JIS form: as good as none.
        std::vector<std::string>{"/tmp/\xff\xfe"}}) {
    const RunResult run = world_.Run(arguments);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_NE(run.err.find(Utf8("Qadrelのから「設定」ボタンで動かしてくださ.")), std::string::npos)
        << run.err;
    EXPECT_EQ(run.out, "");
    // The one that did not convert is named (under Wine the bytes never reach the program).
    EXPECT_EQ(
        run.err.find("parameter 1 (/tmp/\xff\xfe) has no Shift-JIS form") != std::string::npos,
        WindowsBuild().empty() && arguments.size() == 1 && arguments[0][0] == '/')
        << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(world_.RootFile("nubra.ini")));
  // Three runs: header and end line each, and no "Tavelin" line; the parameter that did not
  // convert is named in the log too, where a Windows user can read it.
  const std::vector<std::string> lines = LogLines();
  const bool unconverted = WindowsBuild().empty();
  ASSERT_EQ(lines.size(), unconverted ? 10u : 9u);
  if (unconverted) {
    EXPECT_EQ(Utf8(lines[8]),
              Utf8("qdr.log: 引数 1 はShift-JISで表せないので空として扱います (C.ERROR)"));
  }
  for (const std::string& line : lines) EXPECT_NE(line, "Tavelin");
  EXPECT_EQ(lines[0].rfind("--- START ---\t", 0), 0u);
  EXPECT_EQ(lines[2].rfind("--- END ---\t", 0), 0u);
}

TEST_F(ProcessStartTest, AStandardErrorNobodyReadsDoesNotEndIt) {
  PluginProcess process;
  process.BreakStandardError();
  ASSERT_TRUE(world_.Start(&process, {}));  // says how to start it, on standard error
  const RunResult run = world_.Finish(&process);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(LogLines().back().rfind("--- END ---\t", 0), 0u);
}

TEST_F(ProcessStartTest, ASecondCopyEndsSilentlyWhileTheFirstRuns) {
  // The recorder holds its reply back, so the first copy is busy fetching for seconds.
  RecorderSim recorder({"--stall", "4"});
  ASSERT_TRUE(recorder.started());
  DeckSettings deck;
  deck.port = std::to_string(recorder.port());
  const std::string nubra = HostWorld::NubraSection("RD1", deck);
  WriteBytes(world_.RootFile("nubra.ini"), nubra);
  const std::string output = world_.OutputFolder("RD1");

  PluginProcess first;
  ASSERT_TRUE(world_.Start(&first, {output}));
  // Once the recorder has the request, the first copy holds the lock.
  for (int waits = 0; recorder.Requests().empty() && waits < 500; ++waits) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(recorder.Requests().size(), 1u);
  const std::string log_while_running = ReadBytes(world_.RootFile("qdr.log"));

  // A cron job whose session folder is gone (logged out) meets the same lock.
  const std::vector<std::string> no_session = {"XDG_RUNTIME_DIR=" + world_.runtime() + "gone"};
  const RunResult second = world_.Run({world_.OutputFolder("RD2")}, no_session);
  ASSERT_TRUE(second.finished);
  EXPECT_EQ(second.exit_code, 0);
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.err, "");
  EXPECT_EQ(ReadBytes(world_.RootFile("qdr.log")), log_while_running);
  EXPECT_FALSE(std::filesystem::exists(world_.OutputFolder("RD2")));
  EXPECT_EQ(recorder.Requests().size(), 1u);

  const RunResult done = world_.Finish(&first);
  ASSERT_TRUE(done.finished);
  EXPECT_EQ(done.exit_code, 0);
  EXPECT_EQ(LogLines().back().rfind("--- END ---\t", 0), 0u);
  // The first copy's lock ends with it: the next start runs normally.
  const RunResult third = world_.Run({output}, no_session);
  EXPECT_EQ(third.exit_code, 0);
  EXPECT_EQ(recorder.Requests().size(), 2u);
}

TEST_F(ProcessStartTest, SettingsModeWithoutADisplaySaysSoAndEnds) {
  RecorderSim recorder;
  ASSERT_TRUE(recorder.started());
  DeckSettings deck;
  deck.address = "rd-desk.local";
  deck.port = std::to_string(recorder.port());
  deck.user_id = "rd";
  deck.password = "pw";
  deck.dual_recording = 2;
  const std::string nubra = HostWorld::NubraSection("RD1", deck);
  WriteBytes(world_.RootFile("nubra.ini"), nubra);
  const std::string output = world_.OutputFolder("RD1");

  // The way the host starts it, and two parameters of any kind.
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{output, "/c"}, std::vector<std::string>{output, "x"},
        std::vector<std::string>{output, " /C ", "third"}}) {
    const RunResult run = world_.Run(arguments, {"DISPLAY="});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_NE(run.err.find("display"), std::string::npos) << run.err;
  }
  // Nothing was fetched, no output folder made, and the settings were saved unchanged.
  EXPECT_TRUE(recorder.Requests().empty());
  EXPECT_FALSE(std::filesystem::exists(output));
  EXPECT_EQ(Utf8(ReadBytes(world_.RootFile("nubra.ini"))), Utf8(nubra));
  // Each run says in the log why it ended, after its "Tavelin" line.
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 3u * 5u);
  EXPECT_EQ(lines[2], "Tavelin");
  EXPECT_EQ(Utf8(lines[3]),
            Utf8("qdr.log: 設定画面を出すデスクトップがないので終わります (C.ERROR)"));
}

}  // namespace
}  // namespace tavelin::testing
