#include "ui/controls.h"

#include <gtest/gtest.h>

#include <vector>

#include "ui/form.h"

namespace tavelin::ui {
namespace {

class RecordingObserver : public FormObserver {
 public:
  void ControlChanged(Control& control) override { changed.push_back(control.name()); }
  void TimerChanged(Timer& timer) override { changed.push_back(timer.name()); }
  std::vector<std::string> changed;
};

class TwoButtonForm : public Form {
 public:
  TwoButtonForm() : Form("TTwo") {
    Add(stop);
    Add(channel);
    Add(group);
    Add(bar);
    Add(timer);
    stop.SetCancel(true);
    channel.SetCancel(true);
    group.SetItems({"a", "b", "c"});
  }
  Button stop{"ButtonStop"};
  Button channel{"ButtonCH"};
  RadioGroup group{"Group"};
  ProgressBar bar{"Bar"};
  Timer timer{"Timer"};
};

TEST(ControlsTest, ValuesAreClampedIntoTheirRange) {
  TwoButtonForm form;
  struct Case {
    int set;
    int radio;
    int progress;
  } cases[] = {{-5, -1, 0}, {-1, -1, 0}, {1, 1, 1}, {2, 2, 2}, {7, 2, 7}, {150, 2, 100}};
  for (const Case& c : cases) {
    form.group.SetItemIndex(c.set);
    form.bar.SetPosition(c.set);
    EXPECT_EQ(form.group.item_index(), c.radio) << c.set;
    EXPECT_EQ(form.bar.position(), c.progress) << c.set;
  }
  form.group.SetItems({"only"});
  EXPECT_EQ(form.group.item_index(), 0);
}

TEST(ControlsTest, ChangesReachTheObserverAndEscFindsTheFirstUsableCancelButton) {
  TwoButtonForm form;
  RecordingObserver observer;
  form.Attach(nullptr, &observer);
  form.stop.SetEnabled(false);
  form.bar.SetPosition(50);
  form.bar.SetPosition(50);  // no change, no notice
  form.timer.SetEnabled(true);
  EXPECT_EQ(observer.changed, (std::vector<std::string>{"ButtonStop", "Bar", "Timer"}));
  EXPECT_EQ(form.CancelButton(), &form.channel);
  form.stop.SetEnabled(true);
  EXPECT_EQ(form.CancelButton(), &form.stop);
  form.Attach(nullptr, nullptr);
}

}  // namespace
}  // namespace tavelin::ui
