// The parse step of a fetch run: opens the two channel look-up tables read-only, runs the
// table-layout parser and then the script-array parser over the saved reservation page, and
// closes the tables whatever happens.
#ifndef TAVELIN_APP_PARSE_STEP_H_
#define TAVELIN_APP_PARSE_STEP_H_

#include <cstdint>
#include <functional>
#include <string>

#include "channels/channel_table.h"
#include "parse/parse_context.h"
#include "platform/env.h"
#include "platform/run_control.h"

namespace tavelin {

// The largest saved page the parsers accept: far above any real reservation list (a few
// hundred kilobytes), and enough for a refusal body and a page at the download's cap.
inline constexpr uint64_t kMaxReservationPageBytes = 128u << 20;

struct ParseStepContext {
  Env& env;
  ChannelTable& tv_ch_no;    // TableTVChNo
  ChannelTable& tv_ch_data;  // TableTVChData
  std::string deck_name;
  // Ends with a path delimiter.
  std::string output_folder;
  // The saved page; empty: "rdprogram.html" in the temp folder.
  std::string page_file;
  // The dual-recording selection, stop, yield and the error log.
  RunControl& run;
  // Writes a plain line to the log; may be empty.
  std::function<void(const std::string& message)> log_line;
};

// The host's station name for a channel key: TableTVChNo by (deck name, key), else
// TableTVChData by key; both tables are moved to their first record before the look-up.
StationLookup MakeStationLookup(ChannelTable& tv_ch_no, ChannelTable& tv_ch_data,
                                const std::string& deck_name);

// Opens TableTVChNo and TableTVChData read-only, each unless it is open already. When one
// cannot be opened, the other is closed again and the error passes on.
void OpenLookupTables(ChannelTable& tv_ch_no, ChannelTable& tv_ch_data);

// Closes both tables when open; the first failure passes on after both were tried.
void CloseLookupTables(ChannelTable& tv_ch_no, ChannelTable& tv_ch_data);

// Opens the tables (OpenLookupTables) and runs both parsers. A page larger than
// kMaxReservationPageBytes is refused before any parsing with an error naming its size. An
// error of a parser (for instance a page that cannot be read) ends the step and passes on
// after the tables are closed; an error of a close then goes to the log. Without a parser
// error, the first error of a close passes on, the other table being closed all the same.
// A page in which neither parser read a single reservation (the page of another device, a
// login page) gets a plain log line with its size.
void RunParseStep(const ParseStepContext& context);

}  // namespace tavelin

#endif  // TAVELIN_APP_PARSE_STEP_H_
