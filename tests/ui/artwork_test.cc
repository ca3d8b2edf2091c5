#include "ui/artwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

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

TEST(WindowFaceTest, BandGradientAndEdgeFollowTheOutline) {
  const OutlineMask outline = RoundedOutline(445, 183, 10);
  const RgbaImage face = WindowFace(outline);
  ASSERT_EQ(face.width, 445);
  ASSERT_EQ(face.height, 183);
  EXPECT_EQ(face.AlphaAt(222, 91), 255);
  // Dark edge where the outline ends, a light line inside it, on all four sides.
  for (const auto& [edge_x, edge_y, inner_x, inner_y] :
       {std::array{222, 0, 222, 1}, std::array{0, 91, 1, 91}, std::array{444, 91, 443, 91},
        std::array{222, 182, 222, 181}, std::array{2, 4, 3, 4}}) {
    SCOPED_TRACE(std::to_string(edge_x) + "," + std::to_string(edge_y));
    EXPECT_LT(face.RgbAt(edge_x, edge_y) & 0xFF, 0x90u);
    EXPECT_EQ(face.RgbAt(inner_x, inner_y), 0xFFFFFFu);
  }
  // The title band is darker than the face below its line, and both darken downwards.
  const uint32_t band = face.RgbAt(222, 20);
  const uint32_t below = face.RgbAt(222, kFaceBandHeight + 5);
  EXPECT_LT(band >> 16, below >> 16);
  EXPECT_GT(face.RgbAt(222, kFaceBandHeight + 5) >> 16, face.RgbAt(222, 170) >> 16);
  EXPECT_TRUE(WindowFace(OutlineMask{}).pixels.empty());
  // At 150 % the band is 57 pixels high: its line moves down with it.
  const RgbaImage scaled = WindowFace(RoundedOutline(668, 275, 15), 57);
  const uint32_t line = face.RgbAt(222, kFaceBandHeight);
  EXPECT_EQ(scaled.RgbAt(334, 57), line);
  EXPECT_NE(scaled.RgbAt(334, kFaceBandHeight), line);
  EXPECT_LT(scaled.RgbAt(334, 50) >> 16, scaled.RgbAt(334, 62) >> 16);
}

TEST(ButtonGlyphTest, EveryGlyphHasItsOwnPictureGreyedWhenDisabled) {
  const struct {
    const char* button;  // the main window's button that carries it
    Glyph glyph;
    int x, y;  // a point inside the glyph, in a 14 x 14 square
  } cases[] = {{"ButtonHome", Glyph::kHome, 7, 10},  {"ButtonAbout", Glyph::kInfo, 3, 7},
               {"ButtonPlay", Glyph::kPlay, 5, 7},   {"ButtonStop", Glyph::kStop, 7, 7},
               {"ButtonPause", Glyph::kPause, 3, 7}, {"ButtonCH", Glyph::kChannels, 1, 7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    const RgbaImage on = ButtonGlyph(c.glyph, 14, true);
    const RgbaImage off = ButtonGlyph(c.glyph, 14, false);
    ASSERT_EQ(on.width, 14);
    EXPECT_EQ(on.AlphaAt(c.x, c.y), 255);
    EXPECT_EQ(off.AlphaAt(c.x, c.y), 255);
    // Enabled glyphs have colour; disabled ones are grey and lighter.
    const uint32_t colour = on.RgbAt(c.x, c.y);
    const uint32_t grey = off.RgbAt(c.x, c.y);
    EXPECT_NE(colour >> 16, colour & 0xFF) << std::hex << colour;
    EXPECT_EQ(grey >> 16, grey & 0xFF) << std::hex << grey;
    EXPECT_GT(grey & 0xFF, std::min(colour >> 16, colour & 0xFF));
  }
  EXPECT_TRUE(ButtonGlyph(Glyph::kNone, 14, true).pixels.empty());
  EXPECT_TRUE(ButtonGlyph(Glyph::kStop, 0, true).pixels.empty());
}

}  // namespace
}  // namespace tavelin::ui
