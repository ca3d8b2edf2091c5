// The window backend in-process: the model mirrored in the system's controls, input fed
// back, handlers' exceptions kept inside the window procedure. These need a desktop; under
// Wine without an X display (the windows preset's own runs) they are skipped, and the Wine
// desktop suite (tests/ui_wine) runs them on its X server.
#include "ui/win32/win32_backend.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_env.h"
#include "ui/form.h"
#include "ui/layout.h"
#include "ui/win32/controls_api.h"

namespace tavelin::ui {
namespace {

class SmallForm : public Form {
 public:
  SmallForm() : Form("TSmallForm") {
    SetCaption("ウィンドウ試験");
    SetClientSize(300, 120);
    SetPlacement(Rect{40, 40, 300, 120});
    auto place = [this](Control& c, int left, int top, int width, int height) {
      c.SetBounds(left, top, width, height);
      Add(c);
    };
    place(status, 8, 8, 100, 12);
    place(entry, 8, 28, 120, 20);
    place(button, 140, 28, 60, 24);
    button.SetText("押す");
    place(group, 8, 56, 280, 33);
    group.SetItems({"一", "二", "三"});
    group.SetColumns(3);
    place(progress, 8, 96, 280, 7);
    SetTabOrder({&entry, &button, &progress, &group});
    Add(timer);
  }
  Label status{"status"};
  Edit entry{"entry"};
  Button button{"button"};
  RadioGroup group{"group"};
  ProgressBar progress{"progress"};
  Timer timer{"timer"};
};

// The child windows of the shown form, in creation order, by class name.
struct Children {
  std::vector<HWND> statics, edits, buttons, progress;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM data) {
  auto* children = reinterpret_cast<Children*>(data);
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  const std::wstring kind = name;
  if (kind == L"Static") children->statics.push_back(hwnd);
  if (kind == L"Edit") children->edits.push_back(hwnd);
  if (kind == L"Button") children->buttons.push_back(hwnd);
  if (kind == L"msctls_progress32") children->progress.push_back(hwnd);
  return TRUE;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t text[128] = {};
  GetWindowTextW(hwnd, text, 128);
  return text;
}

class Win32BackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = testing::NewSystemEnv();
    backend_ = Win32Backend::Open(*env_);
    if (!backend_) GTEST_SKIP() << "no desktop to make windows on";
    backend_->SetExceptionHook([this](const std::string& message) { hooked_.push_back(message); });
    backend_->Adopt(form_);
    form_.Show();
    backend_->ProcessMessages();
    HWND window = FindWindowW(L"TavelinForm", L"\u30A6\u30A3\u30F3\u30C9\u30A6\u8A66\u9A13");
    ASSERT_NE(window, nullptr);
    EnumChildWindows(window, &Collect, reinterpret_cast<LPARAM>(&children_));
    // The push button, the group's frame and its three items.
    ASSERT_EQ(children_.buttons.size(), 5u);
    ASSERT_EQ(children_.edits.size(), 1u);
  }
  // The button window showing `text`.
  HWND Button(const std::wstring& text) {
    for (HWND hwnd : children_.buttons) {
      if (TextOf(hwnd) == text) return hwnd;
    }
    return nullptr;
  }
  HWND Item(int index) { return Button(std::wstring(1, L"\u4E00\u4E8C\u4E09"[index])); }
  void TearDown() override {
    if (backend_) form_.Hide();
  }

  std::unique_ptr<Env> env_;
  std::unique_ptr<Win32Backend> backend_;
  SmallForm form_;
  Children children_;
  std::vector<std::string> hooked_;
};

TEST_F(Win32BackendTest, ModelChangesShowInTheControlsAtOnce) {
  form_.status.SetText("解析中");
  form_.entry.SetText("RD-H1");
  HWND button = Button(L"\u62BC\u3059");
  form_.button.SetText("テスト");
  form_.button.SetEnabled(false);
  form_.group.SetItemIndex(2);
  form_.progress.SetPosition(50);
  EXPECT_EQ(TextOf(children_.statics.front()), L"\u89E3\u6790\u4E2D");
  EXPECT_EQ(TextOf(children_.edits.front()), L"RD-H1");
  EXPECT_EQ(TextOf(button), L"\u30C6\u30B9\u30C8");
  EXPECT_FALSE(IsWindowEnabled(button));
  for (int item = 0; item < 3; ++item) {
    EXPECT_EQ(SendMessageW(Item(item), BM_GETCHECK, 0, 0), item == 2 ? BST_CHECKED : BST_UNCHECKED)
        << item;
  }
  EXPECT_EQ(SendMessageW(children_.progress.front(), PBM_GETPOS, 0, 0), 50);
}

