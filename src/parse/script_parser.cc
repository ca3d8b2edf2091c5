#include "parse/script_parser.h"

#include <string>
#include <vector>

#include "parse/text_ops.h"
#include "platform/ascii_text.h"
#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "platform/items.h"

namespace tavelin {
namespace {

constexpr char kEndOfText = 26;
constexpr std::string_view kLineMark = "c1[";

// The pieces of one reservation line and the look-up of a field's value in them.
class ScriptLine {
 public:
  explicit ScriptLine(const std::string& line) {
    const std::size_t close = line.find(']');
    // A line without "]" has the empty index.
    if (close != std::string::npos)
      index_ = line.substr(kLineMark.size(), close - kLineMark.size());
    SplitFields(line, ';', &pieces_);
  }

  // The unquoted value of the piece named `array` + "[" index "]" ("c3[" gives "c3[0]"),
  // letters compared without regard to case; empty when no piece has that name.
  std::string Value(std::string_view array) const {
    const std::string name = std::string(array) + index_ + "]";
    for (const std::string& piece : pieces_) {
      const std::size_t equals = piece.find('=');
      if (equals == std::string::npos) continue;
      if (SameBytesIgnoringAsciiCase(std::string_view(piece).substr(0, equals), name)) {
        return UnquoteValue(std::string_view(piece).substr(equals + 1));
      }
    }
    return std::string();
  }

 private:
  std::string index_;
  std::vector<std::string> pieces_;
};

// Removes every "CH", never starting inside a double-byte character.
std::string RemoveEveryCh(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 2, "CH") == 0) {
      i += 2;
      continue;
    }
    const std::size_t width = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    out.append(text.substr(i, width));
    i += width;
  }
  return out;
}

}  // namespace

bool TextLineReader::Next(std::string* line) {
  line->clear();
  if (ended_ || position_ >= bytes_.size()) return false;
  while (position_ < bytes_.size()) {
    const char c = bytes_[position_];
    if (c == kEndOfText) {
      ended_ = true;
      return !line->empty();
    }
    ++position_;
    if (c == '\n') return true;
    if (c != '\r') line->push_back(c);
  }
  return true;
}

std::string NormalizeScriptChannel(std::string_view channel) {
  if (channel.starts_with("CH")) return RemoveEveryCh(channel);
  if (channel.starts_with("BS") || channel.starts_with("CS") || channel.starts_with("SP") ||
      channel.starts_with("C-") || channel.starts_with("L")) {
    return std::string(channel);
  }
  return "D" + std::string(channel.substr(0, channel.find('-')));
}

int TunerFromScriptValue(std::string_view value) {
  const int number = ReadInteger(value, 0);
  switch (number) {
    case 1:
    case 3:
    case 4:
    case 6:
    case 7:
      return kTunerR1;
    case 2:
    case 5:
    case 8:
      return kTunerR2;
    default:
      return kNoTuner;
  }
}

void ParseScriptLayout(const ParseContext& context, WorkingReservation& reservation) {
  std::string page;
  if (!OpenFileWithRetries(
          context.env, context.page_file, 1, [&context] { context.run.Yield(); }, &page))
    return;
  reservation.Reset();
  TvProgramInfo& info = reservation.info;

  TextLineReader reader(page);
  std::string raw_line;
  while (!context.run.StopRequested() && reader.Next(&raw_line)) {
    const std::string line = TrimBlanks(raw_line);
    if (line.starts_with(kLineMark)) {
      const ScriptLine fields(line);
      info.Title = fields.Value("c3[");
      reservation.tuner = TunerFromScriptValue(fields.Value("c4["));

      const std::string channel = NormalizeScriptChannel(fields.Value("c5["));
      std::optional<std::string> station;
      if (context.lookup_station) station = context.lookup_station(channel);
      info.Station = station ? *station : channel;
      info.ChannelText = channel;

      const std::string date = fields.Value("c6[");
      info.StartTime = ReadCellDate(date, DateOf(context.env.Now()));
      if (info.StartTime == kNoDate) {
        info.StartTime = 0;
        reservation.recurrence = RecurrenceFromText(date);
      }
      info.EndTime = ReadTime(fields.Value("c8[")) + info.StartTime;
      info.StartTime = ReadTime(fields.Value("c7[")) + info.StartTime;
      reservation.AnchorRecurrence(context.env.Now());
      if (info.EndTime < info.StartTime) info.EndTime += 1;

      Emit(context, reservation);
      reservation.Reset();
    }
    context.run.Yield();
  }
}

}  // namespace tavelin
