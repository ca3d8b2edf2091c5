// Windows programs on a private X server: one Xvfb and one Wine prefix (wine-desktop in the
// Windows build folder, with the Japanese font links of scripts/wine-japanese-fonts.sh) for
// the whole suite, with a persistent wineserver so that a program starts in well under a
// second.
#ifndef TAVELIN_TESTS_UI_WINE_WINE_DESKTOP_H_
#define TAVELIN_TESTS_UI_WINE_WINE_DESKTOP_H_

#include <memory>
#include <string>
#include <vector>

#include "e2e/fltk_xvfb.h"
#include "support/child_process.h"

namespace tavelin::testing {

class WineDesktop {
 public:
  // Starts the X server and the wineserver, making the prefix first when it is missing;
  // `problem` says why when it could not.
  WineDesktop();
  ~WineDesktop();
  WineDesktop(const WineDesktop&) = delete;
  WineDesktop& operator=(const WineDesktop&) = delete;

  bool ready() const { return problem_.empty(); }
  const std::string& problem() const { return problem_; }
  const XvfbServer& x() const { return *x_; }

  // Runs a Windows program to its end; its exit code (-1 when it did not start).
  int Run(const std::vector<std::string>& args) const;
  // Starts a Windows program as `process` with WINEDEBUG set to `debug`, its standard output
  // and error going to `log_file` (empty: nowhere); false when it could not be started.
  bool Start(ChildProcess* process, const std::vector<std::string>& args, const std::string& debug,
             const std::string& log_file) const;
  // Sets the host's root folder and the programs' temp folder (Linux folders) in the
  // prefix's registry, for the programs started next.
  void SetHostFolders(const std::string& root, const std::string& temp) const;
  // Sets the screen resolution Wine reports (HKCU\Control Panel\Desktop LogPixels) and
  // starts the wineserver afresh, so that the next program sees it; false when the value
  // could not be written or the new server's desktop makes no window.
  bool SetScreenDpi(int dpi) const;

  // The Windows form of a Linux path, on Wine's drive Z:.
  static std::string WindowsPath(const std::string& path);
  static std::string WineProgram();
  // tavelin.exe under test: $TAVELIN_WINDOWS_PROGRAM, else that of build/windows.
  static std::string TavelinProgram();
  // Waits until no copy of tavelin.exe holds its single-instance mutex (at most 30 s);
  // false when one still does.
  bool WaitUntilNoCopyRuns() const;

 private:
  // Starts the persistent wineserver of the prefix, on this X server.
  void StartServer() const;
  // Waits until a program can make a window on Wine's desktop; false when none could.
  bool WaitForDesktop() const;
  // tavelin_test_helper.exe of the same build.
  static std::string HelperProgram();

  std::string prefix_;
  std::string server_env_;
  std::string problem_;
  std::unique_ptr<XvfbServer> x_;
};

// The texts of the message boxes a program showed, from Wine's "msgbox" trace lines in its
// standard error, as UTF-8.
std::vector<std::string> MessageBoxTexts(const std::string& log);

}  // namespace tavelin::testing

#endif  // TAVELIN_TESTS_UI_WINE_WINE_DESKTOP_H_
