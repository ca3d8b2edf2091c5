// The reservation page fetch of a fetch run and the connection test behind Button1.
#ifndef TAVELIN_NET_RECORDER_PAGES_H_
#define TAVELIN_NET_RECORDER_PAGES_H_

#include <string>

#include "net/page_download.h"
#include "platform/env.h"

namespace tavelin {

// "http://" + address + ":" + port + "/program/program.htm", each box trimmed of bytes of
// code 32 or less; the colon is kept even when the port box is empty.
std::string ReservationPageUrl(const std::string& address_text, const std::string& port_text);

// Temp folder + "rdprogram.html": where the fetch leaves the page for the parsers. Empty
// when there is no temp folder.
std::string ReservationPageFile(Env& env);
// Temp folder + "test.html"; empty when there is no temp folder.
std::string ConnectionTestFile(Env& env);

// The reservation page as a fetch saved it: the file, and the very bytes written to it,
// which the parsers read (the file stays for whoever wants to look at the page).
struct SavedPage {
  std::string file;
  std::string bytes;
};

// Deletes the old reservation page, downloads it anew; true when a page arrived and was
// saved whole, and then `page` (when given) holds it. False without a download when there
// is no temp folder or the old page cannot be deleted. When false, `why` (when given) says
// why in one sentence for the log.
bool FetchReservationPage(Env& env, PageDownloader& downloader, const std::string& address_text,
                          const std::string& port_text, Status* why = nullptr,
                          SavedPage* page = nullptr);

// The text of a box that tells the outcome of a connection: "接続成功", or "接続失敗" with
// the reason on a second line when one is known.
std::string ConnectionVerdict(bool connected, const Status& why);

// What the connection test drives in the window.
class ConnectionTestView {
 public:
  virtual ~ConnectionTestView() = default;
  virtual void SetTestButtonEnabled(bool enabled) = 0;
  // A modal message box; returns when the user has closed it.
  virtual void ShowMessage(const std::string& text) = 0;
};

// Button1Click: disables the button, downloads the page into test.html, shows
// "接続成功" or "接続失敗" with the reason on its second line, deletes test.html, and enables the
// button again in every case (an error still passes on afterwards). Without a temp folder, or with
// a test.html left over that cannot be deleted, the verdict is "接続失敗" without a download.
void RunConnectionTest(Env& env, PageDownloader& downloader, ConnectionTestView& view,
                       const std::string& address_text, const std::string& port_text);

}  // namespace tavelin

#endif  // TAVELIN_NET_RECORDER_PAGES_H_
