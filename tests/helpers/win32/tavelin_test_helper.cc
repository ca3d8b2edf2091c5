// A second Windows process for the tests under Wine.
//
//   tavelin_test_helper.exe hold <ready file> <release file> <file>...
//       opens every file as a reader that shares reading only (as the host, a virus scanner
//       or a synchronising client does), creates <ready file>, holds the files until
//       <release file> exists (at most 120 s) and ends. The test creates the release file
//       once the program under test has met the held files, so no outcome depends on how
//       long anything takes. Exit code 2 when a file cannot be opened, 3 when the release
//       never came.
//   tavelin_test_helper.exe run NAME=VALUE... -- <program> <argument>...
//       starts <program> with the variables set (a Windows parent's environment is handed
//       down as it is; Wine would otherwise set TEMP and TMP from the prefix's registry),
//       waits for it and ends with its exit code.
//   tavelin_test_helper.exe free <mutex name>
//       ends with 0 once no process holds the named mutex (at most 30 s; 3 when it stays).
//       Wine hands a program's end to its parent before its server has closed the program's
//       handles, so a copy of Tavelin started right after another ended could still meet
//       its single-instance mutex and end silently as a second copy.
//   tavelin_test_helper.exe window
//       ends with 0 when a window can be made on this desktop, 1 when not (Wine's desktop
//       process, started afresh with its wineserver, may not be answering yet).
//
// Texts are UTF-16 throughout: the names under test have no form in the ANSI code page.
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace {

int Hold(const std::vector<std::wstring>& args) {
  if (args.size() < 3) return 64;
  std::vector<HANDLE> held;
  for (std::size_t i = 2; i < args.size(); ++i) {
    HANDLE file = ::CreateFileW(args[i].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    held.push_back(file);
  }
  HANDLE ready = ::CreateFileW(args[0].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready == INVALID_HANDLE_VALUE) return 2;
  ::CloseHandle(ready);
  const ULONGLONG deadline = ::GetTickCount64() + 120000;
  while (::GetFileAttributesW(args[1].c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (::GetTickCount64() > deadline) return 3;
    ::Sleep(1);
  }
  for (HANDLE file : held) ::CloseHandle(file);
  return 0;
}

// Quoted as the host's own programs split a command line: blanks separate outside quotes.
std::wstring Quoted(const std::wstring& arg) { return L"\"" + arg + L"\""; }

int Run(const std::vector<std::wstring>& args) {
  std::size_t i = 0;
  for (; i < args.size() && args[i] != L"--"; ++i) {
    const std::size_t equals = args[i].find(L'=');
    if (equals == std::wstring::npos) return 64;
    ::SetEnvironmentVariableW(args[i].substr(0, equals).c_str(),
                              args[i].substr(equals + 1).c_str());
  }
  if (i + 1 >= args.size()) return 64;
  std::wstring command_line = Quoted(args[i + 1]);
  for (std::size_t j = i + 2; j < args.size(); ++j) command_line += L" " + Quoted(args[j]);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(args[i + 1].c_str(), command_line.data(), nullptr, nullptr, TRUE, 0,
                        nullptr, nullptr, &startup, &process)) {
    return 127;
  }
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exit_code = 126;
  ::GetExitCodeProcess(process.hProcess, &exit_code);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(exit_code);
}

int Free(const std::vector<std::wstring>& args) {
  if (args.size() != 1) return 64;
  const ULONGLONG deadline = ::GetTickCount64() + 30000;
  while (HANDLE held = ::OpenMutexW(SYNCHRONIZE, FALSE, args[0].c_str())) {
    ::CloseHandle(held);
    if (::GetTickCount64() > deadline) return 3;
    ::Sleep(5);
  }
  return 0;
}

int Window() {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
  if (window == nullptr) return 1;
  ::DestroyWindow(window);
  return 0;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (argv == nullptr || count < 2) return 64;
  const std::wstring mode = argv[1];
  const std::vector<std::wstring> args(argv + 2, argv + count);
  ::LocalFree(argv);
  if (mode == L"hold") return Hold(args);
  if (mode == L"run") return Run(args);
  if (mode == L"free") return Free(args);
  if (mode == L"window") return Window();
  return 64;
}
