// The window's artwork, drawn in code and free of any toolkit: the program icon, the button
// glyphs and the main window's face as RGBA pixels, and its outline as a one-bit mask.
#ifndef TAVELIN_UI_ARTWORK_H_
#define TAVELIN_UI_ARTWORK_H_

#include <cstdint>
#include <vector>

#include "ui/controls.h"

namespace tavelin::ui {

struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // rows top to bottom, 4 bytes (R, G, B, A) per pixel

  uint32_t RgbAt(int x, int y) const;  // 0xRRGGBB
  uint8_t AlphaAt(int x, int y) const;
};

// The program icon ("MAINICON"): a recorder screen with a record dot on a blue tile,
// anti-aliased, with transparent corners. `size` is its width and height in pixels.
RgbaImage ProgramIcon(int size);

// A one-bit mask of a rectangle with rounded corners, in the X bitmap layout: rows of
// (width + 7) / 8 bytes, the leftmost pixel in the lowest bit; a set bit is inside.
struct OutlineMask {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bits;

  bool Inside(int x, int y) const;
};
OutlineMask RoundedOutline(int width, int height, int radius);

// The face of the frameless main window, opaque: a light vertical gradient, a title band
// across the top (`band_height` pixels), and inside `outline` a dark edge with a light line
// within it.
inline constexpr int kFaceBandHeight = 38;
RgbaImage WindowFace(const OutlineMask& outline, int band_height = kFaceBandHeight);

// The small picture a button carries (Button::glyph): `glyph` drawn into a square of `size` pixels,
// anti-aliased on a transparent background; greyed when not `enabled`. Empty for kNone or no size.
RgbaImage ButtonGlyph(Glyph glyph, int size, bool enabled);

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_ARTWORK_H_
