#include "net/http_client.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "platform/ascii_text.h"

namespace tavelin {

namespace {

constexpr std::size_t kMaxHeaderLine = 64 * 1024;
constexpr std::size_t kMaxHeaderBlock = 1024 * 1024;
constexpr std::size_t kReadChunk = 64 * 1024;

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
  enum class Status { kOk, kClosed, kError, kTooLong };

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

  // One line up to LF; a CR before the LF is dropped. kTooLong when the line (without its
  // line end) is longer than `max`, however the bytes arrive.
  Status ReadLine(std::string* line, std::size_t max) {
    std::size_t searched = start_;
    for (;;) {
      const std::size_t lf = pending_.find('\n', searched);
      if (lf != std::string::npos) {
        const std::size_t end = (lf > start_ && pending_[lf - 1] == '\r') ? lf - 1 : lf;
        if (end - start_ > max) return Status::kTooLong;
        line->assign(pending_, start_, end - start_);
        start_ = lf + 1;
        return Status::kOk;
      }
      // Only the last byte may still turn out to be the CR of the line end.
      if (pending_.size() - start_ > max + 1) return Status::kTooLong;
      // Fill() drops the consumed bytes: the unsearched part then starts here.
      const std::size_t unconsumed = pending_.size() - start_;
      Status status = Fill();
      if (status != Status::kOk) return status;
      searched = unconsumed;
    }
  }

  // Exactly `count` bytes appended to `out` (what arrived, when the peer stops early).
  Status ReadExact(std::size_t count, std::string* out) {
    while (count > 0) {
      if (start_ == pending_.size()) {
        Status status = Fill();
        if (status != Status::kOk) return status;
      }
      const std::size_t take = std::min(count, pending_.size() - start_);
      out->append(pending_, start_, take);
      start_ += take;
      count -= take;
    }
    return Status::kOk;
  }

  // Everything up to the peer's close; kTooLong once `out` would pass `max`.
  Status ReadToClose(std::size_t max, std::string* out) {
    for (;;) {
      if (start_ < pending_.size()) {
        if (out->size() + pending_.size() - start_ > max) return Status::kTooLong;
        out->append(pending_, start_);
        start_ = pending_.size();
      }
      Status status = Fill();
      if (status == Status::kClosed) return Status::kOk;
      if (status != Status::kOk) return status;
    }
  }

 private:
  // Reads more bytes; kError when the connection failed or no byte came in time.
  Status Fill() {
    pending_.erase(0, start_);
    start_ = 0;
    int timeout = timeout_ms_;
    if (deadline_us_ != UINT64_MAX) {  // a request without a deadline waits as long as told
      const std::uint64_t now = env_.NowMicros();
      if (now >= deadline_us_) return Status::kError;
      const std::uint64_t left_ms = (deadline_us_ - now + 999) / 1000;
      if (timeout < 0 || static_cast<std::uint64_t>(timeout) > left_ms) {
        timeout = static_cast<int>(std::min<std::uint64_t>(left_ms, INT32_MAX));
      }
    }
    char buffer[kReadChunk];
    const long count = connection_.Receive(buffer, sizeof buffer, timeout);
    if (count < 0) return Status::kError;
    if (count == 0) return Status::kClosed;
    received_any_ = true;
    pending_.append(buffer, static_cast<std::size_t>(count));
    return Status::kOk;
  }

