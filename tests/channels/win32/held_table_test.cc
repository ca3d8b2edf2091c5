// The channel table's save against a second process that holds its file open as a reader
// (the host reading the table), under the system's real sharing rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "channels/channel_table.h"
#include "platform/path.h"
#include "platform/win32/win32_env.h"
#include "platform/win32/win32_files.h"
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

TEST(HeldTableTest, ATableHeldWhenItsSaveReplacesItIsSavedOnceReleasedWithNoStagedFile) {
  TempDir dir;
  std::unique_ptr<Env> env = NewWin32Env();
  const std::string file = dir.File(kTableTVChNoFile);
  const std::string before =
      "\"ToolName\",\"TVChannel\",\"TVChannelNo\",\r\n\"RD-X5\",\"ＮＨＫ\",\"011\",\r\n";
  WriteBytes(file, before);

  // Held by a reader from before the save until the save has been refused once and sleeps
  // before its next try; then released. The retries run on a clock that only their sleeps
  // advance, so the reader's and this process's speed change nothing.
  const std::string ready = dir.File("ready");
  const std::string release = dir.File("release");
  const std::wstring helper = Wide("Z:" TAVELIN_BINARY_DIR "/tests/tavelin_test_helper.exe");
  Holder holder(L"\"" + helper + L"\" hold \"" + Wide(ready) + L"\" \"" + Wide(release) + L"\" \"" +
                Wide(file) + L"\"");
  ASSERT_TRUE(holder.started());
  for (int i = 0; i < 4000 && !env->FileExists(ready); ++i) ::Sleep(5);
  ASSERT_TRUE(env->FileExists(ready));

  uint64_t clock_ms = 0;
  int refusals = 0;
  DWORD holder_exit = 999;
  win32::FileCallSeam seam;
  seam.now_ms = [&] { return clock_ms; };
  seam.sleep_ms = [&](int ms) {
    if (refusals++ == 0) {
      WriteBytes(release, "");
      holder_exit = holder.Wait();
    }
    clock_ms += static_cast<uint64_t>(ms);
  };
  win32::SetFileCallSeam(seam);
  ChannelTable table = ChannelTable::TableTVChNo(*env, dir.path());
  table.Open();
  table.Append();
  table.SetFieldByName("VideoDeckName", "RD-X5");
  table.SetFieldByName("TVChannel", "ＴＢＳ");
  table.SetFieldByName("TVChannelNo", "016");
  table.Post();
  EXPECT_NO_THROW(table.Close());
  win32::SetFileCallSeam({});
  EXPECT_GE(refusals, 1) << "the save never met the reader";
  EXPECT_EQ(holder_exit, 0u);

  EXPECT_EQ(ReadBytes(file), before + "\"RD-X5\",\"ＴＢＳ\",\"016\",\r\n");
  EXPECT_EQ(ReadBytes(dir.File("qdrTVCHNo.old")), before);
  std::vector<std::string> names;
  ASSERT_TRUE(env->ListFiles(dir.path(), "", &names).ok());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"qdrTVCHNo.csv", "qdrTVCHNo.old", "ready", "release"}));
}

}  // namespace
}  // namespace tavelin
