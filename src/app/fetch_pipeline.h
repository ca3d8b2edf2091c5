// The fetch: one pass from the recorder's reservation page to the host's program files.
//
//   download ──► page bytes ──► table-layout parser ─┐
//   (rdprogram.html saved        script-array parser ─┴─► ReservationSink ──► output step
//    byte for byte)              (station look-up through the channel tables)  (.tvpi files)
//
// RunFetch() is that pass, read top to bottom; RunParseStep() is its parse step. Neither
// knows a window: the main window drives the run through FetchJob and shows its progress
// through FetchView, and the tests run it with stand-ins for both.
#ifndef TAVELIN_APP_FETCH_PIPELINE_H_
#define TAVELIN_APP_FETCH_PIPELINE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "channels/channel_table.h"
#include "net/recorder_pages.h"
#include "parse/reservation.h"
#include "platform/env.h"
#include "platform/run_control.h"
#include "platform/status.h"

namespace tavelin {

// The largest page the parsers accept: far above any real reservation list (a few hundred
// kilobytes), and enough for a refusal body and a page at the download's cap.
inline constexpr uint64_t kMaxReservationPageBytes = 128u << 20;

// What a fetch shows while it runs. The main window implements it with its status line,
// progress bar, watchdog timer and log.
class FetchView {
 public:
  virtual ~FetchView() = default;
  virtual void ShowStatus(const std::string& status) = 0;
  virtual void ShowProgress(int percent) = 0;
  // The page has arrived: the download's watchdog is no longer needed.
  virtual void StopWatchdog() = 0;
  // Whether progress lines are written; asked afresh before each line.
  virtual bool DebugTracing() = 0;
  // Writes one plain log line (error lines go through RunControl::LogError).
  virtual void LogLine(const std::string& line) = 0;
};

struct ParseStepContext {
  Env& env;
  ChannelTable& tv_ch_no;    // TableTVChNo
  ChannelTable& tv_ch_data;  // TableTVChData
  std::string deck_name;
  // Ends with a path delimiter.
  std::string output_folder;
  // The dual-recording selection, stop, yield and the error log.
  RunControl& run;
  // Writes a plain line to the log; may be empty.
  std::function<void(const std::string& message)> log_line;
  // A larger page is refused before any parsing.
  uint64_t max_page_bytes = kMaxReservationPageBytes;
};

// Everything one fetch needs. The two steps are replaceable for tests of the window.
struct FetchJob {
  Env& env;
  RunControl& run;
  FetchView& view;
  ChannelTable& tv_ch_no;
  ChannelTable& tv_ch_data;
  std::string deck_name;
  // Ends with a path delimiter.
  std::string output_folder;
  // The reservation page download: true when the page was saved, with its file and bytes
  // in `page`; else false with the reason in `why` (may stay ok when none is known).
  std::function<bool(SavedPage* page, Status* why)> download;
  // The parse step over the saved page; empty: RunParseStep.
  std::function<void(const SavedPage& page)> parse;
};

// One fetch: status "予約一覧をダウンロード中", download; when it failed the error line
// "予約一覧のダウンロード失敗" (and its reason) and the old program files stay. Else the watchdog
// goes off, the two look-up tables are opened (a table that cannot be read ends the run
// here, before the old program files are deleted), the old program files are deleted,
// progress 50 and status "解析中", the parse step unless a stop was requested, and the tables
// are closed. Last, progress 100 and status "終了処理中". With debug tracing each status is
// also a plain log line ending in "...". Errors of the tables, of the deletion and of the
// parse step pass on.
void RunFetch(const FetchJob& job);

// The host's station name for a channel key: TableTVChNo by (deck name, key), else
// TableTVChData by key; both tables are moved to their first record before the look-up.
class ChannelTableStations : public StationLookup {
 public:
  ChannelTableStations(ChannelTable& tv_ch_no, ChannelTable& tv_ch_data, std::string deck_name)
      : tv_ch_no_(tv_ch_no), tv_ch_data_(tv_ch_data), deck_name_(std::move(deck_name)) {}
  std::optional<std::string> StationFor(const std::string& key) override;

 private:
  ChannelTable& tv_ch_no_;
  ChannelTable& tv_ch_data_;
  std::string deck_name_;
};

// Opens TableTVChNo and TableTVChData read-only, each unless it is open already. When one
// cannot be opened, the other is closed again and the error passes on.
void OpenLookupTables(ChannelTable& tv_ch_no, ChannelTable& tv_ch_data);

// Closes both tables when open; the first failure passes on after both were tried.
void CloseLookupTables(ChannelTable& tv_ch_no, ChannelTable& tv_ch_data);

// The parse step: opens the tables (OpenLookupTables), runs the table-layout parser and then
// the script-array parser over the page's bytes, each reservation going to the output step
// (EmitReservation), and closes the tables. A page larger than max_page_bytes is refused
// before any parsing with an error naming its size. An error of a parser or of the output
// step ends the step and passes on after the tables are closed; an error of a close then
// goes to the log. Without such an error, the first error of a close passes on, the other
// table being closed all the same. A page in which neither parser read a single reservation
// (the page of another device, a login page) gets a plain log line with its size.
void RunParseStep(const ParseStepContext& context, const SavedPage& page);

}  // namespace tavelin

#endif  // TAVELIN_APP_FETCH_PIPELINE_H_
