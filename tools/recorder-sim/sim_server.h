// The simulated recorder: a small HTTP/1.1 server on loopback with the recorder's pages, its
// logins and a choice of reply framings and faults; or a plain HTTP proxy.
#ifndef TAVELIN_TOOLS_RECORDER_SIM_SIM_SERVER_H_
#define TAVELIN_TOOLS_RECORDER_SIM_SIM_SERVER_H_

#include <string>
#include <vector>

namespace recorder_sim {

struct SimOptions {
  int port = 8080;  // 0: any free port
  std::string bind = "127.0.0.1";
  std::string login = "none";  // none, basic, digest
  std::string user = "rd";
  std::string password = "recorder";
  std::string realm = "RD-Recorder";
  std::string qop = "auth";
  bool single_use_nonce = false;  // a nonce is accepted for one request only
  std::string challenge_header = "WWW-Authenticate";
  std::string body = "content-length";  // chunked, until-close, zero-length
  bool http10 = false;
  std::string connection;  // value of a Connection header; "close" (any case) closes
  bool redirect = false;
  bool no_pages = false;  // every page answers 404, as a device that is no recorder
  std::string fault;      // cut, stall
  int stall_seconds = 0;
  std::string layout = "table";  // script
  std::string program_file;
  std::string chset_file;
  std::size_t page_size = 0;
  bool proxy = false;
  int proxy_default_port = 80;
  std::string log_file;
};

// Reads the command line; false with a message in `error` when it is not understood.
bool ParseOptions(const std::vector<std::string>& args, SimOptions* options, bool* help,
                  std::string* error);
std::string HelpText();

// Listens, prints "listening on port N" and serves until the process is ended.
int RunServer(const SimOptions& options);

}  // namespace recorder_sim

#endif  // TAVELIN_TOOLS_RECORDER_SIM_SIM_SERVER_H_
