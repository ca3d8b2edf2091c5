#include "app/about_form.h"

#include "app/version.h"
#include "platform/codepage.h"
#include "ui/layout.h"

namespace tavelin {
namespace {

constexpr uint32_t kBackground = 0xF0FBFF;  // red 240, green 251, blue 255
constexpr char kMainIcon[] = "MAINICON";
constexpr char kOpenHint[] = "ホームページを開く";

// The folder part of a shell target: up to and including its last delimiter or colon,
// never looking at the trail byte of a double-byte character.
std::string FolderPart(const std::string& target) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < target.size(); ++i) {
    const char c = target[i];
    if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < target.size()) {
      ++i;
    } else if (c == '/' || c == '\\' || c == ':') {
      end = i + 1;
    }
  }
  return target.substr(0, end);
}

}  // namespace

void ShellOpen(Env& env, const std::string& target, const std::string& parameters) {
  env.ShellOpen(target, parameters, FolderPart(target));
}

TAboutForm::TAboutForm(Env& env) : ui::Form("TAboutForm"), env_(env) {
  BuildControls();
  FormCreate();
}

void TAboutForm::BuildControls() {
  SetCaption("バージョン情報");
  SetClientSize(334, 204);
  SetColor(kBackground);

  ui::Font navy;
  navy.color = ui::kNavy;
  ui::Font link = navy;
  link.color = ui::kBlue;
  link.underline = true;

  ImageMain.SetBounds(8, 8, 64, 64);
  ImageMain.SetStretch(true);
  ImageSub.SetBounds(8, 8, 32, 32);
  ImageSub.SetVisible(false);

  auto place = [](ui::Label& label, int left, int top, int width, const ui::Font& font) {
    label.SetBounds(left, top, width, 12);
    label.SetFont(font);
    label.SetTransparent(true);
  };
  place(LabelTitle, 88, 12, 232, navy);
  place(LabelVersion, 88, 32, 232, navy);
  place(LabelCopyLeft, 88, 52, 232, navy);
  // The two long lines start a little further left than the rest, so that they end as far
  // from the window's right edge as they start from its left (314 of 334 pixels at 96 dpi).
  place(Label2, 10, 84, 314, navy);
  Label2.SetText("最新バージョンはこのホームページからダウンロードできます。");
  place(Label3, 32, 100, 290, link);
  Label3.SetText(kHomePageAddress);
  place(Label1, 10, 124, 314, navy);
  Label1.SetText("要望、感想、質問、バグなどは、こちらのBBSまでご連絡ください");
  place(Label4, 32, 140, 290, link);
  Label4.SetText(kMessageBoardAddress);
  for (ui::Label* address : {&Label3, &Label4}) {
    address->SetHandCursor(true);
    address->SetHint(kOpenHint);
  }
  BtnCancel.SetBounds(130, 168, 75, 25);
  BtnCancel.SetText("OK");
  BtnCancel.SetCancel(true);

  for (ui::Control* control : std::initializer_list<ui::Control*>{
           &ImageMain, &ImageSub, &LabelTitle, &LabelVersion, &LabelCopyLeft, &Label2, &Label3,
           &Label1, &Label4, &BtnCancel}) {
    Add(*control);
  }
  SetTabOrder({&BtnCancel});

  BtnCancel.OnClick = [this] { BtnCancelClick(); };
  Label3.OnClick = [this] { Label3Click(); };
  Label4.OnClick = [this] { Label4Click(); };
}

void TAboutForm::FormCreate() {
  // The icon: drawn at its own size into ImageSub and shown stretched to 64 x 64.
  ImageSub.SetResource(kMainIcon);
  ImageMain.SetResource(kMainIcon);

  TVersion version;
  ReadVersion(env_, env_.ProgramPath(), &version);
  LabelTitle.SetText(version.product_name);
  LabelVersion.SetText("バージョン " + version.file_version);
  LabelCopyLeft.SetText("作者 " + version.legal_copyright);
}

void TAboutForm::ShowCentredOn(const ui::Form& owner) {
  // Shown on the owner's screen, so laid out at its resolution.
  const int dpi = owner.pixels_per_inch();
  SetPixelsPerInch(dpi);
  SetPlacement(ui::CentredOn(owner.placement(), ui::ScaleToDpi(client_width(), dpi),
                             ui::ScaleToDpi(client_height(), dpi)));
  Show();
}

bool TAboutForm::OnCloseQuery() {
  Hide();
  return false;
}

void AboutWindow::ButtonAboutClick(const ui::Form& main_window) {
  if (form_ == nullptr) {
    form_ = std::make_unique<TAboutForm>(env_);
    backend_.Adopt(*form_);
  }
  form_->ShowCentredOn(main_window);
}

}  // namespace tavelin
