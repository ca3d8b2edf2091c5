// The channel table's save against a second process that holds its file open as a reader
// (the host reading the table), under the system's real sharing rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "channels/channel_table.h"
#include "platform/path.h"
#include "platform/win32/win32_env.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

// tavelin_test_helper.exe hold ..., started as its own process.
class Holder {
 public:
  explicit Holder(const std::wstring& command_line) {
    std::wstring line = command_line;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &process_) != 0;
    if (started_) ::CloseHandle(process_.hThread);
  }
  ~Holder() {
    if (started_) {
      ::TerminateProcess(process_.hProcess, 1);
      ::CloseHandle(process_.hProcess);
    }
  }
  bool started() const { return started_; }
  // The exit code once it ended, within 20 s.
  DWORD Wait() {
    DWORD code = 999;
    if (::WaitForSingleObject(process_.hProcess, 20000) == WAIT_OBJECT_0) {
      ::GetExitCodeProcess(process_.hProcess, &code);
    }
    return code;
  }

 private:
  bool started_ = false;
  PROCESS_INFORMATION process_{};
};

std::wstring Wide(const std::string& path) {
  std::wstring wide;
  win32::ToSystemPath(path, &wide);
  return wide;
}

TEST(HeldTableTest, ATableHeldFromTheStartOfItsSaveUntilLaterIsSavedWithNoStagedFile) {
  TempDir dir;
  std::unique_ptr<Env> env = NewWin32Env();
  const std::string file = dir.File(kTableTVChNoFile);
  const std::string before =
      "\"ToolName\",\"TVChannel\",\"TVChannelNo\",\r\n\"RD-X5\",\"ＮＨＫ\",\"011\",\r\n";
  WriteBytes(file, before);

  // Held from the moment the save makes its staged file until 1.5 s later.
  const std::string ready = dir.File("ready");
  const std::wstring helper = Wide("Z:" TAVELIN_BINARY_DIR "/tests/tavelin_test_helper.exe");
  Holder holder(L"\"" + helper + L"\" hold \"" + Wide(ready) + L"\" 1500 \"" +
                Wide(ChangeFileExt(file, ".$$$")) + L"\" \"" + Wide(file) + L"\"");
  ASSERT_TRUE(holder.started());
  for (int i = 0; i < 2000 && !env->FileExists(ready); ++i) ::Sleep(5);
  ASSERT_TRUE(env->FileExists(ready));

  ChannelTable table = ChannelTable::TableTVChNo(*env, dir.path());
  table.Open();
  table.Append();
  table.SetFieldByName("VideoDeckName", "RD-X5");
  table.SetFieldByName("TVChannel", "ＴＢＳ");
  table.SetFieldByName("TVChannelNo", "016");
  table.Post();
  const ULONGLONG start = ::GetTickCount64();
  ASSERT_NO_THROW(table.Close());
  EXPECT_GE(::GetTickCount64() - start, 1000u);  // it did wait for the reader
  EXPECT_EQ(holder.Wait(), 0u);

  EXPECT_EQ(ReadBytes(file), before + "\"RD-X5\",\"ＴＢＳ\",\"016\",\r\n");
  EXPECT_EQ(ReadBytes(dir.File("qdrTVCHNo.old")), before);
  std::vector<std::string> names;
  ASSERT_TRUE(env->ListFiles(dir.path(), "", &names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"qdrTVCHNo.csv", "qdrTVCHNo.old", "ready"}));
}

}  // namespace
}  // namespace tavelin
