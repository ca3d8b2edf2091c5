#include "ui_wine/wine_desktop.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tavelin::testing {
namespace {

namespace fs = std::filesystem;

std::string WineServer() {
  return fs::exists("/usr/lib/wine/wineserver") ? "/usr/lib/wine/wineserver" : "wineserver";
}

// Appends the UTF-8 form of one code point.
void AppendUtf8(unsigned long cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::string WineDesktop::WineProgram() {
  // tavelin.exe is 32-bit and the 32-bit loader (wine32:i386) runs it; a 64-bit build (for a
  // machine that runs no 32-bit code) needs the 64-bit one. The PE header's machine field,
  // at the offset that the DOS header names, tells which.
  std::ifstream exe(TavelinProgram(), std::ios::binary);
  unsigned char dos[64] = {};
  exe.read(reinterpret_cast<char*>(dos), sizeof dos);
  const std::streamoff pe = dos[60] | dos[61] << 8 | dos[62] << 16 | dos[63] << 24;
  unsigned char header[6] = {};
  exe.seekg(pe).read(reinterpret_cast<char*>(header), sizeof header);
  const bool x64 = exe && header[4] == 0x64 && header[5] == 0x86;  // IMAGE_FILE_MACHINE_AMD64
  const std::string loader = x64 ? "/usr/lib/wine/wine64" : "/usr/lib/wine/wine";
  return fs::exists(loader) ? loader : "";
}

std::string WineDesktop::TavelinProgram() {
  const char* chosen = std::getenv("TAVELIN_WINDOWS_PROGRAM");
  return chosen != nullptr && *chosen != '\0' ? chosen : TAVELIN_WINDOWS_PROGRAM;
}

std::string WineDesktop::WindowsPath(const std::string& path) {
  std::string out = "Z:" + path;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

WineDesktop::WineDesktop()
    : prefix_(fs::path(TavelinProgram()).parent_path().parent_path().string() + "/wine-desktop") {
  for (const char* tool : {"Xvfb", "xdotool", "xprop", "import", "convert"}) {
    if (!ProgramInstalled(tool)) problem_ = std::string(tool) + " is not installed";
  }
  if (WineProgram().empty()) problem_ = "Wine's loader for tavelin.exe is not installed";
  if (!problem_.empty()) return;
  x_ = std::make_unique<XvfbServer>();
  if (!x_->started()) {
    problem_ = "Xvfb did not start";
    return;
  }
  const bool fresh = !fs::exists(prefix_ + "/system.reg");
  fs::create_directories(prefix_);
  // Wine's desktop process, started with the prefix, keeps the display it was started on.
  server_env_ = "DISPLAY=" + x_->display() + " WINEPREFIX='" + prefix_ +
                "' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=d' ";
  const std::string& env = server_env_;
  // A server of this prefix left by an earlier run (it persists half a minute) keeps the
  // display of that run's X server, which is gone: end it, and wait for it, first.
  std::system(
      (env + WineServer() + " -k 2>/dev/null; " + env + WineServer() + " -w 2>/dev/null").c_str());
  StartServer();
  if (fresh) {
    const std::string boot = env + WineProgram() + " wineboot --init >/dev/null 2>&1 && " + env +
                             TAVELIN_SOURCE_DIR "/scripts/wine-japanese-fonts.sh " + WineProgram() +
                             " >/dev/null 2>&1";
    if (std::system(boot.c_str()) != 0) problem_ = "the Wine prefix could not be made";
  }
  if (problem_.empty() && !WaitForDesktop()) problem_ = "Wine's desktop makes no window";
  // The prefix's own temp folder becomes a file (as in scripts/wine-run.sh): every case
  // gives its programs a temp folder of its own (SetHostFolders).
  const passwd* user = ::getpwuid(::getuid());
  const fs::path shared_temp =
      fs::path(prefix_) / "drive_c/users" / (user != nullptr ? user->pw_name : "root") / "Temp";
  std::error_code error;
  if (fs::is_directory(shared_temp, error) && fs::remove(shared_temp, error)) {
    std::ofstream(shared_temp) << "Not a folder: each test program has a temp folder of its own.\n";
  }
}

void WineDesktop::StartServer() const {
  // Persistent while the suite runs, and gone half a minute after it, also when it crashed.
  std::system((server_env_ + WineServer() + " -p30").c_str());
}

bool WineDesktop::WaitForDesktop() const {
  // A fresh server starts Wine's desktop process with the first program that asks for it;
  // on a loaded machine a program may come before that process answers and get no window.
  // A program that only makes a window comes first, until one gets it.
  const std::string helper = HelperProgram();
  if (!fs::exists(helper)) return true;  // as before: the first program waits for it
  for (int tries = 0; tries < 60; ++tries) {
    if (Run({helper, "window"}) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  return false;
}

std::string WineDesktop::HelperProgram() {
  return fs::path(TavelinProgram()).parent_path().parent_path().string() +
         "/tests/tavelin_test_helper.exe";
}

bool WineDesktop::WaitUntilNoCopyRuns() const {
  // Wine tells a program's end before its server has closed the program's handles; the
  // next copy would meet the single-instance mutex and end silently.
  const std::string helper = HelperProgram();
  return !fs::exists(helper) || Run({helper, "free", "NubraPlugIn"}) == 0;
}

WineDesktop::~WineDesktop() {
  if (prefix_.empty() || !x_) return;
  // The persistent server and everything still running under it end with the suite.
  std::system(("WINEPREFIX='" + prefix_ + "' " + WineServer() + " -k 2>/dev/null").c_str());
}

bool WineDesktop::Start(ChildProcess* process, const std::vector<std::string>& args,
                        const std::string& debug, const std::string& log_file) const {
  std::vector<std::string> argv = {WineProgram()};
  argv.insert(argv.end(), args.begin(), args.end());
  const std::string log = log_file.empty() ? "/dev/null" : log_file;
  return process->Start(argv, {.set_environment = {"DISPLAY=" + x_->display(),
                                                   "WINEPREFIX=" + prefix_, "WINEDEBUG=" + debug,
                                                   "WINEDLLOVERRIDES=mscoree,mshtml,"
                                                   "winemenubuilder.exe=d"},
                               .output_file = log,
                               .error_file = log,
                               .search_path = true});
}

int WineDesktop::Run(const std::vector<std::string>& args) const {
  ChildProcess process;
  if (!Start(&process, args, "-all", "")) return -1;
  const int code = process.Wait();
  return code >= 0 && code < 128 ? code : -1;
}

void WineDesktop::SetHostFolders(const std::string& root, const std::string& temp) const {
  // A fresh host key (no window placement left by an earlier test), the root folder, and the
  // temp folder: Wine hands every program TEMP and TMP from the prefix's registry, whatever
  // the Linux environment says, so the test's own folder goes there.
  const auto reg_text = [](const std::string& path) {
    std::string text;
    for (char c : WindowsPath(path)) text += c == '\\' ? "\\\\" : std::string(1, c);
    return text;
  };
  const std::string reg_file = temp + "/host.reg";
  std::ofstream(reg_file, std::ios::binary)
      << "REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\software\\Morvik]\r\n\r\n"
      << "[HKEY_CURRENT_USER\\software\\Morvik\\Qadrel2\\etc]\r\n\"RootPath\"=\"" << reg_text(root)
      << "\"\r\n\r\n[HKEY_CURRENT_USER\\Environment]\r\n\"TEMP\"=\"" << reg_text(temp)
      << "\"\r\n\"TMP\"=\"" << reg_text(temp) << "\"\r\n";
  Run({"regedit", "/S", WindowsPath(reg_file)});
  fs::remove(reg_file);
}

bool WineDesktop::SetScreenDpi(int dpi) const {
  // Wine's reg tool has been seen to fail once right after a case whose program was killed;
  // a second try answers whether the value can be written at all.
  int code = -1;
  for (int tries = 0; tries < 2 && code != 0; ++tries) {
    code = Run({"reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                "/d", std::to_string(dpi), "/f"});
    if (code != 0) std::fprintf(stderr, "reg add LogPixels=%d: exit code %d\n", dpi, code);
  }
  if (code != 0) return false;
  // The server writes the registry out as it ends; the desktop process that read the old
  // value ends with it.
  std::system((server_env_ + WineServer() + " -k 2>/dev/null; " + server_env_ + WineServer() +
               " -w 2>/dev/null")
                  .c_str());
  StartServer();
  return WaitForDesktop();
}

std::vector<std::string> MessageBoxTexts(const std::string& log) {
  // Lines such as: trace:msgbox:MSGBOX_OnInit L"\63a5\7d9a\6210\529f"
  std::vector<std::string> texts;
  const std::string mark = "MSGBOX_OnInit L\"";
  for (size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at)) {
    at += mark.size();
    std::string text;
    while (at < log.size() && log[at] != '"') {
      if (log[at] == '\\' && at + 1 < log.size() && log[at + 1] == 'n') {
        text.push_back('\n');  // a line break is traced as \n
        at += 2;
      } else if (log[at] == '\\' && at + 5 <= log.size()) {
        AppendUtf8(std::strtoul(log.substr(at + 1, 4).c_str(), nullptr, 16), &text);
        at += 5;
      } else {
        text.push_back(log[at++]);
      }
    }
    texts.push_back(text);
  }
  return texts;
}

}  // namespace tavelin::testing
