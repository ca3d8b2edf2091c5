#include "app/about_form.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/test_env.h"
#include "ui/headless/headless_backend.h"

namespace tavelin {
namespace {

struct ShellCall {
  std::string target, parameters, folder;
  bool operator==(const ShellCall&) const = default;
};

// Version entries from a map; shell requests recorded instead of carried out.
class AboutEnv : public testing::FakeEnv {
 public:
  explicit AboutEnv(const TempDir& dir) : FakeEnv(dir) {}

  bool VersionEntry(const std::string&, const std::string& entry, std::string* value) override {
    ++version_reads;
    auto it = entries.find(entry);
    if (it == entries.end()) return false;
    *value = it->second;
    return true;
  }
  void ShellOpen(const std::string& target, const std::string& parameters,
                 const std::string& folder) override {
    shell_calls.push_back({target, parameters, folder});
  }

  std::map<std::string, std::string> entries = {
      {"ProductName", "Tavelin"}, {"FileVersion", "1.2.3.0"}, {"LegalCopyright", "Tavelin の作者"}};
  int version_reads = 0;
  std::vector<ShellCall> shell_calls;
};

class AboutFormTest : public ::testing::Test {
 protected:
  AboutFormTest() : env_(dir_), backend_(env_), main_("TFormRD") {
    main_.SetPlacement({100, 200, 445, 183});
    backend_.set_echo(false);
  }

  TempDir dir_;
  AboutEnv env_;
  ui::HeadlessBackend backend_;
  ui::Form main_;
};

TEST_F(AboutFormTest, CreationFillsTheLabelsFromTheVersionInformation) {
  TAboutForm form(env_);
  EXPECT_EQ(form.caption(), "バージョン情報");
  EXPECT_EQ(form.LabelTitle.text(), "Tavelin");
  EXPECT_EQ(form.LabelVersion.text(), "バージョン 1.2.3.0");
  EXPECT_EQ(form.LabelCopyLeft.text(), "作者 Tavelin の作者");
  EXPECT_EQ(form.Label3.text(), kHomePageAddress);
  EXPECT_EQ(form.Label4.text(), kMessageBoardAddress);
  EXPECT_EQ(form.ImageMain.resource(), "MAINICON");
  EXPECT_EQ(form.CancelButton(), &form.BtnCancel);  // Esc closes the window
}

TEST_F(AboutFormTest, MissingVersionEntriesLeaveOnlyThePrefixes) {
  env_.entries.clear();
  TAboutForm form(env_);
  EXPECT_EQ(form.LabelTitle.text(), "");
  EXPECT_EQ(form.LabelVersion.text(), "バージョン ");
  EXPECT_EQ(form.LabelCopyLeft.text(), "作者 ");
}

TEST_F(AboutFormTest, SecondClickShowsTheSameWindowFilledOnce) {
  AboutWindow about(env_, backend_);
  EXPECT_EQ(about.form(), nullptr);
  about.ButtonAboutClick(main_);
  TAboutForm* first = about.form();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->visible());
  // Centred on the main window.
  EXPECT_EQ(first->placement().left, 100 + (445 - 334) / 2);
  EXPECT_EQ(first->placement().top, 200 + (183 - 204) / 2);
  const int reads = env_.version_reads;

  first->BtnCancel.Click();
  EXPECT_FALSE(first->visible());
  env_.entries["FileVersion"] = "9.9.9.9";
  about.ButtonAboutClick(main_);
  EXPECT_EQ(about.form(), first);
  EXPECT_TRUE(first->visible());
  EXPECT_EQ(env_.version_reads, reads);
  EXPECT_EQ(first->LabelVersion.text(), "バージョン 1.2.3.0");
}

TEST_F(AboutFormTest, CentredAtTheMainWindowsResolution) {
  // The main window laid out at 144 dpi: the About window takes that scale and is centred
  // with its scaled size (501 x 306).
  main_.SetPixelsPerInch(144);
  main_.SetPlacement({100, 200, 668, 275});
  AboutWindow about(env_, backend_);
  about.ButtonAboutClick(main_);
  const ui::Rect& placed = about.form()->placement();
  EXPECT_EQ(about.form()->pixels_per_inch(), 144);
  EXPECT_EQ(placed.left, 100 + (668 - 501) / 2);
  EXPECT_EQ(placed.top, 200 + (275 - 306) / 2);
  EXPECT_EQ(placed.width, 501);
  EXPECT_EQ(placed.height, 306);
}

TEST_F(AboutFormTest, CloseRequestHidesAndTheWindowStaysUsable) {
  AboutWindow about(env_, backend_);
  about.ButtonAboutClick(main_);
  about.form()->Close();
  EXPECT_FALSE(about.form()->visible());
  EXPECT_FALSE(about.form()->closed());
  about.ButtonAboutClick(main_);
  about.form()->Close();  // a second close works the same way
  EXPECT_FALSE(about.form()->visible());
}

TEST_F(AboutFormTest, AddressLabelsOpenTheirAddressesWithTheShell) {
  TAboutForm form(env_);
  form.Label3.Click();
  form.Label4.Click();
  EXPECT_EQ(env_.shell_calls,
            (std::vector<ShellCall>{{kHomePageAddress, "", kHomePageAddress},
                                    {kMessageBoardAddress, "", kMessageBoardAddress}}));
}

TEST_F(AboutFormTest, ShellOpenWorksInTheTargetsFolderPart) {
  ShellOpen(env_, "192.168.0.5:80");
  ShellOpen(env_, "http://rd/a/index.htm", "-n");
  // 表 ends in the byte of a backslash; it is no delimiter.
  ShellOpen(env_, "予定表");
  EXPECT_EQ(env_.shell_calls,
            (std::vector<ShellCall>{{"192.168.0.5:80", "", "192.168.0.5:"},
                                    {"http://rd/a/index.htm", "-n", "http://rd/a/"},
                                    {"予定表", "", ""}}));
}

}  // namespace
}  // namespace tavelin
