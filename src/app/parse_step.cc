#include "app/parse_step.h"

#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/recorder_pages.h"
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

}  // namespace

StationLookup MakeStationLookup(ChannelTable& tv_ch_no, ChannelTable& tv_ch_data,
                                const std::string& deck_name) {
  return [&tv_ch_no, &tv_ch_data, deck_name](const std::string& key) -> std::optional<std::string> {
    tv_ch_no.First();
    tv_ch_data.First();
    if (tv_ch_no.Locate("VideoDeckName;TVChannelNo", {deck_name, key})) {
      return tv_ch_no.FieldByName("TVChannel");
    }
    if (tv_ch_data.Locate("TVChannelNo", {key})) return tv_ch_data.FieldByName("TVChannel");
    return std::nullopt;
  };
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

void RunParseStep(const ParseStepContext& context) {
  const std::string page_file =
      context.page_file.empty() ? ReservationPageFile(context.env) : context.page_file;
  try {
    // Parsing holds the page and its pieces in memory several times over: a page that could
    // exhaust it is refused here, before anything is read.
    uint64_t size = 0;
    int reservations = 0;
    if (context.env.GetFileSize(page_file, &size) && size > kMaxReservationPageBytes) {
      throw std::runtime_error("予約一覧 " + page_file + " は " + std::to_string(size) +
                               " バイトあり、上限の " + std::to_string(kMaxReservationPageBytes) +
                               " バイトを超えるので解析しません");
    }
    OpenLookupTables(context.tv_ch_no, context.tv_ch_data);

    const OutputContext output{context.env, context.output_folder, context.run};
    const ParseContext parse{
        context.env, page_file,
        context.run, MakeStationLookup(context.tv_ch_no, context.tv_ch_data, context.deck_name),
        output,      &reservations};
    WorkingReservation reservation;
    ParseTableLayout(parse, reservation);
    ParseScriptLayout(parse, reservation);
    if (reservations == 0 && !context.run.StopRequested() && context.log_line) {
      context.log_line("予約一覧に予約がひとつもありません: " + page_file + " (" +
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
