// Downloads one recorder page into a file, answering one Digest or Basic login challenge
// with the user ID and password of the window.
#ifndef TAVELIN_NET_PAGE_DOWNLOAD_H_
#define TAVELIN_NET_PAGE_DOWNLOAD_H_

#include <cstdint>
#include <string>
#include <vector>

#include "net/http_client.h"
#include "platform/env.h"

namespace tavelin {

// What the page download reads from (and tells) the main window.
class DownloadHost {
 public:
  virtual ~DownloadHost() = default;
  // The RDH1_ID and RDH1_PW texts as they stand; trimmed here.
  virtual std::string UserId() = 0;
  virtual std::string Password() = 0;
  // The chosen proxy; an empty host means none. The port is text, 80 when not a number.
  virtual std::string ProxyHost() = 0;
  virtual std::string ProxyPort() = 0;
  // Whether progress lines are written; asked afresh before each line.
  virtual bool DebugTracing() = 0;
  // Writes one plain log line.
  virtual void LogLine(const std::string& line) = 0;
};

// Owned by the main window: holds the HTTP client and the nonce counter of the process.
class PageDownloader {
 public:
  PageDownloader(Env& env, DownloadHost& host);

  // GETs `url` (absolute http URL), answering one login challenge, and saves the reply
  // bodies to `file_name`. Returns the saved byte count; 0 when the last request did not
  // complete or the file cannot be created (nothing saved then), and `why` (when given)
  // then says what went wrong, in one sentence for the log; it is ok after a page was
  // saved. A failure while writing the file removes it and throws std::runtime_error.
  // `saved` (when given) receives the bytes written to the file, empty when none were.
  std::int64_t Download(const std::string& url, const std::string& file_name, Status* why = nullptr,
                        std::string* saved = nullptr);

  // Digest logins sent so far in this process.
  std::int32_t nonce_counter() const { return nonce_counter_; }
  HttpClient& client() { return client_; }

 private:
  std::int64_t Fetch(const std::string& url, const std::string& file_name, Status* why,
                     std::string* saved);
  void AnswerDigest(const std::string& url, const std::vector<std::string>& challenge);
  void AnswerBasic(const std::string& url);
  void Trace(const std::string& line);

  Env& env_;
  DownloadHost& host_;
  HttpClient client_;
  std::int32_t nonce_counter_ = 0;
};

}  // namespace tavelin

#endif  // TAVELIN_NET_PAGE_DOWNLOAD_H_
