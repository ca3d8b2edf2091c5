// The real window on a private X server: the built program is driven with xdotool the way a
// person would use it, against the recorder simulator.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e/fltk_xvfb.h"
#include "support/child_process.h"
#include "support/recorder_sim.h"
#include "support/test_env.h"

namespace tavelin::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kMainWindowName[] = "RDの録画予約データの取得中";
constexpr char kAboutWindowName[] = "バージョン情報";

// UTF-8 text of a source literal (literals are Shift-JIS in this program).
std::string U(const char* cp932) { return Utf8(cp932); }

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

Geometry WindowGeometry(const XvfbServer& x, const std::string& window) {
  Geometry g;
  const std::string shell = x.Run("xdotool getwindowgeometry --shell " + window);
  auto value = [&shell](const std::string& key) {
    const size_t at = shell.find(key + "=");
    return at == std::string::npos ? -1 : std::atoi(shell.c_str() + at + key.size() + 1);
  };
  g.x = value("X");
  g.y = value("Y");
  g.width = value("WIDTH");
  g.height = value("HEIGHT");
  return g;
}

// One run of the built program with its own home, root, temp and output folders.
class DesktopRun {
 public:
  DesktopRun(const XvfbServer& x, const TempDir& dir, const std::vector<std::string>& args) {
    if (!fs::exists(dir.File("home/.config/tavelin/registry.reg"))) {
      WriteBytes(dir.File("home/.config/tavelin/registry.reg"),
                 "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\software\\Morvik\\Qadrel2\\etc]\r\n"
                 "\"RootPath\"=\"" +
                     dir.File("root/") + "\"\r\n");
    }
    const std::string program = std::string(TAVELIN_BINARY_DIR) + "/src/tavelin";
    std::vector<std::string> argv_text = {program};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    process_.Start(
        argv_text,
        {.set_environment = {"DISPLAY=" + x.display(), "HOME=" + dir.File("home"),
                             "XDG_CONFIG_HOME=" + dir.File("home/.config"),
                             "XDG_RUNTIME_DIR=" + dir.File("run"), "temp=" + dir.File("temp")}});
  }

  // True when the program ended within `seconds`; `status` gets its exit code.
  bool WaitForExit(double seconds, int* status) {
    const std::optional<int> code =
        process_.WaitFor(std::chrono::milliseconds(static_cast<long>(seconds * 1000)));
    if (code) *status = *code;
    return code.has_value();
  }

 private:
  ChildProcess process_;
};

class FltkDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "xprop", "import", "convert"}) {
      if (!ProgramInstalled(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    if (!fs::exists(std::string(TAVELIN_BINARY_DIR) + "/src/tavelin")) {
      GTEST_SKIP() << "the program was built without a desktop window";
    }
    for (const char* folder : {"home/.config/tavelin", "root", "temp", "run"}) {
      fs::create_directories(dir_.File(folder));
    }
    x_ = std::make_unique<XvfbServer>();
    ASSERT_TRUE(x_->started()) << "Xvfb did not start";
  }

  // The settings of deck RD1 pointing at the simulator.
  void WriteDeckSettings(int port) {
    WriteBytes(dir_.File("root/nubra.ini"), "[RD1]\r\nRDH1_IP_Text=127.0.0.1\r\nRDH1_Port_Text=" +
                                                std::to_string(port) + "\r\n");
  }

  void Click(const Geometry& window, int x, int y) {
    x_->Run("xdotool mousemove --sync " + std::to_string(window.x + x) + " " +
            std::to_string(window.y + y) + " click 1");
  }

  // Hex colour ("RRGGBB") of one pixel of a screenshot.
  std::string PixelOf(const std::string& png, int x, int y) {
    return x_->Run("convert " + png + " -format '%[hex:p{" + std::to_string(x) + "," +
                   std::to_string(y) + "}]' info:");
  }

  void PressEscapeIn(const std::string& window) {
    x_->Run("xdotool windowfocus --sync " + window + " key Escape");
  }

  TempDir dir_;
  std::unique_ptr<XvfbServer> x_;
};

TEST_F(FltkDesktopTest, SettingsModeTestsTheConnectionShowsAboutAndSavesTheNewPort) {
  RecorderSim sim;
  ASSERT_TRUE(sim.started());
  WriteDeckSettings(sim.port());
  DesktopRun run(*x_, dir_, {dir_.File("out/RD1"), "/c"});

  const std::string main = x_->WaitForWindow(U(kMainWindowName));
  ASSERT_FALSE(main.empty()) << "the settings window did not appear";
  const Geometry g = WindowGeometry(*x_, main);
  EXPECT_EQ(g.width, 445);
  EXPECT_EQ(g.height, 183);

  // The screenshot shows the radio group's own background and the cut-off corners.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::string shot = dir_.File("settings.png");
  x_->Run("import -window root " + shot);
  ASSERT_TRUE(fs::exists(shot));
  EXPECT_EQ(PixelOf(shot, g.x + 420, g.y + 115), "F0FBFF") << "inside the W録 radio group";
  EXPECT_EQ(PixelOf(shot, g.x, g.y), "000000") << "a rounded corner lets the desktop through";
  EXPECT_NE(PixelOf(shot, g.x + 220, g.y + 40), "000000") << "the face is drawn";

  // Button1 runs the connection test: the modal box says so and Esc answers it.
  Click(g, 360 + 24, 68 + 12);
  const std::string box = x_->WaitForWindow("Tavelin");
  ASSERT_FALSE(box.empty()) << "no message box titled Tavelin";
  EXPECT_NE(x_->Run("xprop -id " + box + " _NET_WM_ICON_NAME").find(U("接続成功")),
            std::string::npos);
  bool asked = false;
  for (const std::string& request : sim.Requests()) {
    asked = asked || request.rfind("GET /program/program.htm ", 0) == 0;
  }
  EXPECT_TRUE(asked);
  const Geometry one_line = WindowGeometry(*x_, box);
  PressEscapeIn(box);
  EXPECT_TRUE(x_->WaitUntilGone("Tavelin"));

  // On a port nobody listens on the box says why on its second line, and grows for it.
  Click(g, 296 + 20, 48 + 10);
  x_->Run("xdotool key ctrl+a type 1");
  Click(g, 360 + 24, 68 + 12);
  const std::string failed = x_->WaitForWindow("Tavelin");
  ASSERT_FALSE(failed.empty()) << "no message box titled Tavelin";
  const std::string verdict = x_->Run("xprop -id " + failed + " _NET_WM_ICON_NAME");
  EXPECT_NE(verdict.find(U("接続失敗")), std::string::npos) << verdict;
  EXPECT_NE(verdict.find(U("接続を拒否されました: 127.0.0.1:1 (Connection refused)")),
            std::string::npos)
      << verdict;
  EXPECT_GT(WindowGeometry(*x_, failed).height, one_line.height);
  PressEscapeIn(failed);
  EXPECT_TRUE(x_->WaitUntilGone("Tavelin"));

  // ButtonAbout shows the About window, which Esc hides again.
  Click(g, 384 + 12, 42 + 12);
  const std::string about = x_->WaitForWindow(U(kAboutWindowName));
  ASSERT_FALSE(about.empty()) << "the About window did not appear";
  const Geometry a = WindowGeometry(*x_, about);
  EXPECT_EQ(a.width, 334);
  EXPECT_EQ(a.height, 204);
  const std::string about_shot = dir_.File("about.png");
  x_->Run("import -window root " + about_shot);
  EXPECT_EQ(PixelOf(about_shot, a.x + 2, a.y + a.height - 2), "F0FBFF");
  PressEscapeIn(about);
  EXPECT_TRUE(x_->WaitUntilGone(U(kAboutWindowName)));

  // A new port typed into RDH1_Port, the window dragged by its face, then ButtonStop.
  Click(g, 296 + 20, 48 + 10);
  x_->Run("xdotool key ctrl+a type 8080");
  x_->Run("xdotool mousemove --sync " + std::to_string(g.x + 250) + " " + std::to_string(g.y + 20) +
          " sleep 0.2 mousedown 1 sleep 0.2 mousemove --sync " + std::to_string(g.x + 300) + " " +
          std::to_string(g.y + 60) + " sleep 0.2 mouseup 1");
  // The move reaches the X server after the toolkit handles the drag: wait for it.
  Geometry moved = WindowGeometry(*x_, main);
  for (int i = 0; i < 50 && (moved.x != g.x + 50 || moved.y != g.y + 40); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    moved = WindowGeometry(*x_, main);
  }
  EXPECT_EQ(moved.x, g.x + 50);
  EXPECT_EQ(moved.y, g.y + 40);
  Click(moved, 112 + 40, 144 + 13);
  int status = -1;
  ASSERT_TRUE(run.WaitForExit(10, &status)) << "the window did not close";
  EXPECT_EQ(status, 0);

  const std::string ini = ReadBytes(dir_.File("root/nubra.ini"));
  EXPECT_NE(ini.find("RDH1_Port_Text=8080"), std::string::npos) << Utf8(ini);
  const std::string norm_pos = "NormPos=" + std::to_string(moved.x) + "," +
                               std::to_string(moved.y) + "," + std::to_string(moved.x + 445) + "," +
                               std::to_string(moved.y + 183);
  const std::string host_ini = ReadBytes(dir_.File("root/qdr.ini"));
  EXPECT_NE(host_ini.find(norm_pos), std::string::npos) << Utf8(host_ini);
}

TEST_F(FltkDesktopTest, SettingsWindowReopensWhereItWasLeftAndEscStopsIt) {
  WriteBytes(dir_.File("root/qdr.ini"),
             "[TFormRD]\r\nNormPos=123,77,568,260\r\nRDH1_Port_Text=8080\r\n");
  DesktopRun run(*x_, dir_, {dir_.File("out/RD1"), "/c"});
  const std::string main = x_->WaitForWindow(U(kMainWindowName));
  ASSERT_FALSE(main.empty());
  const Geometry g = WindowGeometry(*x_, main);
  EXPECT_EQ(g.x, 123);
  EXPECT_EQ(g.y, 77);
  // Esc is answered by ButtonStop, which closes the window.
  x_->Run("xdotool windowfocus --sync " + main + " key Escape");
  int status = -1;
  ASSERT_TRUE(run.WaitForExit(10, &status));
  EXPECT_EQ(status, 0);
  EXPECT_NE(ReadBytes(dir_.File("root/qdr.log")).find("停止ボタン押下"), std::string::npos);
}

TEST_F(FltkDesktopTest, FetchModeShowsTheWindowWhileItRunsAndClosesByItself) {
  // The reservation page arrives in two halves seconds apart, so the run is visible even on
  // a busy machine.
  RecorderSim sim({"--stall", "5"});
  ASSERT_TRUE(sim.started());
  WriteDeckSettings(sim.port());
  DesktopRun run(*x_, dir_, {dir_.File("out/RD1")});

  const std::string main = x_->WaitForWindow(U(kMainWindowName));
  ASSERT_FALSE(main.empty()) << "the window did not show during the fetch";
  int status = -1;
  ASSERT_TRUE(run.WaitForExit(30, &status)) << "fetch mode did not end by itself";
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(x_->WaitUntilGone(U(kMainWindowName), 1));

  int written = 0;
  for (const auto& entry : fs::directory_iterator(dir_.File("out/RD1"))) {
    written += entry.path().extension() == ".tvpi";
  }
  EXPECT_GT(written, 0) << Utf8(ReadBytes(dir_.File("root/qdr.log")));
}

TEST_F(FltkDesktopTest, AFetchWhoseDisplayGoesAwayCarriesOnWithoutTheWindow) {
  RecorderSim sim({"--stall", "4"});
  ASSERT_TRUE(sim.started());
  WriteDeckSettings(sim.port());
  DesktopRun run(*x_, dir_, {dir_.File("out/RD1")});
  ASSERT_FALSE(x_->WaitForWindow(U(kMainWindowName)).empty());
  x_.reset();  // the X server ends while the page is still coming

  int status = -1;
  ASSERT_TRUE(run.WaitForExit(30, &status)) << "the run did not end";
  EXPECT_EQ(status, 0);
  const std::string log = Utf8(ReadBytes(dir_.File("root/qdr.log")));
  EXPECT_NE(log.find(U("Xディスプレイとの接続が切れたので、ウィンドウなしで続けます")),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("--- END ---"), std::string::npos) << log;
  int written = 0;
  for (const auto& entry : fs::directory_iterator(dir_.File("out/RD1"))) {
    written += entry.path().extension() == ".tvpi";
  }
  EXPECT_GT(written, 0) << log;
}

}  // namespace
}  // namespace tavelin::testing
