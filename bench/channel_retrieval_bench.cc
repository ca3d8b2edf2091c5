// One channel list retrieval of 300 channel lines against a channel-number table of 3,000
// rows, where most lines miss the exact look-up so that the pattern search runs over every
// row. Each iteration starts from the same table file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "channels/channel_retrieval.h"
#include "platform/file_ops.h"
#include "platform/posix/posix_env.h"
#include "support/scripted_run.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

constexpr int kChannelLines = 300;
constexpr int kTableRows = 3000;
constexpr char kDeck[] = "RD-X5";

std::string Number(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%03d", n);
  return text;
}

// The host writes this deck's stations in half-width katakana, the recorder in full-width,
// so only the fuzzy pattern search finds them; every tenth line is found exactly. The
// stations beyond the page's 300 are written in full-width and match no line.
std::string HostStation(int deck, int n) {
  if (deck == 0 && n < kChannelLines && n % 10 != 0) return "ｹｰﾌﾞﾙ局" + Number(n);
  return "ケーブル局" + Number(n);
}

// kTableRows rows spread over `decks` deck names, the first being the retrieval's deck.
// The pattern search tests only the rows of that deck, so one deck is the slowest case.
std::string TableFile(int decks) {
  std::string csv = "\"ToolName\",\"TVChannel\",\"TVChannelNo\",\r\n";
  const int per_deck = kTableRows / decks;
  for (int deck = 0; deck < decks; ++deck) {
    const std::string deck_name = deck == 0 ? kDeck : "RD-" + std::to_string(100 + deck);
    for (int n = 0; n < per_deck; ++n) {
      csv += "\"" + deck_name + "\",\"" + HostStation(deck, n) + "\",\"" + Number(n) + "\",\r\n";
    }
  }
  return csv;
}

std::string SetupPage() {
  std::string page = "<html>\r\n<script>\r\nvar index=0;\r\n";
  for (int n = 0; n < kChannelLines; ++n) {
    page += "c1[index]=\"" + std::to_string(n) + "\";c5[index]=\"ケーブル局" + Number(n) +
            "\";c2[index]=\"C" + Number(n) + "\";index++;\r\n";
  }
  return page + "</script>\r\n</html>\r\n";
}

bool WriteWhole(Env& env, const std::string& path, const std::string& bytes) {
  std::unique_ptr<WritableFile> file = OpenForWriting(env, path, false);
  return file != nullptr && file->Append(bytes).ok() && file->Close().ok();
}

void BM_ChannelRetrieval(benchmark::State& state) {
  std::unique_ptr<Env> env = NewPosixEnv();
  const std::string root = TempFolder(*env) + "tavelin-channel-bench/";
  env->ForceFolders(root);
  const std::string table_file = TableFile(static_cast<int>(state.range(0)));
  const std::string page = SetupPage();

  ChannelTable table_tv = ChannelTable::TableTV(*env, root);
  ChannelTable table_ch_no = ChannelTable::TableTVChNo(*env, root);
  PatternMatcher matcher;
  ChannelRetrievalContext context;
  context.env = env.get();
  context.table_tv = &table_tv;
  context.table_tv_ch_no = &table_ch_no;
  context.matcher = &matcher;
  context.deck_name = kDeck;
  context.address = "127.0.0.1";
  context.port = "80";
  context.download = [&](const std::string&, const std::string& file, Status*) {
    return WriteWhole(*env, file, page) ? static_cast<std::int64_t>(page.size()) : 0;
  };
  ScriptedRun run;
  context.run = &run;
  std::string outcome;
  context.message_box = [&](const std::string& text) { outcome = text; };

  for (auto _ : state) {
    state.PauseTiming();
    WriteWhole(*env, root + kTableTVChNoFile, table_file);
    state.ResumeTiming();
    RetrieveChannelList(context);
  }
  // Every line found its rows: nothing was appended.
  table_ch_no.Open();
  const int rows = table_ch_no.RecordCount();
  table_ch_no.Close();
  if (outcome != kChannelSucceeded || rows != kTableRows) {
    state.SkipWithError("the retrieval did not update the expected rows");
  }
  for (const char* name : {kTableTVChNoFile, "qdrTVCHNo.old", kTableTVFile, "tvconvert.old"}) {
    env->DeleteFile(root + name);
  }
}
BENCHMARK(BM_ChannelRetrieval)->ArgName("decks")->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavelin

BENCHMARK_MAIN();
