#include "sim_server.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "net/md5.h"
#include "sample_pages.h"

namespace recorder_sim {

namespace {

std::mutex g_mutex;  // guards the request log and the issued nonces
std::set<std::string> g_nonces;

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Trim(const std::string& text) {
  std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  std::size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

void LogRequest(const SimOptions& options, const std::string& head) {
  if (options.log_file.empty()) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  std::ofstream log(options.log_file, std::ios::binary | std::ios::app);
  log << head;
}

bool SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads one request head (up to the empty line) into `head`; bytes after it stay in
// `buffer`. False when the peer closed first.
bool ReadHead(int fd, std::string* buffer, std::string* head) {
  for (;;) {
    std::size_t end = buffer->find("\r\n\r\n");
    if (end != std::string::npos) {
      *head = buffer->substr(0, end + 4);
      buffer->erase(0, end + 4);
      return true;
    }
    char chunk[8192];
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer->append(chunk, static_cast<std::size_t>(n));
    if (buffer->size() > (1u << 20)) return false;
  }
}

struct Request {
  std::string method, target, version, path;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
      if (Lower(key) == Lower(name)) return value;
    }
    return "";
  }
};

Request ParseRequest(const std::string& head) {
  Request request;
  std::istringstream lines(head);
  std::string line;
  std::getline(lines, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::istringstream first(line);
  first >> request.method >> request.target >> request.version;
  request.path = request.target;
  if (request.path.rfind("http://", 0) == 0) {
    std::size_t slash = request.path.find('/', 7);
    request.path = slash == std::string::npos ? "/" : request.path.substr(slash);
  }
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    request.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
  }
  return request;
}

std::string Base64Decode(const std::string& text) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned value = 0;
  int bits = 0;
  for (char c : text) {
    std::size_t digit = kAlphabet.find(c);
    if (digit == std::string::npos) break;
    value = (value << 6) | static_cast<unsigned>(digit);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((value >> bits) & 0xFF);
    }
  }
  return out;
}

// name=value pairs of a Digest Authorization header; quoted values lose their quotes.
std::map<std::string, std::string> DigestParams(const std::string& text) {
  std::map<std::string, std::string> params;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '\t')) ++i;
    std::size_t eq = text.find('=', i);
    if (eq == std::string::npos) break;
    std::string name = Lower(Trim(text.substr(i, eq - i)));
    i = eq + 1;
    std::string value;
    if (i < text.size() && text[i] == '"') {
      ++i;
      while (i < text.size() && text[i] != '"') {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        value += text[i++];
      }
      ++i;
    } else {
      while (i < text.size() && text[i] != ',') value += text[i++];
      value = Trim(value);
    }
    params[name] = value;
  }
  return params;
}

std::string LowerMd5(const std::string& text) { return Lower(tavelin::Md5Hex(text)); }

std::string NewNonce() {
  static std::mt19937_64 random{std::random_device{}()};
  std::lock_guard<std::mutex> lock(g_mutex);
  char text[33];
  std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(random()),
                static_cast<unsigned long long>(random()));
  g_nonces.insert(text);
  return text;
}

// True when `nonce` was issued here; a single-use nonce is spent by the check.
bool NonceIssued(const std::string& nonce, bool single_use) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return single_use ? g_nonces.erase(nonce) != 0 : g_nonces.count(nonce) != 0;
}