TEST_F(Win32BackendTest, TypedCharactersReachTheModelUnlessShiftJisLacksThem) {
  HWND edit = children_.edits.front();
  for (wchar_t typed : {L'8', L'\u00E9', L'\u8868', L'0'}) {  // "é" has no Shift-JIS form
    SendMessageW(edit, WM_CHAR, typed, 0);
  }
  EXPECT_EQ(form_.entry.text(), "8表0");
  // A click on a radio item chooses it in the model.
  SendMessageW(Item(1), BM_CLICK, 0, 0);
  EXPECT_EQ(form_.group.item_index(), 1);
}

TEST_F(Win32BackendTest, ExceptionsOfHandlersGoToTheHookAndTheProgramGoesOn) {
  int clicks = 0;
  form_.button.OnClick = [&clicks] {
    ++clicks;
    throw std::runtime_error("click failed");
  };
  form_.timer.OnTimer = [this] {
    form_.timer.SetEnabled(false);
    throw std::runtime_error("timer failed");
  };
  HWND button = Button(L"\u62BC\u3059");
  SendMessageW(button, BM_CLICK, 0, 0);
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 2);
  form_.timer.SetInterval(10);
  form_.timer.SetEnabled(true);
  // The timer fires only while messages are processed.
  for (int round = 0; round < 200 && hooked_.size() < 3; ++round) {
    Sleep(5);
    backend_->ProcessMessages();
  }
  EXPECT_EQ(hooked_, (std::vector<std::string>{"click failed", "click failed", "timer failed"}));
}

TEST_F(Win32BackendTest, AScreenOfAnotherScaleLaysTheWindowOutAgain) {
  HWND window = GetParent(children_.edits.front());
  const int dpi = form_.pixels_per_inch() == 144 ? 96 : 144;
  // What the system sends when the window moves to a screen of that scale: the client area
  // scaled, in the frame it has.
  RECT window_rect;
  RECT client;
  GetWindowRect(window, &window_rect);
  GetClientRect(window, &client);
  RECT suggested = {
      50, 60, 50 + ScaleToDpi(300, dpi) + (window_rect.right - window_rect.left - client.right),
      60 + ScaleToDpi(120, dpi) + (window_rect.bottom - window_rect.top - client.bottom)};
  SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi),
               reinterpret_cast<LPARAM>(&suggested));
  RECT now;
  GetWindowRect(window, &now);
  EXPECT_EQ(now.left, 50);
  EXPECT_EQ(now.top, 60);
  EXPECT_EQ(now.right, suggested.right);
  EXPECT_EQ(now.bottom, suggested.bottom);
  EXPECT_EQ(form_.pixels_per_inch(), dpi);
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, ScaleToDpi(300, dpi));
  EXPECT_EQ(form_.placement().width, client.right) << "the form knows its size on screen";

  // Each control at its place and size scaled from the form's 96-dpi numbers.
  auto place_of = [window](HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
  };
  const struct {
    const char* name;
    HWND hwnd;
    Rect expected;
  } cases[] = {
      {"entry", children_.edits.front(), ScaleToDpi(Rect{8, 28, 120, 20}, dpi)},
      {"button", Button(L"\u62BC\u3059"), ScaleToDpi(Rect{140, 28, 60, 24}, dpi)},
      {"progress", children_.progress.front(), ScaleToDpi(Rect{8, 96, 280, 7}, dpi)},
      {"third radio item", Item(2),
       ScaleToDpi(RadioItemBounds(Rect{8, 56, 280, 33}, 12, 3, 3, 2), dpi)},
  };
  for (const auto& c : cases) {
    const Rect got = place_of(c.hwnd);
    EXPECT_EQ(got.left, c.expected.left) << c.name;
    EXPECT_EQ(got.top, c.expected.top) << c.name;
    EXPECT_EQ(got.width, c.expected.width) << c.name;
    EXPECT_EQ(got.height, c.expected.height) << c.name;
  }
  // The texts' font grows with the screen.
  LOGFONTW font = {};
  const auto handle =
      reinterpret_cast<HFONT>(SendMessageW(children_.edits.front(), WM_GETFONT, 0, 0));
  ASSERT_NE(GetObjectW(handle, sizeof(font), &font), 0);
  EXPECT_EQ(-font.lfHeight, ScaleToDpi(12, dpi));
}

}  // namespace
}  // namespace tavelin::ui