  Env& env_;
  TcpConnection& connection_;
  std::string& pending_;
  std::size_t start_ = 0;  // bytes of `pending_` already consumed
  int timeout_ms_;
  std::uint64_t deadline_us_;
  bool received_any_ = false;
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
  std::string request;
  if (!BuildRequest(url, &request) || HasLineBreak(proxy_host_)) {
    result.outcome = HttpOutcome::kRefused;
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
    if (connection_->Receive(&probe, 1, 0) >= 0) CloseConnection();
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
      std::string error;
      connection_ = env_.Connect(host, port, &error);
      if (!connection_) {
        result.outcome = HttpOutcome::kConnectFailed;
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

HttpResult HttpClient::Exchange(const std::string& request, bool reused, std::uint64_t deadline_us,
                                std::string* reply_body, bool* nothing_received) {
  HttpResult result;
  result.outcome = HttpOutcome::kTransportFailed;
  auto fail = [&](HttpOutcome outcome) {
    CloseConnection();
    result.outcome = outcome;
    return result;
  };
  if (!connection_->SendAll(request)) {
    *nothing_received = true;
    return fail(HttpOutcome::kTransportFailed);
  }
  Reader reader(env_, *connection_, pending_, receive_timeout_ms_, deadline_us);
  std::string status_line;
  if (reader.ReadLine(&status_line, kMaxHeaderLine) != Reader::Status::kOk) {
    *nothing_received = reused && !reader.received_any();
    return fail(HttpOutcome::kTransportFailed);
  }
  // The status code: after the first blank, up to the next blank or the end of the line.
  std::size_t blank = status_line.find(' ');
  std::uint64_t status = 0;
  if (blank == std::string::npos) return fail(HttpOutcome::kTransportFailed);
  std::size_t code_end = status_line.find(' ', blank + 1);
  std::string_view code =
      std::string_view(status_line)
          .substr(blank + 1,
                  code_end == std::string::npos ? std::string::npos : code_end - blank - 1);
  if (!ParseDecimal(code, 999, &status)) return fail(HttpOutcome::kTransportFailed);
  result.status = static_cast<int>(status);

  std::vector<std::string> headers;
  std::size_t header_bytes = 0;
  for (;;) {
    std::string line;
    if (reader.ReadLine(&line, kMaxHeaderLine) != Reader::Status::kOk) {
      return fail(HttpOutcome::kTransportFailed);
    }
    if (line.empty()) break;
    header_bytes += line.size();
    if (header_bytes > kMaxHeaderBlock) return fail(HttpOutcome::kTransportFailed);
    headers.push_back(std::move(line));
  }
  last_reply_headers_ = headers;

  std::string body;
  bool body_whole = true;
  bool peer_closed = false;
  HttpOutcome body_failure = HttpOutcome::kTransportFailed;
  std::string content_length;
  std::string transfer_encoding;
  std::uint64_t length = 0;
  bool has_length = FindHeader(headers, "Content-Length", &content_length);
  if (result.status == 204 || result.status == 304) {
    // These replies never carry a body; waiting for one would stall a kept connection.
  } else if (has_length) {
    // A length of zero is an empty body (waiting for the peer to close a kept connection
    // would stall every login).
    if (!ParseDecimal(content_length, UINT64_MAX / 16, &length)) {
      body_whole = false;
    } else if (length > kMaxReplyBody) {
      body_whole = false;
      body_failure = HttpOutcome::kTooLarge;
    } else {
      body_whole = reader.ReadExact(static_cast<std::size_t>(length), &body) == Reader::Status::kOk;
    }
  } else if (FindHeader(headers, "Transfer-Encoding", &transfer_encoding) &&
             ContainsIgnoreCase(transfer_encoding, "chunked")) {
    for (;;) {
      std::string size_line;
      if (reader.ReadLine(&size_line, kMaxHeaderLine) != Reader::Status::kOk) {
        body_whole = false;
        break;
      }
      std::string_view size_text = size_line;
      size_text = TrimSpacesAndTabs(size_text.substr(0, size_text.find(';')));
      std::uint64_t size = 0;
      if (!ParseHex(size_text, kMaxReplyBody, &size) || body.size() + size > kMaxReplyBody) {
        body_whole = false;
        body_failure = HttpOutcome::kTooLarge;
        break;
      }
      if (size == 0) {
        std::string trailer;
        std::size_t trailer_bytes = 0;
        do {
          if (reader.ReadLine(&trailer, kMaxHeaderLine) != Reader::Status::kOk ||
              (trailer_bytes += trailer.size()) > kMaxHeaderBlock) {
            body_whole = false;
            break;
          }
        } while (!trailer.empty());
        break;
      }
      std::string chunk_end;
      if (reader.ReadExact(static_cast<std::size_t>(size), &body) != Reader::Status::kOk ||
          reader.ReadLine(&chunk_end, kMaxHeaderLine) != Reader::Status::kOk ||
          !chunk_end.empty()) {
        body_whole = false;
        break;
      }
    }
  } else {
    Reader::Status status_read = reader.ReadToClose(kMaxReplyBody, &body);
    peer_closed = true;
    if (status_read == Reader::Status::kTooLong) body_failure = HttpOutcome::kTooLarge;
    body_whole = status_read == Reader::Status::kOk;
  }
  reply_body->append(body);
  if (!body_whole) return fail(body_failure);

  std::string location;
  bool success =
      result.status >= 200 && result.status <= 299 && !FindHeader(headers, "Location", &location);
  std::string connection_value;
  bool close_asked = FindHeader(headers, "Connection", &connection_value) &&
                     SameBytesIgnoringAsciiCase(connection_value, "close");
  bool version_10 = status_line.size() >= 8 && status_line.compare(5, 3, "1.0") == 0;
  if (peer_closed || (success && (close_asked || version_10))) CloseConnection();
  result.outcome = success ? HttpOutcome::kCompleted : HttpOutcome::kNotCompleted;
  return result;
}

}  // namespace tavelin
