#include "net/recorder_pages.h"

#include "platform/ascii_text.h"
#include "platform/file_ops.h"

namespace tavelin {

std::string ReservationPageUrl(const std::string& address_text, const std::string& port_text) {
  return "http://" + std::string(TrimControls(address_text)) + ":" +
         std::string(TrimControls(port_text)) + "/program/program.htm";
}

std::string ReservationPageFile(Env& env) { return TempFile(env, "rdprogram.html"); }

std::string ConnectionTestFile(Env& env) { return TempFile(env, "test.html"); }

namespace {

// True when `file` (empty: there is no temp folder) may be downloaded into; false with the
// reason otherwise.
bool PreparePageFile(Env& env, const std::string& file, Status* why) {
  if (file.empty()) {
    *why = Status(Status::Kind::kNoTempFolder, NoTempFolderText(env));
    return false;
  }
  // A page left from an earlier run must never be parsed as this run's.
  if (!RemoveLeftOverFile(env, file)) {
    *why = Status(Status::Kind::kFileError, "古いページを削除できません: " + file);
    return false;
  }
  return true;
}

}  // namespace

bool FetchReservationPage(Env& env, PageDownloader& downloader, const std::string& address_text,
                          const std::string& port_text, Status* why, SavedPage* page) {
  Status failure;
  SavedPage saved{ReservationPageFile(env), std::string()};
  const bool fetched = PreparePageFile(env, saved.file, &failure) &&
                       downloader.Download(ReservationPageUrl(address_text, port_text), saved.file,
                                           &failure, &saved.bytes) > 0;
  if (why != nullptr) *why = failure;
  if (fetched && page != nullptr) *page = std::move(saved);
  return fetched;
}

std::string ConnectionVerdict(bool connected, const Status& why) {
  if (connected) return "接続成功";
  if (why.ok() || why.message().empty()) return "接続失敗";
  return "接続失敗\n" + why.message();
}

void RunConnectionTest(Env& env, PageDownloader& downloader, ConnectionTestView& view,
                       const std::string& address_text, const std::string& port_text) {
  view.SetTestButtonEnabled(false);
  try {
    const std::string file = ConnectionTestFile(env);
    Status why;
    std::int64_t count = 0;
    if (PreparePageFile(env, file, &why)) {
      count = downloader.Download(ReservationPageUrl(address_text, port_text), file, &why);
    }
    view.ShowMessage(ConnectionVerdict(count != 0, why));
    env.DeleteFile(file);
  } catch (...) {
    view.SetTestButtonEnabled(true);
    throw;
  }
  view.SetTestButtonEnabled(true);
}

}  // namespace tavelin
