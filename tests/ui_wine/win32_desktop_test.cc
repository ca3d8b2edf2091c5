// The Windows program under Wine on a private X server, driven with xdotool the way a person
// would use it, against the recorder simulator (a Linux program that Wine reaches on
// loopback).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/recorder_sim.h"
#include "support/test_env.h"
#include "ui/artwork.h"
#include "ui/layout.h"
#include "ui_wine/wine_desktop.h"

namespace tavelin::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kMainWindowName[] = "RDの録画予約データの取得中";
constexpr char kAboutWindowName[] = "バージョン情報";

std::string U(const char* cp932) { return Utf8(cp932); }

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// The windowed controls of the settings window, at 96 dpi.
const struct {
  const char* control;
  int left, top, width, height;
} kControls[] = {{"RDH1_IP", 136, 48, 121, 20},     {"RDH1_Port", 296, 48, 41, 20},
                 {"RDH1_ID", 48, 72, 89, 20},       {"RDH1_PW", 224, 72, 121, 20},
                 {"Button1", 360, 68, 49, 25},      {"ButtonHome", 360, 42, 25, 25},
                 {"ButtonAbout", 384, 42, 25, 25},  {"WRecSetting", 16, 96, 409, 33},
                 {"ProgressBar1", 10, 136, 425, 7}, {"ButtonPlay", 24, 146, 81, 25},
                 {"ButtonStop", 112, 144, 81, 27},  {"ButtonPause", 200, 146, 81, 25},
                 {"ButtonCH", 320, 146, 98, 25}};

// One run of tavelin.exe, ended when the test leaves it running.
class ProgramRun {
 public:
  ProgramRun(const WineDesktop& desktop, const std::vector<std::string>& args,
             const std::string& log_file) {
    std::vector<std::string> all = {WineDesktop::TavelinProgram()};
    all.insert(all.end(), args.begin(), args.end());
    // A copy of an earlier case still ending would make this one end as a second copy.
    desktop.WaitUntilNoCopyRuns();
    // The message boxes' texts appear in Wine's trace.
    desktop.Start(&process_, all, "-all,trace+msgbox", log_file);
  }
  bool WaitForExit(double seconds, int* status) {
    const std::optional<int> code =
        process_.WaitFor(std::chrono::milliseconds(static_cast<long>(seconds * 1000)));
    if (code) *status = *code;
    return code.has_value();
  }

 private:
  ChildProcess process_;
};

