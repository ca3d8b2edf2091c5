#include "ui/fltk/fltk_test_driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/about_form.h"
#include "app/form_rd.h"
#include "app/settings.h"
#include "e2e/fltk_xvfb.h"
#include "platform/profile_ini.h"
#include "support/test_env.h"

namespace tavelin::ui {
namespace {

using testing::XvfbServer;

// One X server for the whole program: the toolkit keeps its display connection until the
// process ends, so the server must outlive every suite.
XvfbServer* g_server = nullptr;

class XServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!testing::ProgramInstalled("Xvfb")) return;
    g_server = new XvfbServer();
    if (g_server->started()) ::setenv("DISPLAY", g_server->display().c_str(), 1);
  }
  void TearDown() override {
    delete g_server;
    g_server = nullptr;
  }
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new XServerEnvironment);

class FltkBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (g_server == nullptr) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(g_server->started());
    backend_ = FltkTestDriver::Open(env_);
    ASSERT_NE(backend_, nullptr);
  }

  // Handles messages for a while (real time: the toolkit's timers run on the wall clock).
  void Pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      backend_->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  TempDir dir_;
  FakeEnv env_{dir_};
  std::unique_ptr<FltkTestDriver> backend_;
};

// A small form with the kinds of control the windows use.
class TestForm : public Form {
 public:
  explicit TestForm(bool frameless = true) : Form("TTestForm") {
    SetCaption("試験");
    SetClientSize(300, 120);
    SetFrameless(frameless);
    if (frameless) SetPlacement(Rect{40, 30, 300, 120});
    label.SetBounds(10, 10, 60, 12);
    label.SetText("ラベル");
    edit.SetBounds(80, 8, 100, 20);
    stop.SetBounds(10, 80, 60, 25);
    stop.SetText("終了");
    stop.SetCancel(true);
    ch.SetBounds(80, 80, 60, 25);
    ch.SetText("CH");
    ch.SetCancel(true);
    Add(label);
    Add(edit);
    Add(stop);
    Add(ch);
    Add(timer);
    stop.OnClick = [this] { ++stop_clicks; };
    ch.OnClick = [this] { ++ch_clicks; };
  }
  Label label{"Label"};
  Edit edit{"Edit"};
  Button stop{"Stop"};
  Button ch{"CH"};
  Timer timer{"Timer"};
  int stop_clicks = 0;
  int ch_clicks = 0;
  std::function<void()> on_activate;

 protected:
  void OnActivate() override {
    if (on_activate) on_activate();
  }
};

// --- The main window's controls ---------------------------------------------------------

class FltkMainWindowTest : public FltkBackendTest {
 protected:
  void SetUp() override {
    FltkBackendTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(env_.ForceFolders(dir_.File("root/")).ok());
    ASSERT_TRUE(env_.RegistryWriteString(kRootPathKey, "RootPath", dir_.File("root")).ok());
    form_ = std::make_unique<TFormRD>(env_, *backend_, std::vector<std::string>{});
    form_->Show();
  }
  void TearDown() override { form_.reset(); }
  std::unique_ptr<TFormRD> form_;
};

TEST_F(FltkMainWindowTest, EveryControlIsShownWhereTheModelPutsIt) {
  ASSERT_TRUE(backend_->WindowShown(*form_));
  const Rect window = backend_->WindowRect(*form_);
  EXPECT_EQ(window.width, 445);
  EXPECT_EQ(window.height, 183);
  EXPECT_EQ(backend_->WindowTitle(*form_), "RDの録画予約データの取得中");
  for (Control* control : form_->controls()) {
    SCOPED_TRACE(control->name());
    const WidgetState state = backend_->StateOf(*control);
    ASSERT_TRUE(state.exists);
    EXPECT_EQ(state.shown, control->visible());
    EXPECT_EQ(state.active, control->enabled());
    EXPECT_EQ(state.bounds.left, control->bounds().left);
    EXPECT_EQ(state.bounds.top, control->bounds().top);
    EXPECT_EQ(state.bounds.width, control->bounds().width);
    EXPECT_EQ(state.bounds.height, control->bounds().height);
    if (control->kind() != ControlKind::kProgressBar) {
      EXPECT_EQ(state.text, control->text());
    }
    EXPECT_EQ(state.font_face, " IPAPGothic");
    EXPECT_EQ(state.font_size, control->font().height);
    EXPECT_EQ(state.tooltip, control->hint());
  }
  EXPECT_TRUE(backend_->StateOf(form_->RDH1_PW).masked);
  EXPECT_FALSE(backend_->StateOf(form_->RDH1_IP).masked);
  EXPECT_EQ(backend_->StateOf(form_->RxLabel1).font_size, 16);
  EXPECT_EQ(backend_->StateOf(form_->ButtonAbout).tooltip, "バージョン情報を表示します");
  EXPECT_EQ(backend_->StateOf(form_->WRecSetting).item_index, 0);
  EXPECT_FALSE(backend_->StateOf(form_->ButtonPlay).active);
  EXPECT_TRUE(backend_->StateOf(form_->RDH1_IP).has_focus) << "the first in keyboard order";
}

