// Throughput of the small text operations that run for every line of a reservation page and
// every Digest login.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "net/md5.h"
#include "parse/text_ops.h"
#include "platform/items.h"

namespace tavelin {
namespace {

void BM_Md5Hex(benchmark::State& state) {
  const std::string bytes(static_cast<std::size_t>(state.range(0)), 'x');
  for (auto _ : state) benchmark::DoNotOptimize(Md5Hex(bytes));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Md5Hex)->Arg(64)->Arg(64 << 10);

void BM_SplitItemsChallenge(benchmark::State& state) {
  const std::string line =
      "Digest realm=\"RD Recorder\", nonce=\"4a6f1e2b3c4d5e6f\", algorithm=MD5, "
      "qop=\"auth\", opaque=\"0123456789abcdef\"";
  for (auto _ : state) {
    const std::vector<std::string> items = SplitItems(line);
    benchmark::DoNotOptimize(ItemValue(items, "nonce"));
  }
}
BENCHMARK(BM_SplitItemsChallenge);

void BM_ReadDateAndTime(benchmark::State& state) {
  const TDateTime today = EncodeDate(2024, 1, 5);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReadDate("2006/12/25(月)", today));
    benchmark::DoNotOptimize(ReadDate("12/25", today));
    benchmark::DoNotOptimize(ReadTime("25:30"));
  }
}
BENCHMARK(BM_ReadDateAndTime);

void BM_SplitScriptLine(benchmark::State& state) {
  const std::string line =
      "c1[12]=1;c2[12]=\"2006/12/25(月)\";c3[12]=\"ドラマ「予約」\";c4[12]=5;c5[12]=\"011\";"
      "c6[12]=\"21:00\";c7[12]=\"21:54\"";
  std::vector<std::string> fields;
  for (auto _ : state) {
    SplitFields(line, ';', &fields);
    benchmark::DoNotOptimize(fields.data());
  }
}
BENCHMARK(BM_SplitScriptLine);

// One script line of 1 MB and of 4 MB, as a hostile page could send it: reservation pieces,
// each tenth one a quoted field with quotes and commas inside.
void BM_SplitLongLine(benchmark::State& state) {
  std::string line;
  for (int i = 0; line.size() < static_cast<std::size_t>(state.range(0)); ++i) {
    line += i % 10 == 9 ? "\"say \"\"hi\"\", ok\",;" : "c3[12]=\"ドラマ「予約」\";";
  }
  std::vector<std::string> fields;
  for (auto _ : state) {
    SplitFields(line, ';', &fields);
    benchmark::DoNotOptimize(fields.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(line.size()));
  state.counters["fields"] = static_cast<double>(fields.size());
}
BENCHMARK(BM_SplitLongLine)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

void BM_FoldWidthAndTrim(benchmark::State& state) {
  std::string text;
  while (text.size() < 1024) text += "ＮＨＫ総合１ ﾃﾚﾋﾞdeﾅﾋﾞ　";
  for (auto _ : state) benchmark::DoNotOptimize(TrimBlanks(FoldWidth(text)));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_FoldWidthAndTrim);

}  // namespace
}  // namespace tavelin

BENCHMARK_MAIN();
