// The HTTP/1.1 client that every recorder request goes through: it builds the exact request
// bytes, reads the reply (Content-Length, chunked or until-close bodies) and keeps its
// connection, login state and last reply headers between requests.
#ifndef TAVELIN_NET_HTTP_CLIENT_H_
#define TAVELIN_NET_HTTP_CLIENT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/http_kinds.h"
#include "platform/env.h"

namespace tavelin {

// The parts of an absolute "http://host:port/path" URL that a request needs.
struct HttpUrl {
  std::string scheme;  // "http" unless the URL names another
  std::string host;    // without the port
  int port = 80;       // 80 when the URL gives no port or no number
  std::string path;    // "/" when the URL has none
};
HttpUrl ParseHttpUrl(std::string_view url);

enum class HttpOutcome {
  kCompleted,  // 2xx without Location, whole body read
  kRefused,    // the request bytes would carry CR or LF inside a line; nothing was sent
  kConnectFailed,
  kTransportFailed,  // send failed, peer closed early, time ran out, malformed reply
  kTooLarge,         // body beyond kMaxReplyBody or an unusable chunk size
  kNotCompleted,     // a whole reply arrived but it is not 2xx, or it carries Location
};

struct HttpResult {
  HttpOutcome outcome = HttpOutcome::kTransportFailed;
  int status = 0;           // 0 when no status line was read
  std::string status_line;  // as received, control bytes blanked; empty when none was read
  // Ok when completed; otherwise one sentence (Shift-JIS) that says what went wrong and
  // where: the recorder's address and port (and the proxy's, when one is used), or the page
  // with the status and reason phrase the recorder answered.
  Status why;
  bool completed() const { return outcome == HttpOutcome::kCompleted; }
};

class HttpClient {
 public:
  static constexpr std::size_t kMaxReplyBody = 64u << 20;
  static constexpr int kDefaultReceiveTimeoutMs = 60000;
  static constexpr int kDefaultRequestDeadlineMs = 180000;
  static constexpr const char* kAccept = "text/html, */*";
  static constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

  explicit HttpClient(Env& env);
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // An empty host means no proxy.
  void SetProxy(const std::string& host, int port);
  const std::string& proxy_host() const { return proxy_host_; }
  int proxy_port() const { return proxy_port_; }

  // When the user name is not empty every request carries a Basic Authorization line.
  void SetBasicCredentials(const std::string& user, const std::string& password);
  const std::string& basic_user() const { return basic_user_; }

  // Header lines (without CR LF) sent after the client's own on every request.
  std::vector<std::string>& extra_header_lines() { return extra_header_lines_; }

  // Header lines of the most recent reply, each whole ("Name: value"); replaced only
  // when a reply's header block arrives.
  const std::vector<std::string>& last_reply_headers() const { return last_reply_headers_; }

  // How long a read may wait for the next byte before the request fails (negative: no
  // limit). Connecting keeps the system's own limit.
  void set_receive_timeout_ms(int ms) { receive_timeout_ms_ = ms; }
  // How long one request may take from connecting to its last body byte (negative: no
  // limit); past it the request fails as when a read times out.
  void set_request_deadline_ms(int ms) { request_deadline_ms_ = ms; }

  // The request target as the request line carries it: the URL's path, or with a proxy
  // the absolute form scheme://host[:port]path (the port only when it is not 80).
  std::string RequestTarget(std::string_view url) const;

  // The exact request bytes for `url`; false when a line would hold CR or LF.
  bool BuildRequest(std::string_view url, std::string* request) const;

  // Sends GET `url` and appends the reply body (or as much as arrived) to `reply_body`.
  // A result that did not complete says why in `why`.
  HttpResult Get(std::string_view url, std::string* reply_body);

  // The status for a failure of the request last sent: `kind` with one sentence that names
  // the recorder (and the proxy) and holds `detail` (the system's text, the status and
  // phrase; for kinds the client does not tell itself, the sentence's first part).
  // `connecting` tells a connect that got no answer from a read that got none.
  Status Failure(Status::Kind kind, const std::string& detail, bool connecting = false) const;

  // True while a connection is held open for the next request.
  bool connected() const { return connection_ != nullptr; }

 private:
  class Reader;
  struct ReplyHead;
  struct BodyRead;
  HttpResult Exchange(const std::string& request, bool reused, std::uint64_t deadline_us,
                      std::string* reply_body, bool* nothing_received);
  // The status line and header block; sets the status and status line of `result` as soon
  // as the status line is read. Not ok says why the reply cannot be used.
  Status ReadHead(Reader& reader, HttpResult* result, ReplyHead* head) const;
  // A body of `content_length` bytes, or with none one that ends when the peer closes.
  BodyRead ReadPlainBody(Reader& reader, const std::string* content_length,
                         std::string* body) const;
  // A chunked body up to its last chunk and trailer.
  BodyRead ReadChunkedBody(Reader& reader, std::string* body) const;
  void CloseConnection();
  // The status for a read that did not end kOk; `read_result` is a Reader::Result.
  Status ReadFailure(int read_result, const Reader& reader) const;

  Env& env_;
  std::string proxy_host_;
  int proxy_port_ = 80;
  std::string basic_user_;
  std::string basic_password_;
  std::vector<std::string> extra_header_lines_;
  std::vector<std::string> last_reply_headers_;
  int receive_timeout_ms_ = kDefaultReceiveTimeoutMs;
  int request_deadline_ms_ = kDefaultRequestDeadlineMs;

  std::string request_url_;  // of the request under way, for its failure texts
  std::unique_ptr<TcpConnection> connection_;
  std::string connected_host_;
  int connected_port_ = 0;
  std::string pending_;  // bytes read past the end of the last reply
};

}  // namespace tavelin

#endif  // TAVELIN_NET_HTTP_CLIENT_H_
