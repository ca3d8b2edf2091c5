#include "ui/artwork.h"

#include <algorithm>
#include <cmath>

namespace tavelin::ui {
namespace {

struct Colour {
  double r, g, b;
};

Colour Mix(Colour a, Colour b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

constexpr Colour kWhite{255, 255, 255};
constexpr Colour kTileTop{66, 126, 206};
constexpr Colour kTileBottom{24, 58, 122};
constexpr Colour kScreenTop{170, 232, 255};
constexpr Colour kScreenBottom{70, 170, 228};
constexpr Colour kRecord{226, 48, 48};

// Inside tests in the icon's unit square (0..1 on both axes, y downwards).
bool InRoundRect(double x, double y, double x0, double y0, double x1, double y1, double r) {
  if (x < x0 || x > x1 || y < y0 || y > y1) return false;
  const double cx = std::clamp(x, x0 + r, x1 - r);
  const double cy = std::clamp(y, y0 + r, y1 - r);
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

bool InCircle(double x, double y, double cx, double cy, double r) {
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

bool NearSegment(double x, double y, double x0, double y0, double x1, double y1, double half) {
  const double dx = x1 - x0;
  const double dy = y1 - y0;
  const double t = std::clamp(((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  const double px = x0 + t * dx - x;
  const double py = y0 + t * dy - y;
  return px * px + py * py <= half * half;
}

// The colour of one sample point; false where the icon is transparent.
bool IconSample(double x, double y, Colour* out) {
  if (!InRoundRect(x, y, 0.03, 0.03, 0.97, 0.97, 0.18)) return false;
  Colour c = Mix(kTileTop, kTileBottom, (y - 0.03) / 0.94);
  if (NearSegment(x, y, 0.5, 0.21, 0.33, 0.08, 0.024) ||
      NearSegment(x, y, 0.5, 0.21, 0.67, 0.08, 0.024)) {
    c = kWhite;
  }
  if (InRoundRect(x, y, 0.12, 0.20, 0.88, 0.70, 0.07)) c = kWhite;
  if (InRoundRect(x, y, 0.17, 0.25, 0.83, 0.65, 0.035)) {
    c = Mix(kScreenTop, kScreenBottom, (y - 0.25) / 0.40);
  }
  if (InRoundRect(x, y, 0.42, 0.69, 0.58, 0.78, 0.0)) c = kWhite;
  if (InRoundRect(x, y, 0.26, 0.77, 0.74, 0.83, 0.025)) c = kWhite;
  if (InCircle(x, y, 0.75, 0.74, 0.205)) c = kWhite;
  if (InCircle(x, y, 0.75, 0.74, 0.155)) c = kRecord;
  *out = c;
  return true;
}

bool InTriangle(double x, double y, double ax, double ay, double bx, double by, double cx,
                double cy) {
  auto side = [](double px, double py, double qx, double qy, double rx, double ry) {
    return (qx - px) * (ry - py) - (qy - py) * (rx - px);
  };
  const double d1 = side(ax, ay, bx, by, x, y);
  const double d2 = side(bx, by, cx, cy, x, y);
  const double d3 = side(cx, cy, ax, ay, x, y);
  const bool negative = d1 < 0 || d2 < 0 || d3 < 0;
  const bool positive = d1 > 0 || d2 > 0 || d3 > 0;
  return !(negative && positive);
}

constexpr Colour kGlyphRed{200, 50, 50};
constexpr Colour kGlyphRoof{200, 60, 40};
constexpr Colour kGlyphBlue{60, 90, 150};
constexpr Colour kGlyphInfo{40, 100, 200};
constexpr Colour kGlyphGreen{30, 150, 60};
constexpr Colour kGlyphDoor{245, 230, 180};
constexpr Colour kGlyphScreen{150, 210, 250};

bool GlyphSample(Glyph glyph, double x, double y, Colour* out) {
  switch (glyph) {
    case Glyph::kHome:
      if (InRoundRect(x, y, 0.375, 0.625, 0.625, 1.0, 0)) {
        *out = kGlyphDoor;
      } else if (InRoundRect(x, y, 0.167, 0.5, 0.833, 1.0, 0)) {
        *out = kGlyphBlue;
      } else if (InTriangle(x, y, 0.5, 0.0, 0.0, 0.5, 1.0, 0.5)) {
        *out = kGlyphRoof;
      } else {
        return false;
      }
      return true;
    case Glyph::kInfo:
      if (!InCircle(x, y, 0.5, 0.5, 0.5)) return false;
      *out = InCircle(x, y, 0.5, 0.27, 0.09) || InRoundRect(x, y, 0.42, 0.42, 0.58, 0.84, 0.02)
                 ? kWhite
                 : kGlyphInfo;
      return true;
    case Glyph::kPlay:
      *out = kGlyphGreen;
      return InTriangle(x, y, 0.167, 0.0, 0.167, 1.0, 1.0, 0.5);
    case Glyph::kStop:
      *out = kGlyphRed;
      return InRoundRect(x, y, 0.07, 0.07, 0.93, 0.93, 0);
    case Glyph::kPause:
      *out = kGlyphBlue;
      return InRoundRect(x, y, 0.167, 0.0, 0.417, 1.0, 0) ||
             InRoundRect(x, y, 0.583, 0.0, 0.833, 1.0, 0);
    case Glyph::kChannels:
      // A small television with two antenna rods.
      if (InRoundRect(x, y, 0.12, 0.45, 0.88, 0.88, 0)) {
        *out = kGlyphScreen;
      } else if (InRoundRect(x, y, 0.0, 0.333, 1.0, 1.0, 0) ||
                 NearSegment(x, y, 0.5, 0.333, 0.25, 0.0, 0.045) ||
                 NearSegment(x, y, 0.5, 0.333, 0.75, 0.0, 0.045)) {
        *out = kGlyphBlue;
      } else {
        return false;
      }
      return true;
    case Glyph::kNone:
      break;
  }
  return false;
}

// A square picture of `size` pixels from a sampler over the unit square, 4 x 4 samples a
// pixel; alpha is the covered share.
template <typename Sampler>
RgbaImage RenderSquare(int size, const Sampler& sample) {
  RgbaImage image;
  if (size <= 0) return image;
  image.width = size;
  image.height = size;
  image.pixels.assign(static_cast<size_t>(size) * size * 4, 0);
  constexpr int kGrid = 4;
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      double r = 0, g = 0, b = 0;
      int covered = 0;
      for (int sy = 0; sy < kGrid; ++sy) {
        for (int sx = 0; sx < kGrid; ++sx) {
          const double x = (px + (sx + 0.5) / kGrid) / size;
          const double y = (py + (sy + 0.5) / kGrid) / size;
          Colour c;
          if (!sample(x, y, &c)) continue;
          r += c.r;
          g += c.g;
          b += c.b;
          ++covered;
        }
      }
      uint8_t* p = &image.pixels[(static_cast<size_t>(py) * size + px) * 4];
      if (covered == 0) continue;
      p[0] = static_cast<uint8_t>(std::lround(r / covered));
      p[1] = static_cast<uint8_t>(std::lround(g / covered));
      p[2] = static_cast<uint8_t>(std::lround(b / covered));
      p[3] = static_cast<uint8_t>(std::lround(255.0 * covered / (kGrid * kGrid)));
    }
  }
  return image;
}

// The face's colours.
constexpr uint32_t kFaceTop = 0xF7FBFF;
constexpr uint32_t kFaceBottom = 0xD9E6F4;
constexpr uint32_t kBandTop = 0xDDE9F8;
constexpr uint32_t kBandBottom = 0xC4D7EF;
constexpr uint32_t kBandLine = 0x9DB6D6;
constexpr uint32_t kOutlineDark = 0x2F4F7F;
constexpr uint32_t kOutlineLight = 0xFFFFFF;

uint32_t Blend(uint32_t a, uint32_t b, int step, int steps) {
  if (steps <= 0) return a;
  auto channel = [&](int shift) {
    const int ca = static_cast<int>((a >> shift) & 0xFF);
    const int cb = static_cast<int>((b >> shift) & 0xFF);
    return static_cast<uint32_t>(ca + (cb - ca) * step / steps) << shift;
  };
  return channel(16) | channel(8) | channel(0);
}

void Put(RgbaImage& image, int x, int y, uint32_t rgb) {
  uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
  p[0] = static_cast<uint8_t>(rgb >> 16);
  p[1] = static_cast<uint8_t>(rgb >> 8);
  p[2] = static_cast<uint8_t>(rgb);
  p[3] = 255;
}

}  // namespace

uint32_t RgbaImage::RgbAt(int x, int y) const {
  const size_t at = (static_cast<size_t>(y) * width + x) * 4;
  return (uint32_t{pixels[at]} << 16) | (uint32_t{pixels[at + 1]} << 8) | pixels[at + 2];
}

uint8_t RgbaImage::AlphaAt(int x, int y) const {
  return pixels[(static_cast<size_t>(y) * width + x) * 4 + 3];
}

RgbaImage ProgramIcon(int size) {
  return RenderSquare(size, [](double x, double y, Colour* c) { return IconSample(x, y, c); });
}

bool OutlineMask::Inside(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return false;
  const int stride = (width + 7) / 8;
  return (bits[static_cast<size_t>(y) * stride + x / 8] >> (x % 8)) & 1;
}

OutlineMask RoundedOutline(int width, int height, int radius) {
  OutlineMask mask;
  if (width <= 0 || height <= 0) return mask;
  mask.width = width;
  mask.height = height;
  const int stride = (width + 7) / 8;
  mask.bits.assign(static_cast<size_t>(stride) * height, 0);
  radius = std::clamp(radius, 0, std::min(width, height) / 2);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Pixel centres against the corner circles.
      const double cx =
          std::clamp(x + 0.5, static_cast<double>(radius), static_cast<double>(width - radius));
      const double cy =
          std::clamp(y + 0.5, static_cast<double>(radius), static_cast<double>(height - radius));
      const double dx = x + 0.5 - cx;
      const double dy = y + 0.5 - cy;
      if (dx * dx + dy * dy > static_cast<double>(radius) * radius) continue;
      mask.bits[static_cast<size_t>(y) * stride + x / 8] |= static_cast<uint8_t>(1u << (x % 8));
    }
  }
  return mask;
}

}  // namespace tavelin::ui

namespace tavelin::ui {

RgbaImage WindowFace(const OutlineMask& outline, int band_height) {
  RgbaImage face;
  const int width = outline.width;
  const int height = outline.height;
  if (width <= 0 || height <= 0) return face;
  face.width = width;
  face.height = height;
  face.pixels.assign(static_cast<size_t>(width) * height * 4, 0);
  for (int y = 0; y < height; ++y) {
    const uint32_t colour = y < band_height ? Blend(kBandTop, kBandBottom, y, band_height - 1)
                                            : Blend(kFaceTop, kFaceBottom, y, height - 1);
    for (int x = 0; x < width; ++x) Put(face, x, y, colour);
  }
  for (int x = 2; x < width - 2; ++x) {
    if (band_height + 1 >= height) break;
    Put(face, x, band_height, kBandLine);
    Put(face, x, band_height + 1, kOutlineLight);
  }
  // The outline follows the window's shape: a dark edge and a light line inside it.
  auto on_edge = [&outline](int x, int y) {
    return outline.Inside(x, y) && (!outline.Inside(x - 1, y) || !outline.Inside(x + 1, y) ||
                                    !outline.Inside(x, y - 1) || !outline.Inside(x, y + 1));
  };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (on_edge(x, y)) {
        Put(face, x, y, kOutlineDark);
      } else if (outline.Inside(x, y) && (on_edge(x - 1, y) || on_edge(x + 1, y) ||
                                          on_edge(x, y - 1) || on_edge(x, y + 1))) {
        Put(face, x, y, kOutlineLight);
      }
    }
  }
  return face;
}

RgbaImage ButtonGlyph(Glyph glyph, int size, bool enabled) {
  if (glyph == Glyph::kNone) return RgbaImage{};
  RgbaImage image = RenderSquare(
      size, [glyph](double x, double y, Colour* c) { return GlyphSample(glyph, x, y, c); });
  if (enabled) return image;
  // Greyed: the brightness kept, lightened towards the button face.
  for (size_t at = 0; at + 3 < image.pixels.size(); at += 4) {
    uint8_t* p = &image.pixels[at];
    const double grey = 0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2];
    const auto light = static_cast<uint8_t>(std::lround(grey + (255 - grey) * 0.45));
    p[0] = p[1] = p[2] = light;
  }
  return image;
}

}  // namespace tavelin::ui
