#include "output/output_step.h"

#include <cmath>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/path.h"
#include "platform/path_rules.h"

namespace tavelin {
namespace {

constexpr int kRetentionDays = 10;
constexpr int kHorizonDays = 14;

// Reservations for the car navigation service; the host must not see them.
constexpr std::string_view kNavigationMarker = "ﾃﾚﾋﾞdeﾅﾋﾞで必要";

// Character-aware substring search: a match starts only on a character boundary.
bool ContainsText(std::string_view text, std::string_view part) {
  if (part.empty()) return true;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, part.size(), part) == 0) return true;
    i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return false;
}

// True when `name` cannot leave its folder: no path delimiter (trail bytes of double-byte
// characters are not delimiters), no zero byte, which the system would take as its end, and
// where drives exist no colon, which would name a hidden stream of another file instead.
// A lead byte takes the next byte into its character only when that is a valid trail byte;
// otherwise a converter that lets the broken pair through would still see the delimiter.
bool IsPlainFileName(std::string_view name) {
  std::size_t i = 0;
  while (i < name.size()) {
    const char c = name[i];
    if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < name.size() &&
        IsTrailByte(static_cast<unsigned char>(name[i + 1]))) {
      i += 2;
      continue;
    }
    if (c == '\0' || IsPathDelimiter(c) || (c == ':' && PathHasDriveColon())) return false;
    ++i;
  }
  return true;
}

TDateTime Today(Env& env) { return DateOf(env.Now()); }

bool PassesDualRecording(int selection, int tuner) {
  if (selection == kDualRecordingR1 && tuner == kTunerR2) return false;
  if (selection == kDualRecordingR2 && tuner == kTunerR1) return false;
  return true;
}

void LogFileError(const OutputContext& context, std::string message, const Status& failure) {
  if (!failure.message().empty()) message += ": " + failure.message();
  context.run.LogError(message);
}

void WriteOne(const OutputContext& context, const TvProgramInfo& info) {
  const std::optional<std::string> path = ProgramFilePath(context.output_folder, info);
  if (!path) return;  // skipped like a file that cannot be created
  const Status written = WriteProgramInfoFile(context.env, info, *path, /*split_subtitle=*/false);
  if (written.ok()) return;
  // Usually another program holding the file longer than the system layer waits. The host
  // must learn that this program is missing, and above all when the name still holds the
  // program of an earlier run.
  std::string message = "プログラム情報ファイル " + *path + " を作成できません";
  if (context.env.FileExists(*path)) message += " (前回のファイルが残っています)";
  LogFileError(context, message, written);
}

// Moves `end` forward by whole days until it is not earlier than `start`. Long gaps are
// jumped in one step so that no value, however odd, keeps the loop going.
void CatchUpEnd(TDateTime start, TDateTime& end) {
  const double gap = start - end;
  if (gap > 2) end += std::floor(gap) - 1;
  while (start > end) end += 1;
}

}  // namespace

std::optional<std::string> ProgramFilePath(const std::string& output_folder,
                                           const TvProgramInfo& info) {
  std::string name = FormatStamp(info.StartTime);
  name += info.ChannelText;
  name += ".tvpi";
  if (!IsPlainFileName(name)) return std::nullopt;
  return output_folder + name;
}

void EmitReservation(const OutputContext& context, TvProgramInfo& info, int recurrence, int tuner,
                     int late_night_days) {
  if (info.Title.empty()) return;
  // A value that is no date-time at all cannot be named or expanded.
  if (!std::isfinite(info.StartTime) || !std::isfinite(info.EndTime)) return;
  if (info.StartTime < Today(context.env) - kRetentionDays) return;
  if (ContainsText(info.ChannelText, kNavigationMarker)) return;
  const int selection = context.run.DualRecording();
  if (!PassesDualRecording(selection, tuner)) return;

  WriteOne(context, info);
  while (recurrence != kNoRecurrence && info.StartTime < Today(context.env) + kHorizonDays) {
    info.StartTime = NextOccurrence(recurrence, info.StartTime + 1, late_night_days);
    CatchUpEnd(info.StartTime, info.EndTime);
    WriteOne(context, info);
  }
}

void DeleteOldProgramFiles(const OutputContext& context) {
  const std::string& folder = context.output_folder;
  if (folder.empty() || (folder.size() == 1 && IsPathDelimiter(folder[0]))) return;
  std::vector<std::string> names;
  if (!context.env.ListFiles(folder, ".tvpi", &names).ok()) return;
  for (const std::string& name : names) {
    if (context.run.StopRequested()) break;
    const Status deleted = context.env.DeleteFile(folder + name);
    if (!deleted.ok() && context.env.FileExists(folder + name)) {
      LogFileError(context, "古いプログラム情報ファイル " + folder + name + " を削除できません",
                   deleted);
    }
    context.run.Yield();
  }
}

}  // namespace tavelin
