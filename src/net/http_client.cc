#include "net/http_client.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "platform/ascii_text.h"
#include "platform/codepage.h"

namespace tavelin {

namespace {

constexpr std::size_t kMaxHeaderLine = std::size_t{64} * 1024;
constexpr std::size_t kMaxHeaderBlock = std::size_t{1024} * 1024;
constexpr std::size_t kReadChunk = std::size_t{64} * 1024;

bool HasLineBreak(std::string_view text) {
  return text.find('\r') != std::string_view::npos || text.find('\n') != std::string_view::npos;
}

bool ContainsIgnoreCase(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return false;
  for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (SameBytesIgnoringAsciiCase(text.substr(i, part.size()), part)) return true;
  }
  return false;
}

// The value of the first header named `name` (any letter case); false when there is none.
bool FindHeader(const std::vector<std::string>& headers, std::string_view name,
                std::string* value) {
  for (const std::string& line : headers) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (SameBytesIgnoringAsciiCase(TrimSpacesAndTabs(std::string_view(line).substr(0, colon)),
                                   name)) {
      *value = std::string(TrimSpacesAndTabs(std::string_view(line).substr(colon + 1)));
      return true;
    }
  }
  return false;
}

// Digits only, no sign; false when empty, not decimal or above `limit`.
bool ParseDecimal(std::string_view text, std::uint64_t limit, std::uint64_t* value) {
  if (text.empty()) return false;
  std::uint64_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + static_cast<std::uint64_t>(c - '0');
    if (result > limit) return false;
  }
  *value = result;
  return true;
}

bool ParseHex(std::string_view text, std::uint64_t limit, std::uint64_t* value) {
  if (text.empty()) return false;
  std::uint64_t result = 0;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return false;
    result = result * 16 + static_cast<std::uint64_t>(digit);
    if (result > limit) return false;
  }
  *value = result;
  return true;
}

