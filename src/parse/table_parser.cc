#include "parse/table_parser.h"

#include <exception>
#include <string>
#include <string_view>

#include "parse/html_parser.h"
#include "parse/text_ops.h"

namespace tavelin {
namespace {

// Column numbers within a reservation: the link that opens it is column 1.
constexpr int kTitleColumn = 1;
constexpr int kChannelColumn = 2;
constexpr int kDateColumn = 3;
constexpr int kTimeColumn = 4;

class TableLayoutReader {
 public:
  TableLayoutReader(const ParseContext& context, WorkingReservation& reservation)
      : context_(context), reservation_(reservation), info_(reservation.info) {}

  void Run(std::string_view page) {
    reservation_.tuner = kNoTuner;
    reservation_.recurrence = kNoRecurrence;
    THTMLParser parser;
    ClearProgramInfo(info_);
    parser.SetText(std::string(page));
    parser.Execute();
    bool stopped = false;
    for (const THTMLElement item : parser.Items()) {
      if (context_.run.StopRequested()) {
        stopped = true;
        break;
      }
      if (item.IsTag()) {
        OnTag(item.AsTag());
      } else {
        OnText(item.AsText().Text());
      }
      context_.run.Yield();
    }
    // A stop in the middle of a row leaves a record without its times; handing it over
    // would write a program at 00:00 of its date.
    if (!stopped || times_read_) context_.sink.Take(reservation_);
  }

 private:
  void OnTag(const THTMLTag& tag) {
    const std::string& name = tag.Name();
    if (name == "TBODY") {
      flush_pending_ = true;
      column_ = 0;
      Flush();
    } else if (name == "A") {
      for (const THTMLParam& param : tag.Params()) {
        if (param.Name() == "HREF" && ContainsText(param.Value(), "b_proginfo.htm?")) {
          flush_pending_ = true;
          column_ = kTitleColumn;
        }
      }
      if (flush_pending_) Flush();
    } else if (name == "IMG") {
      // A tuner image does not count as a cell of its own.
      for (const THTMLParam& param : tag.Params()) {
        if (param.Name() != "SRC") continue;
        if (ContainsText(param.Value(), "act_R1", /*ignore_case=*/true)) {
          --column_;
          reservation_.tuner = kTunerR1;
        } else if (ContainsText(param.Value(), "act_R2", /*ignore_case=*/true)) {
          --column_;
          reservation_.tuner = kTunerR2;
        }
      }
    } else if (name == "TD" || name == "TH") {
      ++column_;
      in_cell_ = true;
      start_taken_ = false;
    } else if (name == "/TD" || name == "/TH") {
      // Only a time cell that has given its start stops taking text at its end.
      if (start_taken_) in_cell_ = false;
    }
  }

  void Flush() {
    context_.sink.Take(reservation_);
    reservation_.Reset();
    started_ = true;
    flush_pending_ = false;
    times_read_ = false;
  }

  void OnText(const std::string& decoded) {
    if (!started_ || !in_cell_) return;
    const std::string text = TrimBlanks(decoded);
    switch (column_) {
      case kTitleColumn:
        info_.Title += text;
        break;
      case kChannelColumn:
        OnChannel(text);
        break;
      case kDateColumn:
        OnDate(text);
        break;
      case kTimeColumn:
        OnTime(text);
        break;
      default:
        break;
    }
  }

  void OnChannel(const std::string& text) {
    info_.ChannelText = text;
    const std::string key = text.starts_with("CH") ? text.substr(2) : text;
    const std::optional<std::string> station = context_.stations.StationFor(key);
    info_.Station = station ? *station : text;
  }

  void OnDate(const std::string& text) {
    const TDateTime date = ReadCellDate(text, DateOf(context_.now()));
    info_.StartTime = date;
    info_.EndTime = date;
    if (info_.StartTime == kNoDate) {
      // No date: a repetition text, whose first day the time cell anchors.
      info_.StartTime = 0;
      reservation_.recurrence = RecurrenceFromText(text);
    }
  }

  void OnTime(const std::string& text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string::npos) {
      if (!start_taken_) {
        if (!Guarded("予約開始時間取得エラー", text, [&] { info_.StartTime += ReadTime(text); })) {
          return;
        }
        start_taken_ = true;
      } else {
        Guarded("予約終了時間取得エラー", text, [&] {
          info_.EndTime += ReadTime(text);
          FinishEnd();
        });
      }
      return;
    }
    if (start_taken_ || text == "-") return;
    // "hh:nn-hh:nn" in one text; start taken stays unset.
    if (!Guarded("予約開始時間取得エラー", text,
                 [&] { info_.StartTime += ReadTime(std::string_view(text).substr(0, dash)); })) {
      return;
    }
    Guarded("予約終了時間取得エラー", text, [&] {
      info_.EndTime += ReadTime(std::string_view(text).substr(dash + 1, 5));
      FinishEnd();
    });
  }

  // Anchors a repetition and lets a program that passes midnight end on the next day.
  void FinishEnd() {
    reservation_.AnchorRecurrence(context_.now());
    if (info_.StartTime > info_.EndTime) info_.EndTime += 1;
    times_read_ = true;
  }

  // Runs `step`; an error is logged with the cell's text and the walk goes on.
  template <typename Step>
  bool Guarded(const char* message, const std::string& text, Step step) {
    try {
      step();
      return true;
    } catch (const std::exception&) {
      context_.run.LogError(std::string(message) + ": [" + text + "]");
      return false;
    }
  }

  const ParseContext& context_;
  WorkingReservation& reservation_;
  TvProgramInfo& info_;
  int column_ = 0;
  bool in_cell_ = false;
  bool start_taken_ = false;
  bool started_ = false;
  bool flush_pending_ = false;
  // The time cell of the record being filled has given its start and its end.
  bool times_read_ = false;
};

}  // namespace

void ParseTableLayout(std::string_view page, const ParseContext& context,
                      WorkingReservation& reservation) {
  TableLayoutReader(context, reservation).Run(page);
}

}  // namespace tavelin