TEST_F(FltkMainWindowTest, ModelChangesAreShownAtOnce) {
  form_->Label1.SetText("解析中");
  form_->RDH1_IP.SetEnabled(false);
  form_->RDH1_Port.SetText("8080");
  form_->ProgressBar1.SetPosition(50);
  form_->WRecSetting.SetItemIndex(2);
  form_->ButtonPause.SetEnabled(true);
  EXPECT_EQ(backend_->StateOf(form_->Label1).text, "解析中");
  EXPECT_FALSE(backend_->StateOf(form_->RDH1_IP).active);
  EXPECT_EQ(backend_->StateOf(form_->RDH1_Port).text, "8080");
  EXPECT_EQ(backend_->StateOf(form_->ProgressBar1).progress, 50);
  EXPECT_EQ(backend_->StateOf(form_->WRecSetting).item_index, 2);
  EXPECT_TRUE(backend_->StateOf(form_->ButtonPause).active);
}

TEST_F(FltkMainWindowTest, TypingAndChoosingReachTheModel) {
  backend_->UserTypes(form_->RDH1_Port, "8080");
  EXPECT_EQ(form_->RDH1_Port.text(), "8080");
  backend_->UserTypes(form_->RDH1_ID, Utf8("録画"));
  EXPECT_EQ(form_->RDH1_ID.text(), "録画");
  backend_->UserTypes(form_->RDH1_PW, "secret");
  EXPECT_EQ(form_->RDH1_PW.text(), "secret");
  // Drawing the stars leaves the entry's own text alone.
  backend_->ProcessMessages();
  EXPECT_EQ(backend_->StateOf(form_->RDH1_PW).text, "secret");
  EXPECT_EQ(form_->RDH1_PW.text(), "secret");
  backend_->UserClicks(form_->WRecSetting, 1);
  EXPECT_EQ(form_->WRecSetting.item_index(), 1);
  backend_->UserClicks(form_->WRecSetting, 2);
  EXPECT_EQ(form_->WRecSetting.item_index(), 2);
  EXPECT_EQ(backend_->StateOf(form_->WRecSetting).item_index, 2);
}

TEST_F(FltkMainWindowTest, TextWithoutAShiftJisFormIsRefused) {
  backend_->UserTypes(form_->RDH1_ID, "rd");
  backend_->UserTypes(form_->RDH1_ID, "rd\xF0\x9F\x98\x80");  // an emoji
  EXPECT_EQ(form_->RDH1_ID.text(), "rd");
  EXPECT_EQ(backend_->StateOf(form_->RDH1_ID).text, "rd");
}

TEST_F(FltkMainWindowTest, DisabledEditsTakeNoTyping) {
  form_->RDH1_IP.SetEnabled(false);
  const std::string before = form_->RDH1_IP.text();
  backend_->UserTypes(form_->RDH1_IP, "other");
  EXPECT_EQ(form_->RDH1_IP.text(), before);
}

TEST_F(FltkMainWindowTest, WindowMovesAndPlacementFollowEachOther) {
  backend_->UserMovesWindow(*form_, 310, 240);
  EXPECT_EQ(form_->placement().left, 310);
  EXPECT_EQ(form_->placement().top, 240);
  EXPECT_EQ(form_->placement().width, 445);
  form_->SetPlacement(Rect{55, 66, 445, 183});
  const Rect window = backend_->WindowRect(*form_);
  EXPECT_EQ(window.left, 55);
  EXPECT_EQ(window.top, 66);
}

