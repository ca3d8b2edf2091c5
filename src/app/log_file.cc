#include "app/log_file.h"

#include <memory>

#include "app/version.h"
#include "platform/date_time.h"
#include "platform/path.h"

namespace tavelin {
namespace {

constexpr char kLineEnd[] = "\r\n";

// True when `text` holds something besides control bytes and spaces.
bool HasContent(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) > 0x20) return true;
  }
  return false;
}

}  // namespace

TLogFile::TLogFile(Env& env) : env_(env) {}

TLogFile::~TLogFile() {
  if (active_) WriteEndLine();
}

bool TLogFile::HasFileName() const { return HasContent(log_file_name_); }

void TLogFile::SetActive(bool active) {
  if (active == active_) return;
  if (active) {
    active_ = true;
    WriteStartHeader();
  } else {
    WriteEndLine();
    active_ = false;
  }
}

bool TLogFile::WriteLine(const std::string& message, bool error) {
  if (!active_ || !HasFileName()) return false;
  std::string line = message;
  if (error) line = ExtractFileName(log_file_name_) + ": " + message + " (C.ERROR)";
  return AppendToFile(line + kLineEnd);
}

void TLogFile::WriteStartHeader() {
  if (!active_ || !HasFileName()) return;
  // A bare name lives beside the program, not in whatever folder the host started us in.
  if (!IsAbsolutePath(log_file_name_)) {
    log_file_name_ = ExtractFilePath(env_.ProgramPath()) + log_file_name_;
  }
  const std::string folder = ExtractFilePath(log_file_name_);
  if (!folder.empty() && !env_.FolderExists(folder)) env_.CreateFolder(folder);

  TVersion version;
  ReadVersion(env_, env_.ProgramPath(), &version);
  const std::string header = "--- START ---\t" + FormatDateTimeText(env_.Now()) + kLineEnd +
                             "Version " + version.file_version + kLineEnd;
  if (!AppendToFile(header)) {
    // Without a usable file the program runs on without a log.
    SetActive(false);
  }
}

void TLogFile::WriteEndLine() {
  if (!active_ || !HasFileName()) return;
  const TDateTime now = env_.Now();
  AppendToFile("--- END ---\t" + FormatDate(now) + "\t" + FormatTime(now) + kLineEnd);
}

bool TLogFile::AppendToFile(const std::string& text) {
  std::unique_ptr<WritableFile> file;
  if (!env_.NewWritableFile(log_file_name_, true, &file).ok()) return false;
  const bool written = file->Append(text).ok() && file->Flush().ok();
  const bool closed = file->Close().ok();
  return written && closed;
}

}  // namespace tavelin
