// Every caption of the two windows fits inside its control at the common display scales,
// measured with the fonts the window asks the system for (under Wine, with the font links
// of scripts/wine-japanese-fonts.sh, the faces the Wine desktop tests use).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/about_form.h"
#include "app/form_rd.h"
#include "app/settings.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"
#include "support/test_env.h"
#include "ui/headless/headless_backend.h"
#include "ui/layout.h"
#include "ui/win32/gdi_painting.h"

namespace tavelin {
namespace {

// Room the system's controls leave around a caption, at 96 dpi: a push button's border and
// focus rectangle, a radio button's circle and its gap, a group box's frame either side.
constexpr int kButtonBorder = 3;
constexpr int kGlyphSize = 14;  // on a button 24 or more high
constexpr int kGlyphGap = 5;
constexpr int kRadioMark = 18;
constexpr int kGroupFrame = 8;
constexpr int kWindowMargin = 6;  // a label keeps this far from the window's right edge

int TextWidth(HDC dc, HFONT font, const std::string& text) {
  std::wstring wide;
  if (!win32::ToWide(text, &wide)) return 1 << 20;
  HGDIOBJ old = SelectObject(dc, font);
  SIZE extent = {0, 0};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
  SelectObject(dc, old);
  return extent.cx;
}

TEST(CaptionFitTest, EveryCaptionFitsItsControlAtEveryScale) {
  TempDir dir;
  testing::FakeEnv env(dir);
  ASSERT_TRUE(env.ForceFolders(dir.File("root\\")).ok());
  ASSERT_TRUE(env.RegistryWriteString(kRootPathKey, "RootPath", dir.File("root\\")).ok());
  ui::HeadlessBackend backend(env);
  backend.set_echo(false);
  TFormRD main_form(env, backend, {dir.File("out\\RD1"), "/c"});
  TAboutForm about_form(env);
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  ui::FontCache fonts;
  // Without a proportional Gothic face (a Wine prefix without the font links) the system
  // draws every caption in a fixed-pitch face, wider than any Windows has.
  TEXTMETRICW metrics = {};
  HGDIOBJ old_font = SelectObject(dc, fonts.Get(ui::Font(), 96));
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old_font);
  if ((metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) == 0) {  // the flag means "variable"
    DeleteDC(dc);
    GTEST_SKIP() << "no proportional Japanese face; run scripts/wine-japanese-fonts.sh";
  }
  int measured = 0;
  for (const int dpi : {96, 120, 144, 192}) {
    const auto scaled = [dpi](int value) { return ui::ScaleToDpi(value, dpi); };
    for (const ui::Form* form : std::vector<const ui::Form*>{&main_form, &about_form}) {
      for (const ui::Control* control : form->controls()) {
        const ui::Rect b = ui::ScaleToDpi(control->bounds(), dpi);
        HFONT font = fonts.Get(control->font(), dpi);
        const auto expect_fits = [&](const std::string& text, int room) {
          if (text.empty()) return;
          ++measured;
          EXPECT_LE(TextWidth(dc, font, text), room)
              << form->name() << "." << control->name() << " at " << dpi << " dpi";
        };
        switch (control->kind()) {
          case ui::ControlKind::kLabel:
            // A label is as wide as its text; it must stay inside the window.
            expect_fits(control->text(),
                        scaled(form->client_width()) - b.left - scaled(kWindowMargin));
            break;
          case ui::ControlKind::kButton: {
            const auto& button = static_cast<const ui::Button&>(*control);
            int room = b.width - 2 * scaled(kButtonBorder);
            if (button.glyph() != ui::Glyph::kNone) {
              room -= (b.height >= scaled(24) ? scaled(kGlyphSize) : b.height - scaled(8)) +
                      scaled(kGlyphGap);
            }
            expect_fits(control->text(), room);
            break;
          }
          case ui::ControlKind::kRadioGroup: {
            const auto& group = static_cast<const ui::RadioGroup&>(*control);
            expect_fits(control->text(), b.width - 2 * scaled(kGroupFrame));
            const int count = static_cast<int>(group.items().size());
            for (int i = 0; i < count; ++i) {
              const ui::Rect item =
                  ui::ScaleToDpi(ui::RadioItemBounds(control->bounds(), control->font().height,
                                                     count, group.columns(), i),
                                 dpi);
              expect_fits(group.items()[i], item.width - scaled(kRadioMark));
            }
            break;
          }
          default:
            break;  // entries show what is typed; pictures and the progress bar no text
        }
      }
    }
  }
  DeleteDC(dc);
  EXPECT_GT(measured, 4 * 14);
}

}  // namespace
}  // namespace tavelin
