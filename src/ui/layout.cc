#include "ui/layout.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace tavelin::ui {
namespace {

int64_t Overlap(int a_start, int a_length, int b_start, int b_length) {
  const int64_t start = std::max<int64_t>(a_start, b_start);
  const int64_t end = std::min<int64_t>(int64_t{a_start} + a_length, int64_t{b_start} + b_length);
  return std::max<int64_t>(0, end - start);
}

// How far apart two spans lie along one axis; 0 when they touch or overlap.
int64_t Gap(int a_start, int a_length, int b_start, int b_length) {
  const int64_t a_end = int64_t{a_start} + a_length;
  const int64_t b_end = int64_t{b_start} + b_length;
  if (a_end < b_start) return b_start - a_end;
  if (b_end < a_start) return a_start - b_end;
  return 0;
}

}  // namespace

int ScaleToDpi(int value, int dpi) {
  if (dpi < 1) dpi = kDesignDpi;
  const int64_t product = int64_t{value} * dpi;
  const int64_t half = kDesignDpi / 2;
  const int64_t scaled =
      product >= 0 ? (product + half) / kDesignDpi : -((-product + half) / kDesignDpi);
  return static_cast<int>(scaled);
}

Rect ScaleToDpi(const Rect& rect, int dpi) {
  return Rect{ScaleToDpi(rect.left, dpi), ScaleToDpi(rect.top, dpi), ScaleToDpi(rect.width, dpi),
              ScaleToDpi(rect.height, dpi)};
}

Rect RadioItemBounds(const Rect& group, int font_height, int count, int columns, int index) {
  columns = std::max(1, columns);
  const int rows = std::max(1, (count + columns - 1) / columns);
  const int top = group.top + font_height + 1;
  const int row_height = std::max(1, (group.top + group.height - 3 - top) / rows);
  const int column_width = (group.width - 16) / columns;
  const int column = index / rows;
  const int row = index % rows;
  return Rect{group.left + 8 + column * column_width, top + row * row_height, column_width - 4,
              row_height};
}

Rect CentredOn(const Rect& over, int width, int height) {
  return Rect{over.left + (over.width - width) / 2, over.top + (over.height - height) / 2, width,
              height};
}

const Rect& NearestArea(const Rect& window, const std::vector<Rect>& areas) {
  const Rect* best = &areas.front();
  int64_t best_overlap = -1;
  int64_t best_gap = INT64_MAX;
  for (const Rect& area : areas) {
    const int64_t overlap = Overlap(window.left, window.width, area.left, area.width) *
                            Overlap(window.top, window.height, area.top, area.height);
    const int64_t dx = Gap(window.left, window.width, area.left, area.width);
    const int64_t dy = Gap(window.top, window.height, area.top, area.height);
    const int64_t gap = dx * dx + dy * dy;
    if (overlap > best_overlap || (overlap == 0 && best_overlap == 0 && gap < best_gap)) {
      best = &area;
      best_overlap = overlap;
      best_gap = gap;
    }
  }
  return *best;
}

Rect KeptInside(const Rect& window, const Rect& area) {
  Rect kept = window;
  const auto keep = [](int start, int length, int area_start, int area_length) {
    const int64_t last = int64_t{area_start} + area_length - length;
    if (int64_t{start} > last) start = static_cast<int>(last);
    return std::max(start, area_start);
  };
  kept.left = keep(window.left, window.width, area.left, area.width);
  kept.top = keep(window.top, window.height, area.top, area.height);
  return kept;
}

}  // namespace tavelin::ui