class Win32DesktopTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { desktop_ = new WineDesktop(); }
  static void TearDownTestSuite() {
    delete desktop_;
    desktop_ = nullptr;
  }

  void SetUp() override {
    if (!fs::exists(WineDesktop::TavelinProgram())) {
      GTEST_SKIP() << WineDesktop::TavelinProgram() << " is not built (cmake --preset windows)";
    }
    if (!desktop_->ready()) GTEST_SKIP() << desktop_->problem();
    for (const char* folder : {"root", "out", "temp"}) fs::create_directories(dir_.File(folder));
    desktop_->SetHostFolders(dir_.File("root/"), dir_.File("temp"));
  }

  const XvfbServer& x() { return desktop_->x(); }
  std::string Deck() { return WineDesktop::WindowsPath(dir_.File("out/RD1")); }
  std::string Log() { return ReadBytes(dir_.File("wine.log")); }

  void WriteDeckSettings(int port) {
    WriteBytes(dir_.File("root/nubra.ini"), "[RD1]\r\nRDH1_IP_Text=127.0.0.1\r\nRDH1_Port_Text=" +
                                                std::to_string(port) + "\r\n");
  }

  // The first visible window titled `title` (any class), waiting up to `seconds`.
  std::string WaitForWindow(const std::string& title, double seconds = 45) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
      const std::vector<std::string> found = x().WindowsTitled(title, "tavelin.exe");
      if (!found.empty()) return found.front();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < end);
    return "";
  }
  // The channel table once it names the deck: it is saved after its box is answered.
  std::string WaitForSavedTable(double seconds = 30) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::string table;
    do {
      table = ReadBytes(dir_.File("root/qdrTVCHNo.csv"));
      if (table.find("RD1") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < end);
    return table;
  }
  bool WaitUntilGone(const std::string& title, double seconds = 10) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
      if (x().WindowsTitled(title, "tavelin.exe").empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }

  // Input given before the activation has loaded the settings would be overwritten by them
  // (or, for a button, use the design values): wait for its log line "Tavelin", written
  // just before it loads them, and a moment more.
  void WaitForActivation() {
    for (int waits = 0; waits < 100; ++waits) {
      if (ReadBytes(dir_.File("root/qdr.log")).find("\nTavelin\r\n") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }

  Geometry GeometryOf(const std::string& window) {
    Geometry g;
    const std::string shell = x().Run("xdotool getwindowgeometry --shell " + window);
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

  void Click(const Geometry& window, int x_offset, int y_offset) {
    x().Run("xdotool mousemove --sync " + std::to_string(window.x + x_offset) + " " +
            std::to_string(window.y + y_offset) + " click 1");
  }
  void Key(const std::string& window, const std::string& keys) {
    x().Run("xdotool windowfocus --sync " + window + " key " + keys);
  }

  std::string Screenshot(const std::string& name) {
    const std::string file = dir_.File(name);
    x().Run("import -window root " + file);
    return file;
  }
  std::string PixelOf(const std::string& png, int px, int py) {
    return x().Run("convert " + png + " -format '%[hex:p{" + std::to_string(px) + "," +
                   std::to_string(py) + "}]' info:");
  }
  // The darkest grey level (0 black .. 1 white) inside a rectangle of a screenshot.
  double DarkestIn(const std::string& png, int left, int top, int width, int height) {
    const std::string crop = std::to_string(width) + "x" + std::to_string(height) + "+" +
                             std::to_string(left) + "+" + std::to_string(top);
    return std::atof(x().Run("convert " + png + " -crop " + crop +
                             " +repage -colorspace Gray -format '%[fx:minima.r]' info:")
                         .c_str());
  }

  // The bounding box of the dark pixels (text) inside a rectangle of a screenshot, in the
  // rectangle's coordinates; width and height 0 when there are none.
  Geometry InkIn(const std::string& png, int left, int top, int width, int height) {
    const std::string crop = std::to_string(width) + "x" + std::to_string(height) + "+" +
                             std::to_string(left) + "+" + std::to_string(top);
    const std::string out =
        x().Run("convert " + png + " -crop " + crop +
                " +repage -colorspace Gray -threshold 50% -bordercolor white -border 1 -trim "
                "-format '%w %h %X %Y' info:");
    Geometry ink;
    if (std::sscanf(out.c_str(), "%d %d %d %d", &ink.width, &ink.height, &ink.x, &ink.y) != 4 ||
        (ink.width <= 1 && ink.height <= 1)) {
      return Geometry{};
    }
    ink.x -= 1;  // the border added above
    ink.y -= 1;
    return ink;
  }

  // Waits until Wine's trace shows `count` message boxes; their texts.
  std::vector<std::string> WaitForMessageBoxes(size_t count, double seconds = 15) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::vector<std::string> texts;
    do {
      texts = MessageBoxTexts(Log());
      if (texts.size() >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < end);
    return texts;
  }

  static WineDesktop* desktop_;
  TempDir dir_;
};

WineDesktop* Win32DesktopTest::desktop_ = nullptr;

TEST_F(Win32DesktopTest, SettingsModeTestsTheConnectionShowsAboutSavesThePortAndDrags) {
  RecorderSim sim;
  ASSERT_TRUE(sim.started());
  WriteDeckSettings(sim.port());
  ProgramRun run(*desktop_, {Deck(), "/c"}, dir_.File("wine.log"));

  const std::string main = WaitForWindow(U(kMainWindowName));
  ASSERT_FALSE(main.empty()) << "the settings window did not appear";
  const Geometry g = GeometryOf(main);
  EXPECT_EQ(g.width, 445);
  EXPECT_EQ(g.height, 183);

  WaitForActivation();
  const std::string shot = Screenshot("settings.png");
  EXPECT_EQ(PixelOf(shot, g.x + 420, g.y + 115), "F0FBFF") << "inside the W録 radio group";
  EXPECT_EQ(PixelOf(shot, g.x, g.y), "000000") << "a rounded corner lets the desktop through";
  EXPECT_NE(PixelOf(shot, g.x + 220, g.y + 40), "000000") << "the face is painted";
  // Every windowed control of the table covers the face at its centre.
  const ui::RgbaImage face = ui::WindowFace(ui::RoundedOutline(445, 183, 10));
  for (const auto& c : kControls) {
    const int cx = c.left + c.width / 2;
    const int cy = c.top + c.height / 2;
    char face_hex[8];
    std::snprintf(face_hex, sizeof face_hex, "%06X", face.RgbAt(cx, cy));
    EXPECT_NE(PixelOf(shot, g.x + cx, g.y + cy), face_hex) << c.control << " is not in place";
  }
  EXPECT_LT(DarkestIn(shot, g.x + 24, g.y + 50, 40, 12), 0.5) << "RDのIPアドレス is drawn";
  EXPECT_GT(DarkestIn(shot, g.x + 121, g.y + 49, 13, 15), 0.8) << "no status line yet";

  // Button1 runs the connection test against the simulator; the modal box tells the result.
  Click(g, 360 + 24, 68 + 12);
  const std::string box = WaitForWindow("Tavelin");
  ASSERT_FALSE(box.empty()) << "no message box titled Tavelin";
  EXPECT_EQ(WaitForMessageBoxes(1), std::vector<std::string>{U("接続成功")});
  bool asked = false;
  for (const std::string& request : sim.Requests()) {
    asked = asked || request.rfind("GET /program/program.htm ", 0) == 0;
  }
  EXPECT_TRUE(asked);
  Key(box, "Return");
  EXPECT_TRUE(WaitUntilGone("Tavelin"));

  // ButtonAbout shows the About window, which Esc hides again.
  Click(g, 384 + 12, 42 + 12);
  const std::string about = WaitForWindow(U(kAboutWindowName));
  ASSERT_FALSE(about.empty()) << "the About window did not appear";
  const Geometry a = GeometryOf(about);
  EXPECT_EQ(a.width, 334);
  EXPECT_EQ(a.height, 204);
  const std::string about_shot = Screenshot("about.png");
  EXPECT_EQ(PixelOf(about_shot, a.x + 2, a.y + a.height - 2), "F0FBFF");
  Key(about, "Escape");
  EXPECT_TRUE(WaitUntilGone(U(kAboutWindowName)));

  // On a port nobody listens on, the box says why on its second line.
  Click(g, 296 + 20, 48 + 10);
  x().Run("xdotool key End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace type 1");
  Click(g, 360 + 24, 68 + 12);
  const std::string failed = WaitForWindow("Tavelin");
  ASSERT_FALSE(failed.empty()) << "no message box titled Tavelin";
  const std::vector<std::string> texts = WaitForMessageBoxes(2);
  ASSERT_EQ(texts.size(), 2u);
  const std::string reason = U("接続失敗\n接続を拒否されました: 127.0.0.1:1 (");
  EXPECT_EQ(texts[1].rfind(reason, 0), 0u) << texts[1];
  Key(failed, "Return");
  EXPECT_TRUE(WaitUntilGone("Tavelin"));

  // A new port typed into RDH1_Port, the window dragged by its face, then ButtonStop.
  Click(g, 296 + 20, 48 + 10);
  // "é" has no Shift-JIS form: the entry refuses it.
  x().Run(
      "xdotool key End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace type 80\xC3\xA9"
      "80");  // UTF-8 "é"
  x().Run("xdotool mousemove --sync " + std::to_string(g.x + 250) + " " + std::to_string(g.y + 20) +
          " mousedown 1 mousemove --sync " + std::to_string(g.x + 270) + " " +
          std::to_string(g.y + 40) + " mousemove --sync " + std::to_string(g.x + 300) + " " +
          std::to_string(g.y + 60) + " mouseup 1");
  // Wine's move loop may lag behind the pointer on a busy machine.
  Geometry moved = GeometryOf(main);
  for (int waits = 0; waits < 30 && (moved.x != g.x + 50 || moved.y != g.y + 40); ++waits) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    moved = GeometryOf(main);
  }
  EXPECT_EQ(moved.x, g.x + 50);
  EXPECT_EQ(moved.y, g.y + 40);
  Click(moved, 112 + 40, 144 + 13);
  int status = -1;
  ASSERT_TRUE(run.WaitForExit(10, &status)) << "the window did not close";
  EXPECT_EQ(status, 0);

  const std::string ini = ReadBytes(dir_.File("root/nubra.ini"));
  EXPECT_NE(ini.find("RDH1_Port_Text=8080\r\n"), std::string::npos) << Utf8(ini);
  const std::string norm_pos = "NormPos=" + std::to_string(moved.x) + "," +
                               std::to_string(moved.y) + "," + std::to_string(moved.x + 445) + "," +
                               std::to_string(moved.y + 183);
  const std::string host_ini = ReadBytes(dir_.File("root/qdr.ini"));
  EXPECT_NE(host_ini.find(norm_pos), std::string::npos) << Utf8(host_ini);
}

TEST_F(Win32DesktopTest, SettingsWindowReopensWhereItWasLeftAndEscStopsIt) {
  WriteBytes(dir_.File("root/qdr.ini"),
             "[TFormRD]\r\nNormPos=123,77,568,260\r\nRDH1_Port_Text=8080\r\n");
  ProgramRun run(*desktop_, {Deck(), "/c"}, dir_.File("wine.log"));
  const std::string main = WaitForWindow(U(kMainWindowName));
  ASSERT_FALSE(main.empty());
  const Geometry g = GeometryOf(main);
  EXPECT_EQ(g.x, 123);
  EXPECT_EQ(g.y, 77);
  WaitForActivation();
  // The keyboard starts in RDH1_IP. Backwards it wraps to the radio group, the last stop,
  // where an arrow chooses the next item; forwards again to RDH1_IP, then RDH1_Port. Esc is
  // answered by ButtonStop, which closes the window.
  Key(main, "shift+Tab Right Tab Tab End BackSpace BackSpace BackSpace BackSpace");
  x().Run("xdotool type 9090");
  Key(main, "Escape");
  int status = -1;
  ASSERT_TRUE(run.WaitForExit(10, &status));
  EXPECT_EQ(status, 0);
  EXPECT_NE(ReadBytes(dir_.File("root/qdr.log")).find("停止ボタン押下"), std::string::npos);
  EXPECT_NE(ReadBytes(dir_.File("root/nubra.ini")).find("RDH1_Port_Text=9090\r\n"),
            std::string::npos)
      << Utf8(ReadBytes(dir_.File("root/nubra.ini")));
  EXPECT_NE(ReadBytes(dir_.File("root/nubra.ini")).find("WRecSetting_ItemIndex=1\r\n"),
            std::string::npos);
}

TEST_F(Win32DesktopTest, ChannelButtonRebuildsTheChannelTable) {
  RecorderSim sim;
  ASSERT_TRUE(sim.started());
  WriteDeckSettings(sim.port());
  ProgramRun run(*desktop_, {Deck(), "/c"}, dir_.File("wine.log"));
  const std::string main = WaitForWindow(U(kMainWindowName));
  ASSERT_FALSE(main.empty());
  const Geometry g = GeometryOf(main);
  WaitForActivation();

  Click(g, 320 + 49, 146 + 12);
  EXPECT_EQ(WaitForMessageBoxes(1), std::vector<std::string>{U("CH情報取得成功")});
  const std::string box = WaitForWindow("Tavelin");
  ASSERT_FALSE(box.empty());
  Key(box, "Return");
  EXPECT_TRUE(WaitUntilGone("Tavelin"));

  const std::string table = WaitForSavedTable();
  EXPECT_NE(table.find("RD1"), std::string::npos) << Utf8(table);
  EXPECT_NE(table.find("061"), std::string::npos) << "the recorder's channel numbers";
  Key(main, "Escape");  // ButtonStop answers Esc and closes the window
  int status = -1;
  ASSERT_TRUE(run.WaitForExit(10, &status));
}

TEST_F(Win32DesktopTest, FetchModeShowsItsStatusWhileItRunsAndClosesByItself) {
  // The reservation page arrives in two halves seconds apart, so the running window can be
  // seen.
  RecorderSim sim({"--stall", "4"});
  ASSERT_TRUE(sim.started());
  WriteDeckSettings(sim.port());
  ProgramRun run(*desktop_, {Deck()}, dir_.File("wine.log"));

  const std::string main = WaitForWindow(U(kMainWindowName));
  ASSERT_FALSE(main.empty()) << "the window did not show during the fetch";
  const Geometry g = GeometryOf(main);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const std::string shot = Screenshot("fetch.png");
  // The 16-pixel status line reaches where the settings window shows only the face.
  EXPECT_LT(DarkestIn(shot, g.x + 121, g.y + 49, 13, 15), 0.5) << "the status line is drawn";
  int status = -1;
  ASSERT_TRUE(run.WaitForExit(30, &status)) << "fetch mode did not end by itself";
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(WaitUntilGone(U(kMainWindowName), 1));

  int written = 0;
  for (const auto& entry : fs::directory_iterator(dir_.File("out/RD1"))) {
    written += entry.path().extension() == ".tvpi";
  }
  EXPECT_GT(written, 0) << Utf8(ReadBytes(dir_.File("root/qdr.log")));
}

TEST_F(Win32DesktopTest, BackendTestsOfTheWindowsSuitesPassOnTheDesktop) {
  // tests/ui/win32's backend cases need windows, which the windows preset's own runs
  // (without an X display) cannot make; here they run on this suite's X server.
  const std::string suite =
      fs::path(WineDesktop::TavelinProgram()).parent_path().parent_path().string() +
      "/tests/ui_tests.exe";
  if (!fs::exists(suite)) GTEST_SKIP() << suite << " is not built";
  ChildProcess process;
  ASSERT_TRUE(desktop_->Start(&process, {suite, "--gtest_filter=Win32BackendTest.*"}, "-all",
                              dir_.File("suite.log")));
  const int code = process.Wait();
  const std::string out = ReadBytes(dir_.File("suite.log"));
  EXPECT_TRUE(code == 0) << out;
  EXPECT_NE(out.find("[  PASSED  ] 4 tests."), std::string::npos) << out;
}

TEST_F(Win32DesktopTest, APlacementOffEveryScreenOpensOnIt) {
  // Saved beside a second screen that is gone (the test server's screen is 1024 x 768).
  WriteBytes(dir_.File("root/qdr.ini"), "[TFormRD]\r\nNormPos=5000,3000,5445,3183\r\n");
  ProgramRun run(*desktop_, {Deck(), "/c"}, dir_.File("wine.log"));
  const std::string main = WaitForWindow(U(kMainWindowName));
  ASSERT_FALSE(main.empty());
  const Geometry g = GeometryOf(main);
  EXPECT_GE(g.x, 0);
  EXPECT_GE(g.y, 0);
  EXPECT_LE(g.x + g.width, 1024);
  EXPECT_LE(g.y + g.height, 768);
  WaitForActivation();
  Key(main, "Escape");
  int status = -1;
  ASSERT_TRUE(run.WaitForExit(10, &status));
  // Where it opened is what is kept.
  const std::string norm_pos = "NormPos=" + std::to_string(g.x) + "," + std::to_string(g.y) + "," +
                               std::to_string(g.x + 445) + "," + std::to_string(g.y + 183);
  const std::string host_ini = ReadBytes(dir_.File("root/qdr.ini"));
  EXPECT_NE(host_ini.find(norm_pos), std::string::npos) << Utf8(host_ini);
}

// The settings window on screens of 120, 144 and 192 dpi (Wine's LogPixels): laid out at
// that scale and used at the scaled places.
class Win32DpiTest : public Win32DesktopTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    Win32DesktopTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(desktop_->SetScreenDpi(GetParam()));
    changed_ = true;
  }
  void TearDown() override {
    if (changed_) desktop_->SetScreenDpi(96);
  }
  int S(int value) const { return ui::ScaleToDpi(value, GetParam()); }
  // A click at the centre of a control given at 96 dpi.
  void ClickControl(const Geometry& g, int left, int top, int width, int height) {
    Click(g, S(left) + S(width) / 2, S(top) + S(height) / 2);
  }
  bool changed_ = false;
};

