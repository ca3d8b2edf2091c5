#include "app/fetch_pipeline.h"

#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

#include "output/output_step.h"
#include "parse/script_parser.h"
#include "parse/table_parser.h"

namespace tavelin {
namespace {

// Closes both tables when open, the second also when the first one fails. Returns the
// first failure, if any.
std::exception_ptr CloseTables(ChannelTable& first, ChannelTable& second) {
  std::exception_ptr failure;
  for (ChannelTable* table : {&first, &second}) {
    try {
      if (table->Active()) table->Close();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  return failure;
}

std::string MessageOf(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "unknown error";
  }
}

// Shows a phase of the run: the status line, and a progress line under debug tracing.
void ShowPhase(FetchView& view, const std::string& status) {
  view.ShowStatus(status);
  if (view.DebugTracing()) view.LogLine(status + "...");
}

// Hands every reservation of the parsers to the output step, counting those read with a
// title or a channel (kept or dropped by the output step alike).
class OutputStepSink : public ReservationSink {
 public:
  explicit OutputStepSink(OutputContext output) : output_(std::move(output)) {}

  void Take(const WorkingReservation& reservation) override {
    // The table parser hands on its last record also when the page had no row at all.
    if (!reservation.info.Title.empty() || !reservation.info.ChannelText.empty()) ++read_;
    // The output step moves the times of a recurrence forward as it expands it.
    TvProgramInfo info = reservation.info;
    EmitReservation(output_, info, reservation.recurrence, reservation.tuner,
                    reservation.late_night_days);
  }
  int read() const { return read_; }

 private:
  const OutputContext output_;
  int read_ = 0;
};

}  // namespace

void RunFetch(const FetchJob& job) {
  ShowPhase(job.view, "予約一覧をダウンロード中");
  SavedPage page;
  Status why;
  if (job.download(&page, &why)) {
    job.view.StopWatchdog();
    // A channel table that cannot be read ends the run here, before the host's program
    // files are deleted: an empty list would be worse than the last one.
    OpenLookupTables(job.tv_ch_no, job.tv_ch_data);
    DeleteOldProgramFiles(OutputContext{job.env, job.output_folder, job.run});
    job.view.ShowProgress(50);
    ShowPhase(job.view, "解析中");
    if (!job.run.StopRequested()) {
      if (job.parse) {
        job.parse(page);
      } else {
        RunParseStep(
            ParseStepContext{
                .env = job.env,
                .tv_ch_no = job.tv_ch_no,
                .tv_ch_data = job.tv_ch_data,
                .deck_name = job.deck_name,
                .output_folder = job.output_folder,
                .run = job.run,
                .log_line = [&job](const std::string& line) { job.view.LogLine(line); }},
            page);
      }
    }
    CloseLookupTables(job.tv_ch_no, job.tv_ch_data);  // still open when no parse step ran
  } else {
    job.run.LogError("予約一覧のダウンロード失敗");
    if (!why.message().empty()) job.run.LogError(why.message());
  }
  job.view.ShowProgress(100);
  ShowPhase(job.view, "終了処理中");
}

std::optional<std::string> ChannelTableStations::StationFor(const std::string& key) {
  tv_ch_no_.First();
  tv_ch_data_.First();
  if (tv_ch_no_.Locate("VideoDeckName;TVChannelNo", {deck_name_, key})) {
    return tv_ch_no_.FieldByName("TVChannel");
  }
  if (tv_ch_data_.Locate("TVChannelNo", {key})) return tv_ch_data_.FieldByName("TVChannel");
  return std::nullopt;
}

void OpenLookupTables(ChannelTable& tv_ch_no, ChannelTable& tv_ch_data) {
  try {
    for (ChannelTable* table : {&tv_ch_no, &tv_ch_data}) {
      if (!table->Active()) table->Open();
      table->SetReadOnly(true);
    }
  } catch (...) {
    CloseTables(tv_ch_no, tv_ch_data);  // nothing was changed, so nothing is saved
    throw;
  }
}

void CloseLookupTables(ChannelTable& tv_ch_no, ChannelTable& tv_ch_data) {
  if (const std::exception_ptr failure = CloseTables(tv_ch_no, tv_ch_data)) {
    std::rethrow_exception(failure);
  }
}

void RunParseStep(const ParseStepContext& context, const SavedPage& page) {
  try {
    // Parsing holds the page and its pieces in memory several times over: a page that could
    // exhaust it is refused here, before anything is parsed.
    const uint64_t size = page.bytes.size();
    if (size > context.max_page_bytes) {
      throw std::runtime_error("予約一覧 " + page.file + " は " + std::to_string(size) +
                               " バイトあり、上限の " + std::to_string(context.max_page_bytes) +
                               " バイトを超えるので解析しません");
    }
    OpenLookupTables(context.tv_ch_no, context.tv_ch_data);

    ChannelTableStations stations(context.tv_ch_no, context.tv_ch_data, context.deck_name);
    OutputStepSink sink(OutputContext{context.env, context.output_folder, context.run});
    const ParseContext parse{.run = context.run,
                             .now = [&context] { return context.env.Now(); },
                             .stations = stations,
                             .sink = sink};
    WorkingReservation reservation;
    ParseTableLayout(page.bytes, parse, reservation);
    ParseScriptLayout(page.bytes, parse, reservation);
    if (sink.read() == 0 && !context.run.StopRequested() && context.log_line) {
      context.log_line("予約一覧に予約がひとつもありません: " + page.file + " (" +
                       std::to_string(size) + " バイト)");
    }
  } catch (...) {
    const std::exception_ptr close_failure = CloseTables(context.tv_ch_no, context.tv_ch_data);
    if (close_failure) context.run.LogError(MessageOf(close_failure));
    throw;
  }
  CloseLookupTables(context.tv_ch_no, context.tv_ch_data);
}

}  // namespace tavelin