TEST_F(FltkMainWindowTest, APlacementOffTheScreenComesBackInsideIt) {
  // The test server's screen is 1024 x 768, without panels.
  struct Case {
    Rect saved;
    int left, top;
  } cases[] = {
      {{5000, 3000, 445, 183}, 1024 - 445, 768 - 183},
      {{-3000, -900, 445, 183}, 0, 0},
      {{900, 100, 445, 183}, 1024 - 445, 100},  // half off: pulled in whole
      {{120, 80, 445, 183}, 120, 80},
  };
  for (const Case& c : cases) {
    form_->SetPlacement(c.saved);
    const Rect window = backend_->WindowRect(*form_);
    EXPECT_EQ(window.left, c.left) << c.saved.left << "," << c.saved.top;
    EXPECT_EQ(window.top, c.top) << c.saved.left << "," << c.saved.top;
    // The form learns where its window is, so that place is what gets saved.
    EXPECT_EQ(form_->placement().left, c.left);
    EXPECT_EQ(form_->placement().top, c.top);
  }
}

TEST_F(FltkMainWindowTest, PressesOnTheFaceDragTheWindowButNotOnTheProgressBar) {
  struct Case {
    const char* name;
    int x, y;
    bool moves;
  } cases[] = {
      {"label", 30, 55, true},
      {"background", 400, 20, true},
      {"progress bar", 200, 139, false},
  };
  for (const Case& c : cases) {
    form_->SetPlacement(Rect{100, 100, 445, 183});
    backend_->UserDragsFrom(*form_, c.x, c.y, 40, 25);
    EXPECT_EQ(form_->placement().left, c.moves ? 140 : 100) << c.name;
    EXPECT_EQ(form_->placement().top, c.moves ? 125 : 100) << c.name;
  }
}

TEST_F(FltkMainWindowTest, TabVisitsTheControlsInKeyboardOrderSkippingDisabledOnes) {
  // ButtonPlay and ButtonPause are disabled in settings mode; the progress bar takes no
  // focus.
  const std::vector<const Control*> expected = {
      &form_->RDH1_Port,   &form_->RDH1_ID,    &form_->RDH1_PW,    &form_->Button1,
      &form_->ButtonCH,    &form_->ButtonStop, &form_->ButtonHome, &form_->ButtonAbout,
      &form_->WRecSetting, &form_->RDH1_IP};
  backend_->UserFocuses(form_->RDH1_IP);
  ASSERT_TRUE(backend_->StateOf(form_->RDH1_IP).has_focus);
  for (const Control* next : expected) {
    backend_->UserPressesTab(*form_);
    EXPECT_TRUE(backend_->StateOf(*next).has_focus) << "expected focus on " << next->name();
  }
}

TEST_F(FltkMainWindowTest, TheRadioGroupIsEnteredAtTheChosenItemAndArrowsChoose) {
  form_->WRecSetting.SetItemIndex(1);
  backend_->UserFocuses(form_->ButtonAbout);
  backend_->UserPressesTab(*form_);
  EXPECT_TRUE(backend_->StateOf(form_->WRecSetting).has_focus);
  backend_->UserPressesKey(*form_, "Right");
  EXPECT_EQ(form_->WRecSetting.item_index(), 2);
  backend_->UserPressesKey(*form_, "Right");
  EXPECT_EQ(form_->WRecSetting.item_index(), 0) << "the choice wraps round";
  backend_->UserPressesKey(*form_, "Up");
  EXPECT_EQ(form_->WRecSetting.item_index(), 2);
}

TEST_F(FltkMainWindowTest, EscapeOnTheWindowStopsAndClosesIt) {
  backend_->UserFocuses(form_->RDH1_IP);
  backend_->UserPressesEscape(*form_);
  EXPECT_TRUE(form_->stop_requested());
  EXPECT_TRUE(form_->closed());
  EXPECT_FALSE(backend_->WindowShown(*form_));
}

