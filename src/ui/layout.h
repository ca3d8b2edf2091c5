// Toolkit-free window geometry shared by the backends: the control table's numbers are
// for a 96-dpi screen and are scaled to the window's resolution here, the items of a radio
// group are laid out in its columns, a window is centred over another, and a window that
// lies off every screen is brought back onto one.
#ifndef TAVELIN_UI_LAYOUT_H_
#define TAVELIN_UI_LAYOUT_H_

#include <vector>

#include "ui/controls.h"

namespace tavelin::ui {

// The resolution the forms' numbers are written for.
inline constexpr int kDesignDpi = 96;

// `value` * `dpi` / 96, rounded to the nearest whole pixel (halves away from zero, as the
// system's MulDiv rounds). A `dpi` below 1 counts as 96.
int ScaleToDpi(int value, int dpi);
// Each of left, top, width and height scaled once: the size does not depend on the
// position, so a control is as large wherever it lies.
Rect ScaleToDpi(const Rect& rect, int dpi);

// The bounds of item `index` of a radio group of `count` items in `columns` columns,
// inside a group whose frame is `group` and whose caption is `font_height` pixels high.
// Items fill the columns top to bottom, column after column, below the caption. All
// numbers in the group's coordinates (those of the window that holds it).
Rect RadioItemBounds(const Rect& group, int font_height, int count, int columns, int index);

// A `width` x `height` rectangle over the centre of `over` (an odd pixel of difference goes
// to the right and bottom of a smaller rectangle).
Rect CentredOn(const Rect& over, int width, int height);

// The area of `areas` nearest to `window`: the one it overlaps most, else the one whose
// edge is closest. `areas` must not be empty.
const Rect& NearestArea(const Rect& window, const std::vector<Rect>& areas);
// `window` moved (never resized) so that it lies inside `area`; a window larger than the
// area keeps its top left corner in it.
Rect KeptInside(const Rect& window, const Rect& area);

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_LAYOUT_H_
