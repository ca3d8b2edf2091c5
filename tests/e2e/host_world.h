// The world the built `tavelin` program runs in, set up the way the host leaves it: a home
// with the registry file naming the root folder, the root folder with the host's INI, the
// program's own INI, the channel tables and the log, a temp folder, an output folder and a
// lock folder of its own. Runs the program there without a display and collects what it
// printed and its exit code.
//
// With TAVELIN_E2E_WINDOWS_BUILD naming the Windows build folder, the same tests drive that
// build's tavelin.exe under Wine (scripts/wine-run.sh, the build's own prefix) against the
// same Linux simulator: the registry is seeded with `regedit /S`, paths reach the program
// through Wine's Z: drive, the temp folder is the prefix's and the password key comes from
// Wine's volume.
#ifndef TAVELIN_TESTS_E2E_HOST_WORLD_H_
#define TAVELIN_TESTS_E2E_HOST_WORLD_H_

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "platform/codepage.h"
#include "platform/posix/posix_env.h"
#include "support/child_process.h"
#include "support/test_env.h"

namespace tavelin::testing {

// The Windows build folder when the tests drive tavelin.exe under Wine; empty otherwise.
inline std::string WindowsBuild() {
  const char* folder = std::getenv("TAVELIN_E2E_WINDOWS_BUILD");
  return folder == nullptr ? std::string() : std::string(folder);
}

// Runs a command line and gives back what it printed on standard output.
inline std::string CommandOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

// A Windows program of Wine run in the Windows build's prefix; `command` is shell text.
inline std::string WineOutput(const std::string& command) {
  return CommandOutput(std::string(TAVELIN_SOURCE_DIR) + "/scripts/wine-run.sh '" + WindowsBuild() +
                       "' " + command + " 2>/dev/null");
}

// What the program sees of a Linux path: itself, or under Wine its Z: drive form.
inline std::string ProgramSidePath(const std::string& path, bool wine = !WindowsBuild().empty()) {
  if (!wine || path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

// The program's path delimiter.
inline std::string ProgramDelimiter() { return WindowsBuild().empty() ? "/" : "\\"; }

// What one run of the program left on its standard streams.
struct RunResult {
  bool finished = false;  // ended on its own within the time allowed
  int exit_code = -1;
  std::string out;  // standard output, as printed (UTF-8)
  std::string err;  // standard error, as printed (UTF-8)
};

// One started `tavelin` process.
class PluginProcess {
 public:
  // The next start gives the process a standard error that is a pipe nobody reads.
  void BreakStandardError() { broken_stderr_ = true; }

  // Starts `program` with `arguments` (UTF-8) and exactly the environment `environment`
  // ("NAME=value" entries); its output goes to files in `folder`.
  bool Start(const std::string& program, const std::vector<std::string>& arguments,
             const std::vector<std::string>& environment, const std::string& folder) {
    out_file_ = folder + "stdout.txt";
    err_file_ = folder + "stderr.txt";
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return process_.Start(argv, {.environment = environment,
                                 .output_file = out_file_,
                                 .error_file = err_file_,
                                 .broken_error = broken_stderr_});
  }

  // True while the process has not ended (it is not reaped: Wait still reports it).
  bool Running() const { return process_.Running(); }
  // The file that receives the process's standard error.
  const std::string& ErrorFile() const { return err_file_; }

  // Waits up to `limit` for the process to end; kills it when it does not.
  RunResult Wait(std::chrono::seconds limit = std::chrono::seconds(90)) {
    RunResult result;
    if (const std::optional<int> code = process_.WaitFor(limit)) {
      result.finished = true;
      result.exit_code = *code;
    }
    process_.Stop();
    result.out = ReadBytes(out_file_);
    result.err = ReadBytes(err_file_);
    return result;
  }

 private:
  ChildProcess process_;
  std::string out_file_;
  std::string err_file_;
  bool broken_stderr_ = false;
};

// The recorder settings of one deck as the host's user entered them.
struct DeckSettings {
  std::string address = "127.0.0.1";
  std::string port = "80";
  std::string user_id;
  std::string password;
  int dual_recording = 0;
};

// Wine's answer for the volume of the Windows folder ("vol c:" prints the serial as
// XXXX-XXXX; Wine leaves the label empty).
class WineVolumeEnv : public EnvWrapper {
 public:
  using EnvWrapper::EnvWrapper;
  bool SystemVolume(std::string* label, uint32_t* serial) override {
    static const uint32_t wine_serial = [] {
      const std::string out = WineOutput("cmd /c vol c:");
      const size_t at = out.find("Serial Number is ");
      if (at == std::string::npos) return 0u;
      std::string digits = out.substr(at + 17, 9);
      digits.erase(4, 1);
      return static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
    }();
    label->clear();
    *serial = wine_serial;
    return wine_serial != 0;
  }
};

class HostWorld {
 public:
  // `linux_program`: run the Linux build even when the tests drive the Windows one.
  explicit HostWorld(bool linux_program = false)
      : wine_(!linux_program && !WindowsBuild().empty()) {
    namespace fs = std::filesystem;
    for (const char* folder : {"home/.config/tavelin", "root", "temp", "runtime", "out", "run"}) {
      fs::create_directories(dir_.File(folder));
    }
    WriteRegistry("");
  }

  const TempDir& dir() const { return dir_; }
  std::string root() const { return dir_.File("root/"); }
  // The temp folder the program uses: the test's own, also under Wine (see WriteRegistry).
  std::string temp() const { return dir_.File("temp/"); }
  std::string runtime() const { return dir_.File("runtime/"); }
  // A file of the root folder.
  std::string RootFile(const std::string& name) const { return root() + name; }
  // The output folder of deck `deck` (UTF-8), without a trailing delimiter.
  std::string OutputFolder(const std::string& deck) const { return dir_.File("out/" + deck); }
  std::string RegistryFile() const { return dir_.File("home/.config/tavelin/registry.reg"); }

  // The registry file, naming the root folder, followed by `more` (further .reg sections).
  // Under Wine the same text goes into the prefix's registry, after the values an earlier
  // test may have left there are deleted, with this test's temp folder as TEMP and TMP:
  // Wine hands every program it starts those values of the prefix's registry, whatever the
  // Linux environment says, and the prefix's own temp folder is never the test's.
  void WriteRegistry(const std::string& more) {
    if (!wine_) {
      WriteBytes(RegistryFile(),
                 "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\software\\Morvik\\Qadrel2\\etc]\r\n"
                 "\"RootPath\"=\"" +
                     root() + "\"\r\n" + more);
      return;
    }
    const auto reg_text = [](const std::string& linux_path) {
      std::string text;
      for (char c : ProgramSidePath(linux_path, true))
        text += c == '\\' ? "\\\\" : std::string(1, c);
      return text;
    };
    const std::string root_path = reg_text(root());
    const std::string temp_path = reg_text(dir_.File("temp"));
    WriteBytes(RegistryFile(),
               "REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\software\\Morvik]\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet "
               "Settings]\r\n\"ProxyEnable\"=-\r\n\"ProxyServer\"=-\r\n\r\n"
               "[HKEY_CURRENT_USER\\Environment]\r\n\"TEMP\"=\"" +
                   temp_path + "\"\r\n\"TMP\"=\"" + temp_path +
                   "\"\r\n\r\n"
                   "[HKEY_CURRENT_USER\\software\\Morvik\\Qadrel2\\etc]\r\n\"RootPath\"=\"" +
                   root_path + "\"\r\n" + more);
    CommandOutput(std::string(TAVELIN_SOURCE_DIR) + "/scripts/wine-run.sh '" + WindowsBuild() +
                  "' regedit /S '" + ProgramSidePath(RegistryFile(), true) + "' >/dev/null 2>&1");
  }

  // Section `deck` (Shift-JIS) of "nubra.ini" as the program itself writes it, the password
  // scrambled with this computer's key.
  static std::string NubraSection(const std::string& deck, const DeckSettings& s) {
    std::unique_ptr<Env> env = NewPosixEnv();
    WineVolumeEnv wine_volume(env.get());
    const std::string key = VolumeKey(WindowsBuild().empty() ? *env : wine_volume);
    return "[" + deck + "]\r\nRDH1_IP_Text=" + s.address + "\r\nRDH1_Port_Text=" + s.port +
           "\r\nRDH1_ID_Text=" + s.user_id +
           "\r\nRDH1_PW_Text=" + ScramblePassword(s.password, key) +
           "\r\nWRecSetting_ItemIndex=" + std::to_string(s.dual_recording) + "\r\n";
  }

  // Runs the program with `arguments` (UTF-8) and waits for it.
  RunResult Run(const std::vector<std::string>& arguments,
                const std::vector<std::string>& extra_environment = {}) {
    PluginProcess process;
    if (!Start(&process, arguments, extra_environment)) return RunResult{};
    return Finish(&process);
  }

  // Waits for a program started by Start() to end.
  RunResult Finish(PluginProcess* process) {
    RunResult result = process->Wait();
    if (started_ > 0) --started_;
    return result;
  }

  bool Start(PluginProcess* process, const std::vector<std::string>& arguments,
             const std::vector<std::string>& extra_environment = {}) {
    if (!wine_) {
      const std::string folder = dir_.File("run/" + std::to_string(runs_++) + "-");
      return process->Start(ProgramPath(), arguments, Environment(extra_environment), folder);
    }
    // Wine tells a program's end before its server has closed the program's handles: a copy
    // started at once could still meet the last one's single-instance mutex and end silently
    // as a second copy. Unless a test runs a second copy on purpose, wait until it is free.
    if (started_ == 0) {
      WineOutput("'" + WindowsBuild() + "/tests/tavelin_test_helper.exe' free NubraPlugIn");
    }
    if (!StartUnderWine(process, WindowsBuild() + "/src/tavelin.exe", arguments,
                        extra_environment)) {
      return false;
    }
    ++started_;
    return true;
  }

  // A program of the Windows build (its Linux path) under Wine. Arguments that are Linux paths
  // (a '/' first and another later) are given in their Z: drive form.
  bool StartUnderWine(PluginProcess* process, const std::string& program,
                      const std::vector<std::string>& arguments,
                      const std::vector<std::string>& extra_environment = {}) {
    const std::string folder = dir_.File("run/" + std::to_string(runs_++) + "-");
    std::vector<std::string> wine_arguments = {WindowsBuild(), program};
    for (const std::string& a : arguments) {
      const bool path = a.size() > 1 && a[0] == '/' && a.find('/', 1) != std::string::npos;
      wine_arguments.push_back(path ? ProgramSidePath(a, true) : a);
    }
    std::vector<std::string> environment = {
        "HOME=" + dir_.File("home"), "PATH=/usr/bin:/bin",
        "LANG=C.UTF-8",  // the arguments are UTF-8
    };
    if (const char* prefix = std::getenv("TAVELIN_WINE_PREFIX")) {
      environment.push_back(std::string("TAVELIN_WINE_PREFIX=") + prefix);
    }
    environment.insert(environment.end(), extra_environment.begin(), extra_environment.end());
    return process->Start(std::string(TAVELIN_SOURCE_DIR) + "/scripts/wine-run.sh", wine_arguments,
                          environment, folder);
  }

  // Everything the program sees of its surroundings; no display of any kind. An `extra`
  // entry "NAME=value" replaces the default of that name, and a bare "NAME" removes it.
  std::vector<std::string> Environment(const std::vector<std::string>& extra) const {
    std::vector<std::string> env = {
        "HOME=" + dir_.File("home"),
        "XDG_CONFIG_HOME=" + dir_.File("home/.config"),
        "XDG_RUNTIME_DIR=" + dir_.File("runtime"),
        "temp=" + dir_.File("temp"),
        "PATH=/usr/bin:/bin",
    };
    for (const std::string& entry : extra) {
      const std::string name = entry.substr(0, entry.find('=')) + "=";
      std::erase_if(env, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
      if (entry.find('=') != std::string::npos) env.push_back(entry);
    }
    return env;
  }

  static std::string ProgramPath() { return std::string(TAVELIN_BINARY_DIR) + "/src/tavelin"; }

 private:
  bool wine_;
  TempDir dir_;
  int runs_ = 0;
  int started_ = 0;  // copies started by Start() and not yet finished
};

// Names of the files in `folder` (UTF-8), sorted.
inline std::set<std::string> FileNames(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The lines of a CR LF text (the final CR LF ends the last line).
inline std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// A calendar day: days since 1970-01-01.
using Day = long;

// Local calendar days, for the dates the recorder's pages show and the files are named by.
class LocalCalendar {
 public:
  LocalCalendar() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    today_ = DayOf(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    minute_of_day_ = local.tm_hour * 60 + local.tm_min;
  }

  Day today() const { return today_; }
  Day At(int offset) const { return today_ + offset; }
  // Minutes since midnight now.
  int minute_of_day() const { return minute_of_day_; }

  static Day DayOf(int year, int month, int day) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = 12;
    return static_cast<Day>(::timegm(&t) / 86400);
  }
  static std::tm Civil(Day day) {
    const std::time_t at = static_cast<std::time_t>(day) * 86400 + 43200;
    std::tm t{};
    ::gmtime_r(&at, &t);
    return t;
  }
  // 0 = Sunday.
  static int Weekday(Day day) { return Civil(day).tm_wday; }

  // "mm/dd(曜)" as the recorder shows a date.
  static std::string PageDate(Day day) {
    static const char* const kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
    const std::tm t = Civil(day);
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d(", t.tm_mon + 1, t.tm_mday);
    return text + std::string(kWeekdays[t.tm_wday]) + ")";
  }

  // "yyyymmddhhnn" of `day` at `minute` minutes past midnight.
  static std::string Stamp(Day day, int minute) {
    const std::tm t = Civil(day);
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, minute / 60, minute % 60);
    return text;
  }

 private:
  Day today_ = 0;
  int minute_of_day_ = 0;
};

}  // namespace tavelin::testing

#endif  // TAVELIN_TESTS_E2E_HOST_WORLD_H_
