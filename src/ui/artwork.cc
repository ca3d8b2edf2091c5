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

}  // namespace

uint32_t RgbaImage::RgbAt(int x, int y) const {
  const size_t at = (static_cast<size_t>(y) * width + x) * 4;
  return (uint32_t{pixels[at]} << 16) | (uint32_t{pixels[at + 1]} << 8) | pixels[at + 2];
}

uint8_t RgbaImage::AlphaAt(int x, int y) const {
  return pixels[(static_cast<size_t>(y) * width + x) * 4 + 3];
}

RgbaImage ProgramIcon(int size) {
  RgbaImage image;
  if (size <= 0) return image;
  image.width = size;
  image.height = size;
  image.pixels.assign(static_cast<size_t>(size) * size * 4, 0);
  constexpr int kGrid = 4;  // 4 x 4 samples per pixel smooth the edges
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      double r = 0, g = 0, b = 0;
      int covered = 0;
      for (int sy = 0; sy < kGrid; ++sy) {
        for (int sx = 0; sx < kGrid; ++sx) {
          const double x = (px + (sx + 0.5) / kGrid) / size;
          const double y = (py + (sy + 0.5) / kGrid) / size;
          Colour c;
          if (!IconSample(x, y, &c)) continue;
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
