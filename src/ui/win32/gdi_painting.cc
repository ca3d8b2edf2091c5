#include "ui/win32/gdi_painting.h"

#include <cstring>
#include <vector>

#include "ui/layout.h"
#include "ui/win32/wide_text.h"

namespace tavelin::ui {
namespace {

// A function of user32 that older systems lack, or null.
template <typename Fn>
Fn User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  FARPROC found = user32 != nullptr ? GetProcAddress(user32, name) : nullptr;
  Fn fn = nullptr;
  static_assert(sizeof(fn) == sizeof(found));
  std::memcpy(&fn, &found, sizeof(fn));
  return fn;
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

}  // namespace

int WindowDpi(HWND hwnd) {
  static const auto get_dpi_for_window = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (get_dpi_for_window != nullptr && hwnd != nullptr) {
    const UINT dpi = get_dpi_for_window(hwnd);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(hwnd);
  const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc != nullptr) ReleaseDC(hwnd, dc);
  return dpi > 0 ? dpi : kDesignDpi;
}

FontCache::~FontCache() {
  for (auto& entry : fonts_) DeleteObject(entry.second);
}

HFONT FontCache::Get(const Font& font, int dpi) {
  const int height = ScaleToDpi(font.height, dpi);
  const auto key = std::make_tuple(font.name, height, font.underline);
  const auto found = fonts_.find(key);
  if (found != fonts_.end()) return found->second;
  const std::wstring face = WideText(font.name).substr(0, LF_FACESIZE - 1);
  // A negative height asks for the character height (without the internal leading).
  HFONT handle = CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, font.underline ? TRUE : FALSE,
                             FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  if (handle == nullptr) handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  fonts_[key] = handle;
  return handle;
}

HRGN RegionFromOutline(const OutlineMask& outline) {
  // One rectangle for every run of set pixels in a row.
  std::vector<RECT> runs;
  for (int y = 0; y < outline.height; ++y) {
    int x = 0;
    while (x < outline.width) {
      while (x < outline.width && !outline.Inside(x, y)) ++x;
      const int start = x;
      while (x < outline.width && outline.Inside(x, y)) ++x;
      if (x > start) runs.push_back(RECT{start, y, x, y + 1});
    }
  }
  if (runs.empty()) return nullptr;
  std::vector<char> data(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
  auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
  header->dwSize = sizeof(RGNDATAHEADER);
  header->iType = RDH_RECTANGLES;
  header->nCount = static_cast<DWORD>(runs.size());
  header->nRgnSize = static_cast<DWORD>(runs.size() * sizeof(RECT));
  header->rcBound = RECT{0, 0, outline.width, outline.height};
  std::copy(runs.begin(), runs.end(), reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER)));
  return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                         reinterpret_cast<const RGNDATA*>(data.data()));
}

void DrawImage(HDC dc, const RgbaImage& image, int left, int top, COLORREF background) {
  if (image.width <= 0 || image.height <= 0) return;
  const int back[3] = {GetRValue(background), GetGValue(background), GetBValue(background)};
  std::vector<uint8_t> bgra(image.pixels.size());
  for (size_t at = 0; at + 3 < image.pixels.size(); at += 4) {
    const int alpha = image.pixels[at + 3];
    for (int c = 0; c < 3; ++c) {
      const int mixed = (image.pixels[at + c] * alpha + back[c] * (255 - alpha) + 127) / 255;
      bgra[at + 2 - c] = static_cast<uint8_t>(mixed);
    }
    bgra[at + 3] = 255;
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // rows top to bottom
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(image.width),
                    static_cast<DWORD>(image.height), 0, 0, 0, static_cast<UINT>(image.height),
                    bgra.data(), &info, DIB_RGB_COLORS);
}

HICON ProgramIconHandle(int size, bool* made) {
  *made = false;
  HICON icon = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, size, size, 0));
  if (icon != nullptr) return icon;
  // Made from the artwork: a 32-bit colour bitmap with alpha, and an empty mask.
  const RgbaImage pixels = ProgramIcon(size);
  BITMAPV5HEADER header = {};
  header.bV5Size = sizeof(header);
  header.bV5Width = size;
  header.bV5Height = -size;
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (colour == nullptr) return nullptr;
  auto* out = static_cast<uint8_t*>(bits);
  for (size_t at = 0; at + 3 < pixels.pixels.size(); at += 4) {
    out[at] = pixels.pixels[at + 2];
    out[at + 1] = pixels.pixels[at + 1];
    out[at + 2] = pixels.pixels[at];
    out[at + 3] = pixels.pixels[at + 3];
  }
  HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
  ICONINFO info = {};
  info.fIcon = TRUE;
  info.hbmColor = colour;
  info.hbmMask = mask;
  icon = CreateIconIndirect(&info);
  DeleteObject(colour);
  DeleteObject(mask);
  *made = icon != nullptr;
  return icon;
}

}  // namespace tavelin::ui
