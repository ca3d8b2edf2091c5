#include "output/program_info.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "platform/ascii_text.h"
#include "platform/codepage.h"

namespace tavelin {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Byte offset of the first occurrence of the double-byte character `ch` that starts on a
// character boundary, so a trail byte never takes part in a match.
std::optional<std::size_t> FindDoubleByteChar(std::string_view text, std::string_view ch) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsLeadByte(static_cast<unsigned char>(text[i]))) {
      if (text.substr(i, 2) == ch) return i;
      i += 2;
    } else {
      ++i;
    }
  }
  return std::nullopt;
}

// The text strictly between the first 「 and the first 」 when the opening one comes first.
std::optional<std::string_view> BracketedPart(std::string_view text) {
  static const std::string_view kOpen = "「";
  static const std::string_view kClose = "」";
  const auto open = FindDoubleByteChar(text, kOpen);
  const auto close = FindDoubleByteChar(text, kClose);
  if (!open || !close || *open >= *close) return std::nullopt;
  const std::size_t from = *open + kOpen.size();
  return text.substr(from, *close - from);
}

std::string TwoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

}  // namespace

std::string FormatProgramInfo(const TvProgramInfo& info, bool split_subtitle) {
  const DateParts date = DecodeDate(info.StartTime);
  char year[16];
  std::snprintf(year, sizeof year, "%04d", date.year);

  std::string out;
  auto line = [&out](std::string_view key, std::string_view value) {
    out.append(key);
    out.append(value);
    out.append(kLineEnd);
  };
  line("Content-type: application/x-tv-program-info; charset=shift_jis", "");
  line("version: 1", "");
  line("station: ", TrimControls(info.Station));
  line("year: ", year);
  line("month: ", TwoDigits(date.month));
  line("date: ", TwoDigits(date.day));
  line("start: ", FormatHourMinute(info.StartTime));
  line("end: ", FormatHourMinute(info.EndTime));
  line("program-title: ", TrimControls(info.Title));
  if (split_subtitle) {
    auto subtitle = BracketedPart(info.Title);
    if (!subtitle) subtitle = BracketedPart(info.Description);
    if (subtitle) line("program-subtitle: ", *subtitle);
  }
  line("genre: ", std::to_string(info.Genre));
  line("", "");
  line("", TrimControls(info.Description));
  line("", "");
  return out;
}

Status WriteProgramInfoFile(Env& env, const TvProgramInfo& info, const std::string& path,
                            bool split_subtitle) {
  env.DeleteFile(path);  // a failure shows up as a failed creation below, or is harmless
  std::unique_ptr<WritableFile> file;
  if (Status created = env.NewWritableFile(path, /*append=*/false, &file); !created.ok()) {
    return created;
  }
  const std::string content = FormatProgramInfo(info, split_subtitle);
  const bool appended = file->Append(content).ok();
  const bool closed = file->Close().ok();
  if (!appended || !closed) {
    file.reset();
    env.DeleteFile(path);
    throw ProgramFileError("プログラム情報ファイルの書き込みに失敗しました: " + path);
  }
  return Status::OK();
}

}  // namespace tavelin
