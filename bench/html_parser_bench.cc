// Throughput of the HTML tokenizer on a reservation list page and on hostile input, and of
// loading a channel table file.
#include <benchmark/benchmark.h>

#include <string>

#include "channels/channel_csv.h"
#include "parse/html_parser.h"

namespace tavelin {
namespace {

std::string ReservationPage(int rows) {
  std::string page = "<html><body><table>\r\n<tbody>\r\n";
  for (int i = 0; i < rows; ++i) {
    page += "<tr><td nowrap><a href=\"b_proginfo.htm?" + std::to_string(i) +
            "\">ニュース&amp;天気 &#65;&nbsp;特集</a><img src=\"act_R1.gif\"></td>\r\n"
            "<td>CH12</td><td>12/25(月)</td><td>21:00-22:54</td><td>SP</td></tr>\r\n";
  }
  return page + "</tbody></table></body></html>\r\n";
}

void Tokenize(benchmark::State& state, const std::string& page) {
  for (auto _ : state) {
    THTMLParser parser;
    parser.SetText(page);
    parser.Execute();
    benchmark::DoNotOptimize(parser.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void BM_TokenizeReservationPage(benchmark::State& state) {
  Tokenize(state, ReservationPage(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_TokenizeReservationPage)->Arg(100)->Arg(1000)->Arg(10000);

void BM_TokenizeUnterminatedReference(benchmark::State& state) {
  Tokenize(state, "x" + std::string(state.range(0), '&') + std::string(state.range(0), '#'));
}
BENCHMARK(BM_TokenizeUnterminatedReference)->Arg(1 << 16)->Arg(1 << 20);

void BM_TokenizeUnterminatedTag(benchmark::State& state) {
  Tokenize(state, "<a " + std::string(state.range(0), '"'));
}
BENCHMARK(BM_TokenizeUnterminatedTag)->Arg(1 << 16)->Arg(1 << 20);

void BM_ReadChannelCsv(benchmark::State& state) {
  const std::vector<ChannelFieldDef> fields = {{"VideoDeckName", 256, "ToolName"},
                                               {"TVChannel", 30, "TVChannel"},
                                               {"TVChannelNo", 256, "TVChannelNo"}};
  std::string file = "\"ToolName\",\"TVChannel\",\"TVChannelNo\",\r\n";
  for (int i = 0; i < state.range(0); ++i) {
    file += "\"RD-X5\",\"ＮＨＫ総合" + std::to_string(i) + "\",\"" + std::to_string(i) + "\",\r\n";
  }
  for (auto _ : state) benchmark::DoNotOptimize(ReadChannelCsv(file, fields).size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_ReadChannelCsv)->Arg(1000);

}  // namespace
}  // namespace tavelin

BENCHMARK_MAIN();