TEST_P(Win32DpiTest, WindowFontsAndControlsScaleAndWorkAtTheirPlaces) {
  RecorderSim sim;
  ASSERT_TRUE(sim.started());
  WriteDeckSettings(sim.port());
  ProgramRun run(*desktop_, {Deck(), "/c"}, dir_.File("wine.log"));
  const std::string main = WaitForWindow(U(kMainWindowName));
  ASSERT_FALSE(main.empty()) << "the settings window did not appear: " << Log();
  const Geometry g = GeometryOf(main);
  EXPECT_NEAR(g.width, S(445), 2);
  EXPECT_NEAR(g.height, S(183), 2);

  WaitForActivation();
  const std::string shot = Screenshot("settings.png");
  EXPECT_EQ(PixelOf(shot, g.x, g.y), "000000") << "a rounded corner lets the desktop through";
  const ui::RgbaImage face =
      ui::WindowFace(ui::RoundedOutline(g.width, g.height, S(10)), S(ui::kFaceBandHeight));
  for (const auto& c : kControls) {
    const int cx = S(c.left) + S(c.width) / 2;
    const int cy = S(c.top) + S(c.height) / 2;
    char face_hex[8];
    std::snprintf(face_hex, sizeof face_hex, "%06X", face.RgbAt(cx, cy));
    EXPECT_NE(PixelOf(shot, g.x + cx, g.y + cy), face_hex) << c.control << " is not in place";
  }
  // The texts grow with the screen: "RDのIPアドレス" (78 x 12 at 96 dpi) is drawn whole, at
  // the larger size, and the picture button's caption stays inside its button.
  const Geometry caption = InkIn(shot, g.x + S(24), g.y + S(46), S(110), S(18));
  EXPECT_GE(caption.width, S(64)) << "caption of RDH1_IP";
  EXPECT_GE(caption.height, S(9)) << "caption of RDH1_IP";
  EXPECT_LT(caption.x + caption.width, S(110) - 1) << "caption of RDH1_IP reaches its edge";
  const Geometry channel = InkIn(shot, g.x + S(320) + 3, g.y + S(146) + 3, S(98) - 6, S(25) - 6);
  EXPECT_GE(channel.width, S(55)) << "caption of ButtonCH";
  EXPECT_GE(channel.height, S(9)) << "caption of ButtonCH";

  // The connection test at Button1's scaled place.
  ClickControl(g, 360, 68, 49, 25);
  EXPECT_EQ(WaitForMessageBoxes(1), std::vector<std::string>{U("接続成功")});
  std::string box = WaitForWindow("Tavelin");
  ASSERT_FALSE(box.empty());
  Key(box, "Return");
  EXPECT_TRUE(WaitUntilGone("Tavelin"));

  // The About window, laid out at the same scale.
  ClickControl(g, 384, 42, 25, 25);
  const std::string about = WaitForWindow(U(kAboutWindowName));
  ASSERT_FALSE(about.empty()) << "the About window did not appear";
  const Geometry a = GeometryOf(about);
  EXPECT_NEAR(a.width, S(334), 2);
  EXPECT_NEAR(a.height, S(204), 2);
  Key(about, "Escape");
  EXPECT_TRUE(WaitUntilGone(U(kAboutWindowName)));

  // The channel table at ButtonCH's place.
  ClickControl(g, 320, 146, 98, 25);
  EXPECT_EQ(WaitForMessageBoxes(2), (std::vector<std::string>{U("接続成功"), U("CH情報取得成功")}));
  box = WaitForWindow("Tavelin");
  ASSERT_FALSE(box.empty());
  Key(box, "Return");
  EXPECT_TRUE(WaitUntilGone("Tavelin"));
  EXPECT_NE(WaitForSavedTable().find("RD1"), std::string::npos) << "qdrTVCHNo.csv was not rebuilt";

  // A port typed into RDH1_Port at its place, saved when ButtonStop closes the window.
  ClickControl(g, 296, 48, 41, 20);
  x().Run("xdotool key End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace type 8080");
  ClickControl(g, 112, 144, 81, 27);
  int status = -1;
  ASSERT_TRUE(run.WaitForExit(10, &status)) << "ButtonStop did not close the window";
  const std::string ini = ReadBytes(dir_.File("root/nubra.ini"));
  EXPECT_NE(ini.find("RDH1_Port_Text=8080\r\n"), std::string::npos) << Utf8(ini);
  // The placement keepers note the screen's resolution and the window's size on it.
  const std::string host_ini = ReadBytes(dir_.File("root/qdr.ini"));
  EXPECT_NE(host_ini.find("PixelsPerInch=" + std::to_string(GetParam()) + "\r\n"),
            std::string::npos)
      << Utf8(host_ini);
  const std::string norm_pos = "NormPos=" + std::to_string(g.x) + "," + std::to_string(g.y) + "," +
                               std::to_string(g.x + g.width) + "," + std::to_string(g.y + g.height);
  EXPECT_NE(host_ini.find(norm_pos), std::string::npos) << Utf8(host_ini);
}

INSTANTIATE_TEST_SUITE_P(Screens, Win32DpiTest, ::testing::Values(144, 120, 192),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::to_string(info.param) + "dpi";
                         });

}  // namespace
}  // namespace tavelin::testing