bool LoginAccepted(const SimOptions& options, const Request& request) {
  std::string authorization = request.Header("Authorization");
  if (options.login == "basic") {
    if (Lower(authorization.substr(0, 6)) != "basic ") return false;
    return Base64Decode(Trim(authorization.substr(6))) == options.user + ":" + options.password;
  }
  if (Lower(authorization.substr(0, 7)) != "digest ") return false;
  auto p = DigestParams(authorization.substr(7));
  if (p["username"] != options.user || p["realm"] != options.realm ||
      !NonceIssued(p["nonce"], options.single_use_nonce) || p["uri"] != request.target) {
    return false;
  }
  std::string ha1 = LowerMd5(options.user + ":" + options.realm + ":" + options.password);
  std::string ha2 = LowerMd5(request.method + ":" + p["uri"]);
  std::string expected = p.count("qop") ? LowerMd5(ha1 + ":" + p["nonce"] + ":" + p["nc"] + ":" +
                                                   p["cnonce"] + ":" + p["qop"] + ":" + ha2)
                                        : LowerMd5(ha1 + ":" + p["nonce"] + ":" + ha2);
  return Lower(p["response"]) == expected;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ProgramPage(const SimOptions& options) {
  std::string page;
  if (!options.program_file.empty()) {
    page = ReadWholeFile(options.program_file);
  } else {
    std::time_t now = std::time(nullptr);
    std::tm today;
    localtime_r(&now, &today);
    page = options.layout == "script" ? ScriptLayoutPage(today) : TableLayoutPage(today);
  }
  return PadPage(page, options.page_size);
}

struct Reply {
  int status = 200;
  std::string reason = "OK";
  std::vector<std::string> headers;
  std::string body;
};

Reply BuildReply(const SimOptions& options, const Request& request) {
  Reply reply;
  if (options.login != "none" && !LoginAccepted(options, request)) {
    reply.status = 401;
    reply.reason = "Unauthorized";
    std::string challenge = options.login == "basic"
                                ? "Basic realm=\"" + options.realm + "\""
                                : "Digest realm=\"" + options.realm + "\", nonce=\"" + NewNonce() +
                                      "\", algorithm=MD5, qop=\"" + options.qop + "\"";
    reply.headers.push_back(options.challenge_header + ": " + challenge);
    reply.body =
        "<html><head><title>401 Unauthorized</title></head>\r\n"
        "<body>認証が必要です</body></html>\r\n";
    return reply;
  }
  if (options.redirect) {
    reply.status = 302;
    reply.reason = "Found";
    reply.headers.push_back("Location: http://" + request.Header("Host") + "/moved" + request.path);
    reply.body = "<html><body>移動しました</body></html>\r\n";
    return reply;
  }
  if (!options.no_pages && request.path == "/program/program.htm") {
    reply.body = ProgramPage(options);
  } else if (!options.no_pages && request.path == "/setup/s_chset.htm") {
    reply.body =
        options.chset_file.empty() ? ChannelSetupPage() : ReadWholeFile(options.chset_file);
  } else {  // no such page, or a device that has none
    reply.status = 404;
    reply.reason = "Not Found";
    reply.body = "<html><body>404 Not Found</body></html>\r\n";
  }
  return reply;
}

// Sends the reply in the chosen framing; false when the connection must end afterwards.
bool SendReply(int fd, const SimOptions& options, const Reply& reply) {
  std::string head = (options.http10 ? "HTTP/1.0 " : "HTTP/1.1 ") + std::to_string(reply.status) +
                     " " + reply.reason + "\r\n";
  head += "Server: RD-Recorder-Sim\r\nContent-Type: text/html; charset=Shift_JIS\r\n";
  for (const std::string& line : reply.headers) head += line + "\r\n";
  std::string body;
  bool keep_open = !options.http10;
  if (options.body == "chunked") {
    head += "Transfer-Encoding: chunked\r\nTrailer: X-Checksum\r\n";
    const std::size_t piece = 1000;
    for (std::size_t i = 0; i < reply.body.size(); i += piece) {
      std::string part = reply.body.substr(i, piece);
      char size[32];
      std::snprintf(size, sizeof size, "%zx", part.size());
      body += std::string(size) + (i == 0 ? ";name=first" : "") + "\r\n" + part + "\r\n";
    }
    body += "0\r\nX-Checksum: 1234\r\n\r\n";
  } else if (options.body == "until-close") {
    keep_open = false;
    body = reply.body;
  } else if (options.body == "zero-length" && reply.status == 401) {
    head += "Content-Length: 0\r\n";
  } else {
    head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    body = reply.body;
  }
  if (!options.connection.empty()) {
    head += "Connection: " + options.connection + "\r\n";
    if (Lower(Trim(options.connection)) == "close") keep_open = false;
  }
  head += "\r\n";
  bool is_page = reply.status == 200;
  if (is_page && options.fault == "cut") {
    SendAll(fd, head + body.substr(0, body.size() / 2));
    return false;
  }
  if (is_page && options.fault == "stall") {
    SendAll(fd, head + body.substr(0, body.size() / 2));
    std::this_thread::sleep_for(std::chrono::seconds(options.stall_seconds));
    if (!SendAll(fd, body.substr(body.size() / 2))) return false;
    return keep_open;
  }
  return SendAll(fd, head + body) && keep_open;
}

void ServeRecorder(int fd, const SimOptions& options) {
  std::string buffer, head;
  while (ReadHead(fd, &buffer, &head)) {
    LogRequest(options, head);
    if (!SendReply(fd, options, BuildReply(options, ParseRequest(head)))) break;
  }
  ::close(fd);
}

int ConnectTo(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  int fd = -1;
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    fd = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd < 0) continue;
    if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) break;
    ::close(fd);
    fd = -1;
  }
  ::freeaddrinfo(found);
  return fd;
}