std::string Base64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    std::uint32_t n = (static_cast<unsigned char>(bytes[i]) << 16) |
                      (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                      static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += rest == 2 ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace

HttpUrl ParseHttpUrl(std::string_view url) {
  HttpUrl result;
  result.scheme = "http";
  std::size_t scheme_end = url.find("://");
  if (scheme_end != std::string_view::npos) {
    result.scheme = std::string(url.substr(0, scheme_end));
    url.remove_prefix(scheme_end + 3);
  }
  std::size_t slash = url.find('/');
  std::string_view authority = url.substr(0, slash);
  result.path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
  std::size_t colon = authority.find(':');
  result.host = std::string(authority.substr(0, colon));
  if (colon != std::string_view::npos) {
    std::uint64_t port = 0;
    if (ParseDecimal(authority.substr(colon + 1), 65535, &port) && port > 0) {
      result.port = static_cast<int>(port);
    }
  }
  return result;
}

// Buffered reads from the connection; bytes read past the reply stay in `pending`. Consumed
// bytes are skipped by an offset and dropped only when more must be read, so a reply made
// of many tiny pieces costs time in proportion to its size.
class HttpClient::Reader {
 public:
  enum class Result { kOk, kClosed, kError, kTooLong };

  // `deadline_us` is a time of Env::NowMicros(); no read waits past it.
  Reader(Env& env, TcpConnection& connection, std::string& pending, int timeout_ms,
         std::uint64_t deadline_us)
      : env_(env),
        connection_(connection),
        pending_(pending),
        timeout_ms_(timeout_ms),
        deadline_us_(deadline_us) {}
  ~Reader() { pending_.erase(0, start_); }

  bool received_any() const { return received_any_; }
  // Why the last kError came: kTimedOut (no byte within the read limit), kDeadlinePassed
  // or kReceiveFailed, the message holding the system's text.
  const Status& failure() const { return failure_; }

  // One line up to LF; a CR before the LF is dropped. kTooLong when the line (without its
  // line end) is longer than `max`, however the bytes arrive.
  Result ReadLine(std::string* line, std::size_t max) {
    std::size_t searched = start_;
    for (;;) {
      const std::size_t lf = pending_.find('\n', searched);
      if (lf != std::string::npos) {
        const std::size_t end = (lf > start_ && pending_[lf - 1] == '\r') ? lf - 1 : lf;
        if (end - start_ > max) return Result::kTooLong;
        line->assign(pending_, start_, end - start_);
        start_ = lf + 1;
        return Result::kOk;
      }
      // Only the last byte may still turn out to be the CR of the line end.
      if (pending_.size() - start_ > max + 1) return Result::kTooLong;
      // Fill() drops the consumed bytes: the unsearched part then starts here.
      const std::size_t unconsumed = pending_.size() - start_;
      Result result = Fill();
      if (result != Result::kOk) return result;
      searched = unconsumed;
    }
  }

  // Exactly `count` bytes appended to `out` (what arrived, when the peer stops early).
  Result ReadExact(std::size_t count, std::string* out) {
    while (count > 0) {
      if (start_ == pending_.size()) {
        Result result = Fill();
        if (result != Result::kOk) return result;
      }
      const std::size_t take = std::min(count, pending_.size() - start_);
      out->append(pending_, start_, take);
      start_ += take;
      count -= take;
    }
    return Result::kOk;
  }

  // Everything up to the peer's close; kTooLong once `out` would pass `max`.
  Result ReadToClose(std::size_t max, std::string* out) {
    for (;;) {
      if (start_ < pending_.size()) {
        if (out->size() + pending_.size() - start_ > max) return Result::kTooLong;
        out->append(pending_, start_);
        start_ = pending_.size();
      }
      Result result = Fill();
      if (result == Result::kClosed) return Result::kOk;
      if (result != Result::kOk) return result;
    }
  }

 private:
  // Reads more bytes; kError when the connection failed or no byte came in time.
  Result Fill() {
    pending_.erase(0, start_);
    start_ = 0;
    int timeout = timeout_ms_;
    if (deadline_us_ != UINT64_MAX) {  // a request without a deadline waits as long as told
      const std::uint64_t now = env_.NowMicros();
      if (now >= deadline_us_) {
        failure_ = Status(HttpKind::kDeadlinePassed, std::string());
        return Result::kError;
      }
      const std::uint64_t left_ms = (deadline_us_ - now + 999) / 1000;
      if (timeout < 0 || static_cast<std::uint64_t>(timeout) > left_ms) {
        timeout = static_cast<int>(std::min<std::uint64_t>(left_ms, INT32_MAX));
      }
    }
    char buffer[kReadChunk];
    Status why(Status::Kind::kReceiveFailed, std::string());
    const long count = connection_.Receive(buffer, sizeof buffer, timeout, &why);
    if (count < 0) {
      // A wait cut short by the request's deadline is the deadline's doing, not the peer's
      // silence for the read limit.
      if (why.kind() == Status::Kind::kTimedOut && timeout != timeout_ms_) {
        why = Status(HttpKind::kDeadlinePassed, why.message());
      } else if (why.ok()) {
        why = Status(Status::Kind::kReceiveFailed, std::string());
      }
      failure_ = why;
      return Result::kError;
    }
    if (count == 0) return Result::kClosed;
    received_any_ = true;
    pending_.append(buffer, static_cast<std::size_t>(count));
    return Result::kOk;
  }

  Env& env_;
  TcpConnection& connection_;
  std::string& pending_;
  std::size_t start_ = 0;  // bytes of `pending_` already consumed
  int timeout_ms_;
  std::uint64_t deadline_us_;
  bool received_any_ = false;
  Status failure_;
};

HttpClient::HttpClient(Env& env) : env_(env) {}

HttpClient::~HttpClient() = default;

void HttpClient::SetProxy(const std::string& host, int port) {
  proxy_host_ = host;
  proxy_port_ = port;
}

void HttpClient::SetBasicCredentials(const std::string& user, const std::string& password) {
  basic_user_ = user;
  basic_password_ = password;
}

std::string HttpClient::RequestTarget(std::string_view url) const {
  HttpUrl parsed = ParseHttpUrl(url);
  if (proxy_host_.empty()) return parsed.path;
  std::string target = parsed.scheme + "://" + parsed.host;
  // Without the port a proxy would send the request to port 80 of the recorder.
  if (parsed.port != 80) {
    target += ':';
    target += std::to_string(parsed.port);
  }
  return target + parsed.path;
}

bool HttpClient::BuildRequest(std::string_view url, std::string* request) const {
  HttpUrl parsed = ParseHttpUrl(url);
  std::vector<std::string> lines;
  lines.push_back("GET " + RequestTarget(url) + " HTTP/1.1");
  lines.push_back("Host: " + parsed.host);
  lines.push_back(std::string("Accept: ") + kAccept);
  lines.push_back(std::string("User-Agent: ") + kUserAgent);
  if (!basic_user_.empty()) {
    lines.push_back("Authorization: Basic " + Base64(basic_user_ + ":" + basic_password_));
  }
  lines.insert(lines.end(), extra_header_lines_.begin(), extra_header_lines_.end());
  request->clear();
  for (const std::string& line : lines) {
    // A CR or LF from a box, a URL or a server-sent value would start a line of its own.
    if (HasLineBreak(line)) return false;
    *request += line;
    *request += "\r\n";
  }
  // The Basic line is Base64, so its source texts must be checked on their own.
  if (HasLineBreak(basic_user_) || HasLineBreak(basic_password_)) return false;
  *request += "\r\n";
  return true;
}

void HttpClient::CloseConnection() {
  connection_.reset();
  pending_.clear();
  connected_host_.clear();
  connected_port_ = 0;
}

HttpResult HttpClient::Get(std::string_view url, std::string* reply_body) {
  HttpResult result;
  request_url_ = std::string(url);
  std::string request;
  if (!BuildRequest(url, &request) || HasLineBreak(proxy_host_)) {
    result.outcome = HttpOutcome::kRefused;
    result.why = Failure(HttpKind::kRequestRefused, std::string());
    return result;
  }
  HttpUrl parsed = ParseHttpUrl(url);
  const std::string& host = proxy_host_.empty() ? parsed.host : proxy_host_;
  int port = proxy_host_.empty() ? parsed.port : proxy_port_;

  if (connection_ && (connected_host_ != host || connected_port_ != port || !pending_.empty())) {
    CloseConnection();
  }
  if (connection_) {
    // A peer that closed the idle connection (or sent something unasked) is not reused.
    char probe;
    if (connection_->Receive(&probe, 1, 0, nullptr) >= 0) CloseConnection();
  }
  bool reused = connection_ != nullptr;
  // The whole request, from connecting to the last body byte, must end in this time; the
  // idle limit alone lets a peer that drips a byte now and then hold the process for days.
  const std::uint64_t deadline_us =
      request_deadline_ms_ < 0
          ? UINT64_MAX
          : env_.NowMicros() + static_cast<std::uint64_t>(request_deadline_ms_) * 1000;
  for (;;) {
    if (!connection_) {
      Status why(Status::Kind::kConnectFailed, std::string());
      connection_ = env_.Connect(host, port, &why);
      if (!connection_) {
        result.outcome = HttpOutcome::kConnectFailed;
        result.why = Failure(why.ok() ? Status::Kind::kConnectFailed : why.kind(), why.message(),
                             /*connecting=*/true);
        return result;
      }
      connected_host_ = host;
      connected_port_ = port;
    }
    bool nothing_received = false;
    result = Exchange(request, reused, deadline_us, reply_body, &nothing_received);
    // A kept connection may have been dropped by the peer just before the request: send
    // the request once more on a fresh connection.
    if (reused && nothing_received) {
      reused = false;
      continue;
    }
    return result;
  }
}

namespace {

// Seconds as the log shows them: whole when they are, else to a tenth.
std::string SecondsText(int ms) {
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + "秒";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f秒", ms / 1000.0);
  return text;
}

// A text from the peer (a reason phrase, a Location value) made safe for one log line: no
// control bytes, and not longer than a line needs.
std::string PeerText(std::string_view text) {
  constexpr std::size_t kLongest = 200;
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    // A cut never separates the two bytes of a character.
    const std::size_t length = IsLeadByte(c) && i + 1 < text.size() ? 2 : 1;
    if (out.size() + length > kLongest) {
      out += "...";
      break;
    }
    if (length == 2) {
      out.append(text.substr(i, 2));
      ++i;
    } else {
      out += c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

Status HttpClient::Failure(Status::Kind kind, const std::string& detail, bool connecting) const {
  const HttpUrl url = ParseHttpUrl(request_url_);
  const bool proxied = !proxy_host_.empty();
  const std::string recorder = url.host + ":" + std::to_string(url.port);
  const std::string proxy = "プロキシ " + proxy_host_ + ":" + std::to_string(proxy_port_);
  // Where the connection goes (the proxy, when there is one) and, for what happens after
  // connecting, the recorder with the proxy it was reached through.
  const std::string peer = proxied ? proxy + " [宛先 " + recorder + "]" : recorder;
  const std::string where = proxied ? recorder + " [" + proxy + " 経由]" : recorder;
  const std::string page = proxied ? request_url_ + " [" + proxy + " 経由]" : request_url_;
  const std::string system = detail.empty() ? std::string() : " (" + detail + ")";
  std::string text;
  // The layers' kinds lie beyond the enumeration: the switch is on the numbers.
  switch (static_cast<int>(kind)) {
    case static_cast<int>(Status::Kind::kNameNotResolved):
      text = proxied ? "プロキシの名前を解決できません: " + proxy_host_ + " [宛先 " + recorder + "]"
                     : "名前を解決できません: " + url.host;
      text += system;
      break;
    case static_cast<int>(Status::Kind::kRefused):
      text = "接続を拒否されました: " + peer + system;
      break;
    case static_cast<int>(Status::Kind::kUnreachable):
      text = "ネットワークに到達できません: " + peer + system;
      break;
    case static_cast<int>(Status::Kind::kTimedOut):
      text = connecting
                 ? "接続に応答がありません: " + peer + system
                 : "応答がありません: " + where + " (" + SecondsText(receive_timeout_ms_) + ")";
      break;
    case static_cast<int>(HttpKind::kDeadlinePassed):
      text = "時間切れ: " + where + " (" + SecondsText(request_deadline_ms_) + "で終わりません)";
      break;
    case static_cast<int>(Status::Kind::kInvalidArgument):
    case static_cast<int>(Status::Kind::kConnectFailed):
      text = "接続できません: " + peer + system;
      break;
    case static_cast<int>(Status::Kind::kSendFailed):
      text = "送信できません: " + where + system;
      break;
    case static_cast<int>(Status::Kind::kReceiveFailed):
      text = "受信できません: " + where + system;
      break;
    case static_cast<int>(HttpKind::kClosedEarly):
      text = detail + where;
      break;
    case static_cast<int>(HttpKind::kNotHttp):
      text = "HTTPの応答ではありません: " + where;
      break;
    case static_cast<int>(HttpKind::kTooLarge):
      text =
          "応答が大きすぎます: " + where + " (上限 " + std::to_string(kMaxReplyBody >> 20) + "MiB)";
      break;
    case static_cast<int>(HttpKind::kRequestRefused):
      text = "改行を含む値があるので送りません: " + where;
      break;
    case static_cast<int>(HttpKind::kHttpStatus):
      text = "エラー応答 " + detail + ": " + page;
      break;
    case static_cast<int>(HttpKind::kRedirect):
      text = "転送の応答 " + detail + ": " + page;
      break;
    case static_cast<int>(HttpKind::kEmptyReply):
      text = "空の応答: " + page;
      break;
    default:
      text = detail + ": " + page;
      break;
  }
  return Status(kind, text);
}

Status HttpClient::ReadFailure(int read_result, const Reader& reader) const {
  switch (static_cast<Reader::Result>(read_result)) {
    case Reader::Result::kClosed:
      return Failure(HttpKind::kClosedEarly, reader.received_any() ? "応答の途中で切断されました: "
                                                                   : "応答の前に切断されました: ");
    case Reader::Result::kTooLong:
      return Failure(HttpKind::kNotHttp, std::string());
    default:
      return Failure(reader.failure().kind(), reader.failure().message());
  }
}

// The parts of a reply's head that decide how its body is read and what the reply means.
struct HttpClient::ReplyHead {
  bool status_line_arrived = false;
  std::string status_line;
  std::size_t blank = 0;  // the blank before the status code
  std::vector<std::string> headers;
};

// What reading a body left: `failure` is ok while the body is whole, else the first failure,
// and `outcome` the request's outcome for it.
struct HttpClient::BodyRead {
  Status failure;
  HttpOutcome outcome = HttpOutcome::kTransportFailed;
};

Status HttpClient::ReadHead(Reader& reader, HttpResult* result, ReplyHead* head) const {
  std::string& status_line = head->status_line;
  const Reader::Result first = reader.ReadLine(&status_line, kMaxHeaderLine);
  if (first != Reader::Result::kOk) return ReadFailure(static_cast<int>(first), reader);
  head->status_line_arrived = true;
  Status not_http = Failure(HttpKind::kNotHttp, std::string());
  // The status code: after the first blank, up to the next blank or the end of the line.
  const std::size_t blank = status_line.find(' ');
  std::uint64_t status = 0;
  if (blank == std::string::npos) return not_http;
  head->blank = blank;
  std::size_t code_end = status_line.find(' ', blank + 1);
  std::string_view code =
      std::string_view(status_line)
          .substr(blank + 1,
                  code_end == std::string::npos ? std::string::npos : code_end - blank - 1);
  if (!ParseDecimal(code, 999, &status)) return not_http;
  result->status = static_cast<int>(status);
  result->status_line = PeerText(status_line);

  std::size_t header_bytes = 0;
  for (;;) {
    std::string line;
    const Reader::Result read = reader.ReadLine(&line, kMaxHeaderLine);
    if (read != Reader::Result::kOk) return ReadFailure(static_cast<int>(read), reader);
    if (line.empty()) return Status();
    header_bytes += line.size();
    if (header_bytes > kMaxHeaderBlock) return not_http;
    head->headers.push_back(std::move(line));
  }
}

HttpClient::BodyRead HttpClient::ReadPlainBody(Reader& reader, const std::string* content_length,
                                               std::string* body) const {
  BodyRead done;
  Reader::Result read = Reader::Result::kOk;
  if (content_length == nullptr) {
    read = reader.ReadToClose(kMaxReplyBody, body);
  } else {
    // A length of zero is an empty body (waiting for the peer to close a kept connection
    // would stall every login).
    std::uint64_t length = 0;
    if (!ParseDecimal(*content_length, UINT64_MAX / 16, &length)) {
      done.failure = Failure(HttpKind::kNotHttp, std::string());
      return done;
    }
    if (length > kMaxReplyBody) {
      read = Reader::Result::kTooLong;
    } else {
      read = reader.ReadExact(static_cast<std::size_t>(length), body);
    }
  }
  if (read == Reader::Result::kTooLong) {
    done.failure = Failure(HttpKind::kTooLarge, std::string());
    done.outcome = HttpOutcome::kTooLarge;
  } else if (read != Reader::Result::kOk) {
    done.failure = ReadFailure(static_cast<int>(read), reader);
  }
  return done;
}

HttpClient::BodyRead HttpClient::ReadChunkedBody(Reader& reader, std::string* body) const {
  BodyRead done;
  auto read_failed = [&](Reader::Result read) {
    done.failure = ReadFailure(static_cast<int>(read), reader);
    return done;
  };
  for (;;) {
    std::string size_line;
    Reader::Result read = reader.ReadLine(&size_line, kMaxHeaderLine);
    if (read != Reader::Result::kOk) return read_failed(read);
    std::string_view size_text = size_line;
    size_text = TrimSpacesAndTabs(size_text.substr(0, size_text.find(';')));
    std::uint64_t size = 0;
    // A size that does not parse is not HTTP; one that does not fit under the cap is too
    // large. Either way no more of the body can be used.
    if (!ParseHex(size_text, UINT64_MAX / 16, &size)) {
      done.failure = Failure(HttpKind::kNotHttp, std::string());
      done.outcome = HttpOutcome::kTooLarge;
      return done;
    }
    if (size > kMaxReplyBody || body->size() + size > kMaxReplyBody) {
      done.failure = Failure(HttpKind::kTooLarge, std::string());
      done.outcome = HttpOutcome::kTooLarge;
      return done;
    }
    if (size == 0) {
      std::string trailer;
      std::size_t trailer_bytes = 0;
      do {
        read = reader.ReadLine(&trailer, kMaxHeaderLine);
        if (read != Reader::Result::kOk) return read_failed(read);
        if ((trailer_bytes += trailer.size()) > kMaxHeaderBlock) {
          done.failure = Failure(HttpKind::kNotHttp, std::string());
          return done;
        }
      } while (!trailer.empty());
      return done;
    }
    std::string chunk_end;
    read = reader.ReadExact(static_cast<std::size_t>(size), body);
    if (read == Reader::Result::kOk) read = reader.ReadLine(&chunk_end, kMaxHeaderLine);
    if (read != Reader::Result::kOk) return read_failed(read);
    if (!chunk_end.empty()) {
      done.failure = Failure(HttpKind::kNotHttp, std::string());
      return done;
    }
  }
}

HttpResult HttpClient::Exchange(const std::string& request, bool reused, std::uint64_t deadline_us,
                                std::string* reply_body, bool* nothing_received) {
  HttpResult result;
  result.outcome = HttpOutcome::kTransportFailed;
  auto fail = [&](HttpOutcome outcome, Status why) {
    CloseConnection();
    result.outcome = outcome;
    result.why = std::move(why);
    return result;
  };
  const Status sent = connection_->SendAll(request);
  if (!sent.ok()) {
    *nothing_received = true;
    return fail(HttpOutcome::kTransportFailed, Failure(Status::Kind::kSendFailed, sent.message()));
  }
  Reader reader(env_, *connection_, pending_, receive_timeout_ms_, deadline_us);
  ReplyHead head;
  Status head_failure = ReadHead(reader, &result, &head);
  if (!head_failure.ok()) {
    if (!head.status_line_arrived) *nothing_received = reused && !reader.received_any();
    return fail(HttpOutcome::kTransportFailed, std::move(head_failure));
  }
  const std::string& status_line = head.status_line;
  const std::vector<std::string>& headers = head.headers;
  last_reply_headers_ = headers;

  std::string body;
  BodyRead read;
  bool peer_closed = false;
  std::string content_length;
  std::string transfer_encoding;
  if (result.status == 204 || result.status == 304) {
    // These replies never carry a body; waiting for one would stall a kept connection.
  } else if (FindHeader(headers, "Content-Length", &content_length)) {
    read = ReadPlainBody(reader, &content_length, &body);
  } else if (FindHeader(headers, "Transfer-Encoding", &transfer_encoding) &&
             ContainsIgnoreCase(transfer_encoding, "chunked")) {
    read = ReadChunkedBody(reader, &body);
  } else {
    read = ReadPlainBody(reader, nullptr, &body);
    peer_closed = true;
  }
  reply_body->append(body);
  if (!read.failure.ok()) return fail(read.outcome, read.failure);

  std::string location;
  const bool has_location = FindHeader(headers, "Location", &location);
  bool success = result.status >= 200 && result.status <= 299 && !has_location;
  std::string connection_value;
  bool close_asked = FindHeader(headers, "Connection", &connection_value) &&
                     SameBytesIgnoringAsciiCase(connection_value, "close");
  bool version_10 = status_line.size() >= 8 && status_line.compare(5, 3, "1.0") == 0;
  if (peer_closed || (success && (close_asked || version_10))) CloseConnection();
  result.outcome = success ? HttpOutcome::kCompleted : HttpOutcome::kNotCompleted;
  if (!success) {
    // The status and its reason phrase as the peer sent them ("404 Not Found").
    const std::string status_text = PeerText(
        std::string_view(status_line).substr(std::min(head.blank + 1, status_line.size())));
    const bool redirect =
        has_location || (result.status >= 300 && result.status <= 399 && result.status != 304);
    const std::string target = location.empty() ? "" : " (転送先 " + PeerText(location) + ")";
    result.why = redirect ? Failure(HttpKind::kRedirect, status_text + target)
                          : Failure(HttpKind::kHttpStatus, status_text);
  }
  return result;
}

}  // namespace tavelin
