#include "ui/headless/headless_backend.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_env.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tavelin::ui {
namespace {

using tavelin::testing::FakeEnv;
using tavelin::testing::TempDir;

// A form with one button, one timer and a close query that can refuse.
class TestForm : public Form {
 public:
  TestForm() : Form("TTestForm") {
    Add(button);
    Add(timer);
  }
  Button button{"Button"};
  Timer timer{"Timer"};
  bool refuse_close = false;
  int close_queries = 0;
  int closes = 0;
  int shows = 0;
  std::function<void()> on_activate;

 protected:
  void OnShow() override { ++shows; }
  void OnActivate() override {
    if (on_activate) on_activate();
  }
  bool OnCloseQuery() override {
    ++close_queries;
    return !refuse_close;
  }
  void OnClose() override { ++closes; }
};

class HeadlessBackendTest : public ::testing::Test {
 protected:
  TempDir dir_;
  FakeEnv env_{dir_};
  HeadlessBackend backend_{env_};
  TestForm form_;
  std::vector<std::string> hooked_;

  void SetUp() override {
    backend_.set_echo(false);
    backend_.Adopt(form_);
    form_.Show();
    backend_.SetExceptionHook([this](const std::string& m) { hooked_.push_back(m); });
  }
};

TEST_F(HeadlessBackendTest, QueuedInputRunsAtItsCallOnlyOnceEvenWhenNested) {
  std::vector<std::string> order;
  backend_.QueueInput(2, [&] {
    order.push_back("outer-start");
    // The handler yields, as the pause wait does; nested calls count and run later input.
    backend_.ProcessMessages();
    backend_.ProcessMessages();
    order.push_back("outer-end");
  });
  backend_.QueueInput(3, [&] { order.push_back("nested-3"); });
  backend_.QueueInput(1, [&] { order.push_back("first"); });
  backend_.QueueInput(9, [&] { order.push_back("late"); });

  backend_.ProcessMessages();
  EXPECT_EQ(order, (std::vector<std::string>{"first"}));
  backend_.ProcessMessages();  // call 2 runs the outer input, which makes calls 3 and 4
  EXPECT_EQ(order, (std::vector<std::string>{"first", "outer-start", "nested-3", "outer-end"}));
  EXPECT_EQ(backend_.process_calls(), 4);
  EXPECT_TRUE(backend_.has_pending_input());
  for (int i = 0; i < 5; ++i) backend_.ProcessMessages();
  EXPECT_EQ(order.back(), "late");
  EXPECT_FALSE(backend_.has_pending_input());
}

TEST_F(HeadlessBackendTest, QueuedClickRespectsEnabledState) {
  int clicks = 0;
  form_.button.OnClick = [&] { ++clicks; };
  backend_.QueueClick(form_.button, 1);
  backend_.QueueInput(2, [&] { form_.button.SetEnabled(false); });
  backend_.QueueClick(form_.button, 3);
  for (int i = 0; i < 3; ++i) backend_.ProcessMessages();
  EXPECT_EQ(clicks, 1);
  form_.button.SetEnabled(true);
  form_.button.SetVisible(false);
  form_.button.Click();
  EXPECT_EQ(clicks, 1);
}

TEST_F(HeadlessBackendTest, TimerFiresOnTheEnvClockFromTheMomentItIsEnabled) {
  int ticks = 0;
  form_.timer.OnTimer = [&] { ++ticks; };
  form_.timer.SetInterval(20000);
  form_.timer.SetEnabled(true);
  env_.SleepMs(19999);
  backend_.ProcessMessages();
  EXPECT_EQ(ticks, 0);
  env_.SleepMs(1);
  backend_.ProcessMessages();
  EXPECT_EQ(ticks, 1);
  backend_.ProcessMessages();  // re-armed: not due again yet
  EXPECT_EQ(ticks, 1);

  // Switching off and on restarts the count; a disabled timer never fires.
  env_.SleepMs(15000);
  form_.timer.SetEnabled(false);
  env_.SleepMs(60000);
  backend_.ProcessMessages();
  EXPECT_EQ(ticks, 1);
  form_.timer.SetEnabled(true);
  env_.SleepMs(10000);
  backend_.ProcessMessages();
  EXPECT_EQ(ticks, 1);
  env_.SleepMs(10000);
  backend_.ProcessMessages();
  EXPECT_EQ(ticks, 2);
}

TEST_F(HeadlessBackendTest, ExceptionsFromHandlersReachTheHookAndGoNoFurther) {
  form_.button.OnClick = [] { throw std::runtime_error("broken handler"); };
  form_.timer.OnTimer = [] { throw 42; };
  form_.timer.SetInterval(10);
  form_.timer.SetEnabled(true);
  backend_.QueueClick(form_.button, 1);
  env_.SleepMs(10);
  EXPECT_NO_THROW(backend_.ProcessMessages());
  EXPECT_EQ(hooked_, (std::vector<std::string>{"broken handler", "unknown exception"}));

  // A hook that throws itself is contained too.
  backend_.SetExceptionHook([](const std::string&) { throw std::runtime_error("log failed"); });
  backend_.QueueClick(form_.button, 1);
  EXPECT_NO_THROW(backend_.ProcessMessages());
}

TEST_F(HeadlessBackendTest, MessageBoxesAreRecorded) {
  backend_.ShowMessage("接続成功", "Tavelin");
  ASSERT_EQ(backend_.messages().size(), 1u);
  EXPECT_EQ(backend_.messages()[0].text, "接続成功");
  EXPECT_EQ(backend_.messages()[0].title, "Tavelin");
}

TEST(HeadlessMessageLoopTest, EndsWhenTheFormClosesOrWhenNothingCanHappen) {
  TempDir dir;
  FakeEnv env(dir);
  {
    HeadlessBackend backend(env);
    TestForm form;
    int activations = 0;
    form.on_activate = [&] { ++activations; };
    form.refuse_close = true;
    backend.QueueCloseRequest(form, 1);  // refused
    backend.QueueInput(2, [&] { form.refuse_close = false; });
    backend.QueueCloseRequest(form, 3);
    backend.QueueCloseRequest(form, 4);  // already closed: ignored
    EXPECT_TRUE(backend.RunMessageLoop(form));
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(form.shows, 1);
    EXPECT_EQ(form.close_queries, 2);
    EXPECT_EQ(form.closes, 1);
    EXPECT_TRUE(form.closed());
    EXPECT_FALSE(form.visible());
  }
  {
    HeadlessBackend backend(env);
    TestForm form;
    EXPECT_FALSE(backend.RunMessageLoop(form));
    EXPECT_FALSE(form.closed());
  }
  {
    // An enabled timer is waited for on the Env clock: the loop sleeps until it is due.
    HeadlessBackend backend(env);
    TestForm form;
    form.timer.SetInterval(20000);
    form.timer.OnTimer = [&] { form.Close(); };
    form.on_activate = [&] { form.timer.SetEnabled(true); };
    const long long slept_before = env.slept_ms();
    EXPECT_TRUE(backend.RunMessageLoop(form));
    EXPECT_EQ(env.slept_ms() - slept_before, 20000);
  }
}

TEST(HeadlessMessageLoopTest, ActivationExceptionGoesToHook) {
  TempDir dir;
  FakeEnv env(dir);
  HeadlessBackend backend(env);
  std::vector<std::string> hooked;
  backend.SetExceptionHook([&](const std::string& m) { hooked.push_back(m); });
  TestForm form;
  form.on_activate = [&] {
    backend.QueueCloseRequest(form, 1);
    throw std::runtime_error("activation failed");
  };
  EXPECT_TRUE(backend.RunMessageLoop(form));
  EXPECT_EQ(hooked, (std::vector<std::string>{"activation failed"}));
}

TEST(HeadlessMessageLoopTest, DestroyedFormsAreForgotten) {
  TempDir dir;
  FakeEnv env(dir);
  HeadlessBackend backend(env);
  {
    TestForm form;
    backend.Adopt(form);
    form.Show();
    form.timer.SetInterval(1);
    form.timer.SetEnabled(true);
  }
  env.SleepMs(5);
  backend.ProcessMessages();  // must not touch the destroyed form's timer
  SUCCEED();
}

}  // namespace
}  // namespace tavelin::ui
