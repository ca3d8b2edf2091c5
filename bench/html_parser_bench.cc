// Throughput and heap of the HTML tokenizer on generated reservation list pages of 10,000 and
// 100,000 rows, with libxml2's HTML parser (htmlReadMemory) on the same bytes as the anchor
// in the same run; hostile pages that make the most elements per byte; and loading a channel
// table file. The ratios at the end compare the tokenizer with the anchor and the large page
// with the small one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "channels/channel_csv.h"
#include "heap_peak.h"
#include "parse/html_parser.h"
#include "ratio_report.h"

#ifdef TAVELIN_HAVE_LIBXML2
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>
#endif

namespace tavelin {
namespace {

// About 190 bytes a row: 1.9 MB for 10,000 rows.
std::string ReservationPage(int rows) {
  std::string page = "<html><body><table>\r\n<tbody>\r\n";
  for (int i = 0; i < rows; ++i) {
    page += "<tr><td nowrap><a href=\"b_proginfo.htm?" + std::to_string(i) +
            "\">ニュース&amp;天気 &#65;&nbsp;特集</a><img src=\"act_R1.gif\"></td>\r\n"
            "<td>CH12</td><td>12/25(月)</td><td>21:00-22:54</td><td>SP</td></tr>\r\n";
  }
  return page + "</tbody></table></body></html>\r\n";
}

// Made once per size, so that the tokenizer and the anchor read the same bytes.
const std::string& PageOfRows(int rows) {
  static std::map<int, std::string> pages;
  std::string& page = pages[rows];
  if (page.empty()) page = ReservationPage(rows);
  return page;
}

// Tokenizes `page` as a fetch does (the page's bytes handed over, then scanned) and walks
// the list; with `read_all`, every tag's name and parameters and every text's decoded form
// are made too, as an eager tokenizer (or libxml2) would. Counters: elements, and the heap's
// peak during one run as a multiple of the page's size (the page's own copy included).
void Tokenize(benchmark::State& state, const std::string& page, bool read_all = false) {
  int64_t peak = 0;
  int elements = 0;
  for (auto _ : state) {
    bench::ResetHeapPeak();
    const int64_t before = bench::HeapLiveBytes();
    {
      THTMLParser parser;
      parser.SetText(std::string(page));
      parser.Execute();
      std::size_t bytes = 0;
      for (const THTMLElement item : parser.Items()) {
        bytes += item.Raw().size();
        if (!read_all) continue;
        if (item.IsTag()) {
          const THTMLTag tag = item.AsTag();
          bytes += tag.Name().size();
          for (const THTMLParam& param : tag.Params()) {
            bytes += param.Name().size() + param.Value().size();
          }
        } else {
          bytes += item.AsText().Text().size();
        }
      }
      benchmark::DoNotOptimize(bytes);
      elements = parser.Count();
    }
    peak = std::max(peak, bench::HeapPeakBytes() - before);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.counters["elements"] = elements;
  state.counters["heap_x_page"] = static_cast<double>(peak) / static_cast<double>(page.size());
}

void BM_Tokenize(benchmark::State& state) {
  Tokenize(state, PageOfRows(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_Tokenize)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_TokenizeAndReadAll(benchmark::State& state) {
  Tokenize(state, PageOfRows(static_cast<int>(state.range(0))), /*read_all=*/true);
}
BENCHMARK(BM_TokenizeAndReadAll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

#ifdef TAVELIN_HAVE_LIBXML2
// libxml2 builds its tree of the same bytes, told they are Shift-JIS, without error output.
void BM_LibXml2HtmlReadMemory(benchmark::State& state) {
  const std::string& page = PageOfRows(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    htmlDocPtr doc = htmlReadMemory(
        page.data(), static_cast<int>(page.size()), "page.html", "Shift_JIS",
        HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_LibXml2HtmlReadMemory)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
#endif

// Pages of 8 MB that give the most elements per byte: empty tags, stray '>', tiny texts
// between empty tags, and tags cut by line ends (whose bytes go to the side buffer).
void BM_TokenizeHostile(benchmark::State& state) {
  static const char* const kPatterns[] = {"<>", ">", "x<>", "<a\n"};
  const std::string pattern = kPatterns[state.range(0)];
  std::string page;
  while (page.size() < (8u << 20)) page += pattern;
  state.SetLabel("\"" + (pattern == "<a\n" ? std::string("<a\\n") : pattern) + "\" x N");
  Tokenize(state, page);
}
BENCHMARK(BM_TokenizeHostile)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// Text that is one long unfinished reference after another, and a tag whose quotes never
// close: decoding and parameter cutting stay linear too.
void BM_ReadHostile(benchmark::State& state) {
  const bool references = state.range(0) == 0;
  const std::size_t size = 1 << 20;
  const std::string page = references ? "x" + std::string(size, '&') + std::string(size, '#')
                                      : "<a " + std::string(size, '"');
  state.SetLabel(references ? "unterminated references" : "unterminated quotes");
  Tokenize(state, page, /*read_all=*/true);
}
BENCHMARK(BM_ReadHostile)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

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

int main(int argc, char** argv) {
  return tavelin::bench::RunBenchmarksWithRatios(
      argc, argv,
      {
          {"tokenizer / libxml2, MB/s, 10k rows", "BM_Tokenize/10000",
           "BM_LibXml2HtmlReadMemory/10000", "bytes_per_second"},
          {"tokenizer / libxml2, MB/s, 100k rows", "BM_Tokenize/100000",
           "BM_LibXml2HtmlReadMemory/100000", "bytes_per_second"},
          {"tokenizer reading all / libxml2, MB/s, 10k rows", "BM_TokenizeAndReadAll/10000",
           "BM_LibXml2HtmlReadMemory/10000", "bytes_per_second"},
          {"tokenizer reading all / libxml2, MB/s, 100k rows", "BM_TokenizeAndReadAll/100000",
           "BM_LibXml2HtmlReadMemory/100000", "bytes_per_second"},
          {"tokenizer CPU time, 100k rows / 10k rows", "BM_Tokenize/100000", "BM_Tokenize/10000",
           "cpu_time"},
      });
}
