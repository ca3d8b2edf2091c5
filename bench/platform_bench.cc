// Costs of the platform operations that the program repeats many times per fetch: text
// conversion, the debug switch read from the host INI before every progress line, the log
// opening its file for every line, and listing the output folder.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/posix/posix_env.h"
#include "platform/profile_ini.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

// A folder under /tmp that lives as long as the process.
const std::string& BenchFolder() {
  static const std::string folder = [] {
    std::string pattern = "/tmp/tavelin-bench-XXXXXX";
    return std::string(::mkdtemp(pattern.data())) + "/";
  }();
  return folder;
}

std::string PageText(std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += "<td>予約一覧 ﾃﾚﾋﾞ 20:30～21:00 NHK総合</td>\r\n";
  return text;
}

void BM_Cp932ToUtf8(benchmark::State& state) {
  const std::string page = PageText(static_cast<std::size_t>(state.range(0)));
  std::string out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Cp932ToUtf8(page, &out));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_Cp932ToUtf8)->Arg(64)->Arg(64 << 10);

void BM_ReadProfileString(benchmark::State& state) {
  auto env = NewPosixEnv();
  const std::string file = BenchFolder() + "qdr.ini";
  std::string ini;
  for (int s = 0; s < 10; ++s) {
    ini += "[Section" + std::to_string(s) + "]\r\n";
    for (int k = 0; k < 20; ++k) ini += "Key" + std::to_string(k) + "=Value\r\n";
  }
  ini += "[TSetup]\r\nDebug_Checked=True\r\n";
  WriteProfileString(*env, file, "Dummy", "k", "v");
  auto writer = OpenForWriting(*env, file, false);
  writer->Append(ini);
  writer->Close();
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReadProfileString(*env, file, "TSetup", "Debug_Checked", ""));
  }
}
BENCHMARK(BM_ReadProfileString);

void BM_AppendLogLine(benchmark::State& state) {
  auto env = NewPosixEnv();
  const std::string file = BenchFolder() + "qdr.log";
  for (auto _ : state) {
    auto log = OpenForWriting(*env, file, true);
    log->Append("2024-06-01 20:30:00 予約一覧のダウンロード失敗\r\n");
    benchmark::DoNotOptimize(log->Close().ok());
  }
  env->DeleteFile(file);
}
BENCHMARK(BM_AppendLogLine);

void BM_ListFiles(benchmark::State& state) {
  auto env = NewPosixEnv();
  const std::string folder = BenchFolder() + "out/";
  env->ForceFolders(folder);
  for (int i = 0; i < state.range(0); ++i) {
    OpenForWriting(*env, folder + "20240601" + std::to_string(1000 + i) + "ＮＨＫ総合.tvpi", false);
  }
  std::vector<std::string> names;
  for (auto _ : state) {
    benchmark::DoNotOptimize(env->ListFiles(folder, ".tvpi", &names).ok());
  }
}
BENCHMARK(BM_ListFiles)->Arg(500);

}  // namespace
}  // namespace tavelin

BENCHMARK_MAIN();