TEST_F(FltkMainWindowTest, TheCloseButtonClosesTheWindowAndSavesTheSettings) {
  backend_->UserTypes(form_->RDH1_Port, "8080");
  backend_->UserClosesWindow(*form_);
  EXPECT_TRUE(form_->closed());
  EXPECT_TRUE(form_->stop_requested());
  EXPECT_FALSE(backend_->WindowShown(*form_));
  EXPECT_EQ(ReadProfileString(env_, dir_.File("root/qdr.ini"), "TFormRD", "RDH1_Port_Text", ""),
            "8080");
}

// --- The About window ------------------------------------------------------------------

class OpenRecordingEnv : public FakeEnv {
 public:
  using FakeEnv::FakeEnv;
  void ShellOpen(const std::string& target, const std::string&, const std::string&) override {
    opened.push_back(target);
  }
  std::vector<std::string> opened;
};

TEST_F(FltkBackendTest, AboutWindowShowsItsLinksAndClosesWithEscape) {
  OpenRecordingEnv env(dir_);
  TAboutForm about(env);
  backend_->Adopt(about);
  about.SetPlacement(Rect{100, 90, 334, 204});
  about.Show();
  ASSERT_TRUE(backend_->WindowShown(about));
  const Rect window = backend_->WindowRect(about);
  EXPECT_EQ(window.left, 100);
  EXPECT_EQ(window.width, 334);
  EXPECT_EQ(window.height, 204);
  EXPECT_EQ(backend_->WindowTitle(about), "バージョン情報");
  EXPECT_EQ(backend_->StateOf(about.LabelVersion).text, about.LabelVersion.text());
  EXPECT_EQ(backend_->StateOf(about.Label3).tooltip, "ホームページを開く");
  EXPECT_TRUE(backend_->StateOf(about.ImageMain).shown);
  EXPECT_FALSE(backend_->StateOf(about.ImageSub).shown);

  backend_->UserClicks(about.Label3);
  backend_->UserClicks(about.Label4);
  backend_->UserClicks(about.Label2);  // plain text: not a link
  EXPECT_EQ(env.opened, (std::vector<std::string>{kHomePageAddress, kMessageBoardAddress}));

  backend_->UserPressesEscape(about);
  EXPECT_FALSE(backend_->WindowShown(about));
  about.Show();
  backend_->UserClosesWindow(about);
  EXPECT_FALSE(backend_->WindowShown(about)) << "the close button only hides it";
  about.Show();
  EXPECT_TRUE(backend_->WindowShown(about)) << "the same window shows again";
}

// --- Keyboard, handlers and the message loop -------------------------------------------

TEST_F(FltkBackendTest, EscapeClicksTheFirstCancelButtonThatCanAct) {
  TestForm form;
  backend_->Adopt(form);
  form.Show();
  backend_->UserPressesEscape(form);
  EXPECT_EQ(form.stop_clicks, 1);
  EXPECT_EQ(form.ch_clicks, 0);
  form.stop.SetEnabled(false);
  backend_->UserPressesEscape(form);
  EXPECT_EQ(form.stop_clicks, 1);
  EXPECT_EQ(form.ch_clicks, 1);
  form.ch.SetVisible(false);
  backend_->UserPressesEscape(form);
  EXPECT_EQ(form.ch_clicks, 1);
}

TEST_F(FltkBackendTest, ClicksOnDisabledButtonsDoNothing) {
  TestForm form;
  backend_->Adopt(form);
  form.Show();
  form.stop.SetEnabled(false);
  backend_->UserClicks(form.stop);
  EXPECT_EQ(form.stop_clicks, 0);
  form.stop.SetEnabled(true);
  backend_->UserClicks(form.stop);
  EXPECT_EQ(form.stop_clicks, 1);
}

TEST_F(FltkBackendTest, HandlersRunNestedInsideProcessMessages) {
  // A pause-like handler waits inside the message loop until a timer lets it go on;
  // meanwhile a second click is handled inside it.
  TestForm form;
  backend_->Adopt(form);
  form.Show();
  std::vector<std::string> events;
  bool paused = false;
  form.stop.OnClick = [&] {
    events.push_back("pause");
    paused = true;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (paused && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      backend_->ProcessMessages();
    }
    events.push_back("resumed");
  };
  form.ch.OnClick = [&] { events.push_back("ch"); };
  form.timer.OnTimer = [&] {
    form.timer.SetEnabled(false);
    events.push_back("timer");
    backend_->UserClicks(form.ch);
    paused = false;
  };
  form.timer.SetInterval(30);
  form.timer.SetEnabled(true);
  backend_->UserClicks(form.stop);
  EXPECT_EQ(events, (std::vector<std::string>{"pause", "timer", "ch", "resumed"}));
}

