// TAboutForm: the About window with the program's name, version and author, the icon and
// two addresses that open in the desktop's browser. Created on the first click of the main
// window's About button and shown again, as it is, on later clicks.
#ifndef TAVELIN_APP_ABOUT_FORM_H_
#define TAVELIN_APP_ABOUT_FORM_H_

#include <memory>
#include <string>

#include "platform/env.h"
#include "ui/backend.h"
#include "ui/form.h"

namespace tavelin {

inline constexpr char kHomePageAddress[] = "https://tavelin.example.org/";
inline constexpr char kMessageBoardAddress[] = "https://tavelin.example.org/bbs/";

// Asks the desktop shell to open `target`, working in its folder part (everything up to and
// including the last path delimiter or colon). Nothing is reported when it cannot.
void ShellOpen(Env& env, const std::string& target, const std::string& parameters = "");

class TAboutForm : public ui::Form {
 public:
  // Creation fills the labels from the program file's version information.
  explicit TAboutForm(Env& env);

  ui::Picture ImageMain{"ImageMain"};
  ui::Picture ImageSub{"ImageSub"};
  ui::Label LabelTitle{"LabelTitle"};
  ui::Label LabelVersion{"LabelVersion"};
  ui::Label LabelCopyLeft{"LabelCopyLeft"};
  ui::Label Label2{"Label2"};
  ui::Label Label3{"Label3"};
  ui::Label Label1{"Label1"};
  ui::Label Label4{"Label4"};
  ui::Button BtnCancel{"BtnCancel"};

  // Places the window at the centre of `owner` and shows it without blocking.
  void ShowCentredOn(const ui::Form& owner);

  void BtnCancelClick() { Hide(); }
  void Label3Click() { ShellOpen(env_, kHomePageAddress); }
  void Label4Click() { ShellOpen(env_, kMessageBoardAddress); }

 protected:
  // Closing the window only hides it, so that it stays available for the next click.
  bool OnCloseQuery() override;

 private:
  void BuildControls();
  void FormCreate();

  Env& env_;
};

// ButtonAboutClick of the main window: creates the About window on first use, hands it to
// the backend and shows it; later calls show the same window again.
class AboutWindow {
 public:
  AboutWindow(Env& env, ui::Backend& backend) : env_(env), backend_(backend) {}

  void ButtonAboutClick(const ui::Form& main_window);
  // Null until the first click.
  TAboutForm* form() const { return form_.get(); }

 private:
  Env& env_;
  ui::Backend& backend_;
  std::unique_ptr<TAboutForm> form_;
};

}  // namespace tavelin

#endif  // TAVELIN_APP_ABOUT_FORM_H_
