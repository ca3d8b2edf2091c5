#include "net/recorder_pages.h"

#include "net/file_ops.h"
#include "platform/ascii_text.h"

namespace tavelin {

std::string ReservationPageUrl(const std::string& address_text, const std::string& port_text) {
  return "http://" + std::string(TrimControls(address_text)) + ":" +
         std::string(TrimControls(port_text)) + "/program/program.htm";
}

std::string ReservationPageFile(Env& env) { return TempFile(env, "rdprogram.html"); }

std::string ConnectionTestFile(Env& env) { return TempFile(env, "test.html"); }

bool FetchReservationPage(Env& env, PageDownloader& downloader, const std::string& address_text,
                          const std::string& port_text) {
  std::string file = ReservationPageFile(env);
  // A page left from an earlier run must never be parsed as this run's.
  if (file.empty() || !RemoveLeftOverFile(env, file)) return false;
  return downloader.Download(ReservationPageUrl(address_text, port_text), file) > 0;
}

void RunConnectionTest(Env& env, PageDownloader& downloader, ConnectionTestView& view,
                       const std::string& address_text, const std::string& port_text) {
  view.SetTestButtonEnabled(false);
  try {
    std::string file = ConnectionTestFile(env);
    std::int64_t count = 0;
    if (!file.empty() && RemoveLeftOverFile(env, file)) {
      count = downloader.Download(ReservationPageUrl(address_text, port_text), file);
    }
    view.ShowMessage(count != 0 ? "接続成功" : "接続失敗");
    env.DeleteFile(file);
  } catch (...) {
    view.SetTestButtonEnabled(true);
    throw;
  }
  view.SetTestButtonEnabled(true);
}

}  // namespace tavelin