TEST_F(FltkBackendTest, TimersFireWhileEnabledAndStopWhenSwitchedOff) {
  TestForm form;
  backend_->Adopt(form);
  form.Show();
  int ticks = 0;
  form.timer.OnTimer = [&] { ++ticks; };
  form.timer.SetInterval(10);
  Pump(60);
  EXPECT_EQ(ticks, 0) << "a timer that is off never fires";
  form.timer.SetEnabled(true);
  Pump(150);
  EXPECT_GE(ticks, 2);
  form.timer.SetEnabled(false);
  const int after = ticks;
  Pump(60);
  EXPECT_EQ(ticks, after);
}

TEST_F(FltkBackendTest, TimersOfADestroyedFormNeverFire) {
  int ticks = 0;
  {
    TestForm form;
    backend_->Adopt(form);
    form.Show();
    form.timer.OnTimer = [&] { ++ticks; };
    form.timer.SetInterval(5);
    form.timer.SetEnabled(true);
  }
  Pump(50);
  EXPECT_EQ(ticks, 0);
}

TEST_F(FltkBackendTest, ExceptionsFromHandlersGoToTheHook) {
  TestForm form;
  backend_->Adopt(form);
  form.Show();
  std::vector<std::string> reported;
  backend_->SetExceptionHook([&](const std::string& message) { reported.push_back(message); });
  form.stop.OnClick = [] { throw std::runtime_error("boom"); };
  backend_->UserClicks(form.stop);
  backend_->UserClicks(form.ch);
  EXPECT_EQ(reported, std::vector<std::string>{"boom"});
  EXPECT_EQ(form.ch_clicks, 1);
}

TEST_F(FltkBackendTest, MessageBoxesAreModalAndTitled) {
  bool answered = false;
  backend_->SetMessageBoxAnswer([&] { answered = true; });
  backend_->ShowMessage("接続成功", "Tavelin");
  EXPECT_TRUE(answered);
  ASSERT_EQ(backend_->messages().size(), 1u);
  EXPECT_EQ(backend_->messages()[0].text, "接続成功");
  EXPECT_EQ(backend_->messages()[0].title, "Tavelin");
}

TEST_F(FltkBackendTest, MessageLoopEndsWhenTheMainFormCloses) {
  TestForm form;
  int activations = 0;
  form.on_activate = [&] {
    ++activations;
    form.timer.OnTimer = [&] { form.Close(); };
    form.timer.SetInterval(20);
    form.timer.SetEnabled(true);
  };
  EXPECT_TRUE(backend_->RunMessageLoop(form));
  EXPECT_EQ(activations, 1);
  EXPECT_TRUE(form.closed());
  EXPECT_FALSE(backend_->WindowShown(form));
}

TEST_F(FltkBackendTest, MessageLoopGivesUpWhenNothingCouldCloseTheForm) {
  TestForm form;
  form.on_activate = [&] { form.Hide(); };
  EXPECT_FALSE(backend_->RunMessageLoop(form));
  EXPECT_FALSE(form.closed());
}

TEST_F(FltkBackendTest, AFramedFormOpensOverTheMainWindowEveryTime) {
  TestForm main;
  TestForm dialog(false);
  dialog.SetClientSize(100, 60);
  backend_->Adopt(dialog);
  main.on_activate = [&] {
    dialog.Show();
    const Rect m = backend_->WindowRect(main);
    const Rect d = backend_->WindowRect(dialog);
    EXPECT_EQ(d.left, m.left + (m.width - d.width) / 2);
    EXPECT_EQ(d.top, m.top + (m.height - d.height) / 2);
    EXPECT_EQ(dialog.placement().width, 0) << "a centred dialog keeps no placement";
    dialog.Hide();
    EXPECT_FALSE(backend_->WindowShown(dialog));
    main.Close();
  };
  EXPECT_TRUE(backend_->RunMessageLoop(main));
}

}  // namespace
}  // namespace tavelin::ui
