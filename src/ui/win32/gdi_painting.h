// Drawing helpers of the window backend: Shift-JIS capable fonts, the window outline as a
// region, the shared artwork drawn with GDI, and the program icon.
#ifndef TAVELIN_UI_WIN32_GDI_PAINTING_H_
#define TAVELIN_UI_WIN32_GDI_PAINTING_H_

#include <map>
#include <string>
#include <tuple>

#include "ui/artwork.h"
#include "ui/controls.h"
#include "ui/win32/controls_api.h"

namespace tavelin::ui {

// 0xRRGGBB as the system's colour value.
inline COLORREF ToColorRef(uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The resolution `hwnd` is laid out at: GetDpiForWindow where the system has it (Windows 10
// 1607 and later; looked up at run time, so the program still starts on Windows 8.1), else
// the screen's LOGPIXELSY.
int WindowDpi(HWND hwnd);

// Fonts by face, pixel height and underline, made once and kept until the cache goes.
// Every font asks for the Shift-JIS character set: the system then substitutes a face
// that has Japanese glyphs when the named one is missing (the default GUI font draws them
// as empty boxes).
class FontCache {
 public:
  FontCache() = default;
  ~FontCache();
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;

  // `font` with its 96-dpi height scaled to `dpi`.
  HFONT Get(const Font& font, int dpi);

 private:
  std::map<std::tuple<std::string, int, bool>, HFONT> fonts_;
};

// The region of the set pixels of `outline`, for SetWindowRgn; null when it is empty.
HRGN RegionFromOutline(const OutlineMask& outline);

// Draws `image` at `left`, `top`, its transparent parts blended onto `background`.
void DrawImage(HDC dc, const RgbaImage& image, int left, int top, COLORREF background);

// The program icon: the "MAINICON" resource of the program file, or made from the artwork
// when the file carries none, `size` pixels square. Owned by the caller when
// `made` is set on return.
HICON ProgramIconHandle(int size, bool* made);

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_WIN32_GDI_PAINTING_H_