// Forwards an absolute-form request unchanged to the host it names, then relays both ways
// until either side closes. Later requests on the same connection go to that same host.
void ServeProxy(int fd, const SimOptions& options) {
  std::string buffer, head;
  if (!ReadHead(fd, &buffer, &head)) {
    ::close(fd);
    return;
  }
  LogRequest(options, head);
  Request request = ParseRequest(head);
  std::string authority;
  if (request.target.rfind("http://", 0) == 0) {
    authority = request.target.substr(7, request.target.find('/', 7) - 7);
  }
  std::size_t colon = authority.find(':');
  std::string host = authority.substr(0, colon);
  int port = colon == std::string::npos ? options.proxy_default_port
                                        : std::atoi(authority.c_str() + colon + 1);
  int upstream = host.empty() ? -1 : ConnectTo(host, port);
  if (upstream < 0) {
    SendAll(fd, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    ::close(fd);
    return;
  }
  SendAll(upstream, head + buffer);
  buffer.clear();
  pollfd fds[2] = {{fd, POLLIN, 0}, {upstream, POLLIN, 0}};
  for (;;) {
    if (::poll(fds, 2, -1) < 0) break;
    char chunk[65536];
    if (fds[0].revents != 0) {
      ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      buffer.append(chunk, static_cast<std::size_t>(n));
      std::size_t end;
      while ((end = buffer.find("\r\n\r\n")) != std::string::npos) {
        LogRequest(options, buffer.substr(0, end + 4));
        SendAll(upstream, buffer.substr(0, end + 4));
        buffer.erase(0, end + 4);
      }
    }
    if (fds[1].revents != 0) {
      ssize_t n = ::recv(upstream, chunk, sizeof chunk, 0);
      if (n <= 0 || !SendAll(fd, std::string(chunk, static_cast<std::size_t>(n)))) break;
    }
  }
  ::close(upstream);
  ::close(fd);
}

bool ToInt(const std::string& text, int* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  *value = std::atoi(text.c_str());
  return true;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, SimOptions* o, bool* help,
                  std::string* error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto next = [&](std::string* value) {
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      *value = args[++i];
      return true;
    };
    auto next_int = [&](int* value) {
      std::string text;
      if (!next(&text)) return false;
      if (!ToInt(text, value)) {
        *error = arg + " needs a number";
        return false;
      }
      return true;
    };
    std::string text;
    int number = 0;
    bool ok = true;
    if (arg == "--help" || arg == "-h") {
      *help = true;
    } else if (arg == "--port") {
      ok = next_int(&o->port);
    } else if (arg == "--bind") {
      ok = next(&o->bind);
    } else if (arg == "--login") {
      ok = next(&o->login);
      if (ok && o->login != "none" && o->login != "basic" && o->login != "digest") {
        *error = "--login takes none, basic or digest";
        ok = false;
      }
    } else if (arg == "--user") {
      ok = next(&o->user);
    } else if (arg == "--password") {
      ok = next(&o->password);
    } else if (arg == "--realm") {
      ok = next(&o->realm);
    } else if (arg == "--qop") {
      ok = next(&o->qop);
    } else if (arg == "--single-use-nonce") {
      o->single_use_nonce = true;
    } else if (arg == "--challenge-header") {
      ok = next(&o->challenge_header);
    } else if (arg == "--body") {
      ok = next(&o->body);
      if (ok && o->body != "content-length" && o->body != "chunked" && o->body != "until-close" &&
          o->body != "zero-length") {
        *error = "--body takes content-length, chunked, until-close or zero-length";
        ok = false;
      }
    } else if (arg == "--http10") {
      o->http10 = true;
    } else if (arg == "--connection") {
      ok = next(&o->connection);
    } else if (arg == "--redirect") {
      o->redirect = true;
    } else if (arg == "--no-pages") {
      o->no_pages = true;
    } else if (arg == "--cut-body") {
      o->fault = "cut";
    } else if (arg == "--stall") {
      ok = next_int(&o->stall_seconds);
      o->fault = "stall";
    } else if (arg == "--layout") {
      ok = next(&o->layout);
      if (ok && o->layout != "table" && o->layout != "script") {
        *error = "--layout takes table or script";
        ok = false;
      }
    } else if (arg == "--program-file") {
      ok = next(&o->program_file);
    } else if (arg == "--chset-file") {
      ok = next(&o->chset_file);
    } else if (arg == "--page-size") {
      ok = next_int(&number);
      o->page_size = static_cast<std::size_t>(number);
    } else if (arg == "--proxy") {
      o->proxy = true;
    } else if (arg == "--proxy-default-port") {
      ok = next_int(&o->proxy_default_port);
    } else if (arg == "--log") {
      ok = next(&o->log_file);
    } else {
      *error = "unknown option " + arg;
      ok = false;
    }
    if (!ok) return false;
  }
  return true;
}

