#include "ui/artwork.h"

#include <gtest/gtest.h>

namespace tavelin::ui {
namespace {

TEST(ProgramIconTest, TileWithScreenAndRecordDotOnTransparentCorners) {
  for (int size : {16, 32, 64}) {
    SCOPED_TRACE(size);
    const RgbaImage icon = ProgramIcon(size);
    ASSERT_EQ(icon.width, size);
    ASSERT_EQ(icon.height, size);
    ASSERT_EQ(icon.pixels.size(), static_cast<size_t>(size * size * 4));
    // Rounded corners are see-through; the middle of the screen is opaque light blue.
    EXPECT_EQ(icon.AlphaAt(0, 0), 0);
    EXPECT_EQ(icon.AlphaAt(size - 1, size - 1), 0);
    EXPECT_EQ(icon.AlphaAt(size / 2, size * 2 / 5), 255);
    const uint32_t screen = icon.RgbAt(size / 2, size * 2 / 5);
    EXPECT_GT(screen & 0xFF, 0xC0u) << std::hex << screen;
    EXPECT_GT(screen & 0xFF, screen >> 16);
    // The record dot is red.
    const uint32_t dot = icon.RgbAt(size * 3 / 4, size * 3 / 4);
    EXPECT_GT(dot >> 16, 0xC0u) << std::hex << dot;
    EXPECT_LT(dot & 0xFF, 0x60u) << std::hex << dot;
  }
}

TEST(ProgramIconTest, EdgesAreSmoothedAndNothingIsDrawnForNoSize) {
  const RgbaImage icon = ProgramIcon(32);
  int partial = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) partial += icon.AlphaAt(x, y) > 0 && icon.AlphaAt(x, y) < 255;
  }
  EXPECT_GT(partial, 8) << "the corners are anti-aliased";
  EXPECT_TRUE(ProgramIcon(0).pixels.empty());
  EXPECT_TRUE(ProgramIcon(-3).pixels.empty());
}

TEST(RoundedOutlineTest, CornersAreCutAndRowsArePadded) {
  const OutlineMask mask = RoundedOutline(445, 183, 10);
  ASSERT_EQ(mask.bits.size(), 56u * 183u);  // (445 + 7) / 8 bytes a row
  struct Case {
    int x, y;
    bool inside;
  } cases[] = {{0, 0, false},   {444, 0, false},  {0, 182, false},  {444, 182, false},
               {2, 2, false},   {10, 0, true},    {0, 10, true},    {434, 0, true},
               {222, 91, true}, {444, 91, true},  {222, 182, true}, {445, 91, false},
               {-1, 91, false}, {222, 183, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(mask.Inside(c.x, c.y), c.inside) << c.x << "," << c.y;
  }
  // The padding bits beyond the last column stay clear.
  for (int y = 0; y < 183; ++y) EXPECT_EQ(mask.bits[y * 56 + 55] & 0xE0, 0) << y;
}

TEST(RoundedOutlineTest, RadiusIsLimitedByTheSizeAndZeroGivesARectangle) {
  const OutlineMask square = RoundedOutline(20, 20, 0);
  EXPECT_TRUE(square.Inside(0, 0));
  EXPECT_TRUE(square.Inside(19, 19));
  const OutlineMask round = RoundedOutline(20, 10, 100);  // a radius of 5 at most
  EXPECT_FALSE(round.Inside(0, 0));
  EXPECT_TRUE(round.Inside(10, 0));
  EXPECT_TRUE(round.Inside(10, 5));
  EXPECT_TRUE(RoundedOutline(0, 10, 2).bits.empty());
}

}  // namespace
}  // namespace tavelin::ui
