#include "ui/layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavelin::ui {
namespace {

bool Same(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

std::string Show(const Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.width) +
         "x" + std::to_string(r.height);
}

TEST(LayoutTest, ScalesOnceToTheNearestPixel) {
  struct Case {
    int value, dpi, expected;
  } cases[] = {
      {445, 96, 445},  {445, 144, 668}, {183, 144, 275}, {445, 120, 556}, {183, 120, 229},
      {445, 192, 890}, {12, 144, 18},   {7, 144, 11},    {25, 120, 31},   {-7, 144, -11},
      {-1, 144, -2},   {1, 120, 1},     {33, 0, 33},     {10, -5, 10},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScaleToDpi(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
  }
  // Each number is scaled by itself: the size does not depend on where the control lies.
  const Rect scaled = ScaleToDpi(Rect{3, 5, 7, 9}, 144);
  EXPECT_TRUE(Same(scaled, Rect{5, 8, 11, 14})) << Show(scaled);
}

TEST(LayoutTest, RadioItemsFillColumnsTopToBottom) {
  const Rect group{16, 96, 409, 33};  // the settings window's group, caption 12 px
  struct Case {
    int count, columns, index;
    Rect expected;
  } cases[] = {
      {3, 3, 0, {24, 109, 127, 17}}, {3, 3, 1, {155, 109, 127, 17}}, {3, 3, 2, {286, 109, 127, 17}},
      {4, 2, 1, {24, 117, 192, 8}},  {4, 2, 2, {220, 109, 192, 8}},  {2, 0, 1, {24, 117, 389, 8}},
      {0, 3, 0, {24, 109, 127, 17}},
  };
  for (const Case& c : cases) {
    const Rect got = RadioItemBounds(group, 12, c.count, c.columns, c.index);
    EXPECT_TRUE(Same(got, c.expected))
        << c.count << " items, " << c.columns << " columns, #" << c.index << ": " << Show(got);
  }
  // A group too low for its caption still gives every row a pixel.
  EXPECT_EQ(RadioItemBounds(Rect{0, 0, 100, 10}, 12, 3, 1, 2).height, 1);
}

TEST(LayoutTest, CentresOverAnotherRectangle) {
  struct Case {
    Rect over;
    int width, height;
    Rect expected;
  } cases[] = {
      {{100, 200, 445, 183}, 334, 204, {155, 190, 334, 204}},
      {{0, 0, 1280, 800}, 668, 275, {306, 262, 668, 275}},
      {{-500, -40, 10, 10}, 11, 10, {-500, -40, 11, 10}},
  };
  for (const Case& c : cases) {
    const Rect got = CentredOn(c.over, c.width, c.height);
    EXPECT_TRUE(Same(got, c.expected)) << Show(got);
  }
}

TEST(LayoutTest, AWindowOffEveryScreenComesBackOntoTheNearest) {
  const std::vector<Rect> screens = {{0, 0, 1280, 800}, {1280, 0, 1920, 1080}};
  struct Case {
    const char* name;
    Rect window;
    int area;
    Rect kept;
  } cases[] = {
      {"inside stays", {200, 200, 445, 183}, 0, {200, 200, 445, 183}},
      {"right of both", {5000, 300, 445, 183}, 1, {2755, 300, 445, 183}},
      {"below the first", {100, 1500, 445, 183}, 0, {100, 617, 445, 183}},
      {"left and above", {-3000, -900, 445, 183}, 0, {0, 0, 445, 183}},
      {"mostly on the second", {1200, 50, 445, 183}, 1, {1280, 50, 445, 183}},
      {"larger than the area", {10, 10, 1400, 900}, 0, {0, 0, 1400, 900}},
  };
  for (const Case& c : cases) {
    const Rect& area = NearestArea(c.window, screens);
    EXPECT_EQ(&area, &screens[c.area]) << c.name;
    const Rect kept = KeptInside(c.window, area);
    EXPECT_TRUE(Same(kept, c.kept)) << c.name << ": " << Show(kept);
  }
}

}  // namespace
}  // namespace tavelin::ui