std::string HelpText() {
  return "Usage: recorder-sim [options]\n"
         "A simulated RD-series recorder web server (loopback HTTP/1.1). It serves\n"
         "/program/program.htm (reservation list) and /setup/s_chset.htm (channel setup) as\n"
         "Shift-JIS pages and prints \"listening on port N\" once it accepts connections.\n"
         "\n"
         "  --port N               port to listen on (default 8080; 0 picks a free one)\n"
         "  --bind ADDRESS         address to listen on (default 127.0.0.1)\n"
         "  --login none|basic|digest   login asked for (default none)\n"
         "  --user NAME --password TEXT  accepted credentials (default rd / recorder)\n"
         "  --realm TEXT           login realm (default RD-Recorder; may hold blanks)\n"
         "  --qop TEXT             qop offered in the Digest challenge (default auth;\n"
         "                         e.g. \"auth,auth-int\")\n"
         "  --single-use-nonce     accept each Digest nonce for one request only\n"
         "  --challenge-header NAME  name of the challenge header (default WWW-Authenticate)\n"
         "  --body MODE            content-length (default), chunked (with a trailer),\n"
         "                         until-close, zero-length (refusals with Content-Length: 0\n"
         "                         and no body on a kept connection)\n"
         "  --http10               answer with HTTP/1.0 status lines and close\n"
         "  --connection VALUE     send \"Connection: VALUE\"; close after it when VALUE is close\n"
         "  --redirect             answer the pages with 302 and a Location header\n"
         "  --no-pages             answer every page with 404 Not Found\n"
         "  --cut-body             send half of a page body, then close\n"
         "  --stall SECONDS        send half of a page body, stop for SECONDS, send the rest\n"
         "  --layout table|script  layout of the built-in reservation list (default table)\n"
         "  --program-file FILE    serve FILE as /program/program.htm instead\n"
         "  --chset-file FILE      serve FILE as /setup/s_chset.htm instead\n"
         "  --page-size BYTES      pad the reservation list to BYTES with comment lines\n"
         "  --proxy                be a plain HTTP proxy: forward absolute-form requests\n"
         "  --proxy-default-port N port used when a proxied target names none (default 80)\n"
         "  --log FILE             append every raw request received to FILE\n"
         "  --help                 this text\n";
}

int RunServer(const SimOptions& options) {
  std::signal(SIGPIPE, SIG_IGN);
  int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(options.port));
  if (::inet_pton(AF_INET, options.bind.c_str(), &address.sin_addr) != 1) {
    std::fprintf(stderr, "recorder-sim: --bind needs an IPv4 address\n");
    return 2;
  }
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 16) != 0) {
    std::perror("recorder-sim: cannot listen");
    return 1;
  }
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::printf("listening on port %d\n", ntohs(address.sin_port));
  std::fflush(stdout);
  for (;;) {
    int fd = ::accept(listener, nullptr, nullptr);
    if (fd < 0) continue;
    std::thread(options.proxy ? ServeProxy : ServeRecorder, fd, std::cref(options)).detach();
  }
}

}  // namespace recorder_sim
