// Whatever a recorder (or anything answering on its port) sends: the page download with its
// Digest or Basic login, over connections that play back the input.
//
// Input: one option byte, then the bytes of each connection in turn, separated by "\n--\n".
// The option byte: bits 0-2 the size of each read (1 byte to 64 KiB, so lines and headers
// arrive split anywhere), bit 3 a stalled peer instead of a closing one once its bytes are
// sent, bit 4 a proxy, bit 5 progress lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_env.h"
#include "net/page_download.h"

namespace {

class Host : public tavelin::DownloadHost {
 public:
  explicit Host(uint8_t options) : options_(options) {}
  std::string UserId() override { return "rd"; }
  std::string Password() override { return "recorder"; }
  std::string ProxyHost() override { return options_ & 0x10 ? "proxy" : ""; }
  std::string ProxyPort() override { return "8080"; }
  bool DebugTracing() override { return (options_ & 0x20) != 0; }
  void LogLine(const std::string&) override {}

 private:
  uint8_t options_;
};

// Request lines end in CR LF, and no CR or LF stands anywhere else, whatever the peer sent
// for the login to echo.
bool OnlyWholeLines(const std::string& sent) {
  for (std::size_t i = 0; i < sent.size(); ++i) {
    if (sent[i] == '\r' && (i + 1 == sent.size() || sent[i + 1] != '\n')) return false;
    if (sent[i] == '\n' && (i == 0 || sent[i - 1] != '\r')) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using tavelin::fuzzing::Require;
  static constexpr std::size_t kReadSizes[] = {1, 2, 3, 7, 100, 1024, 4096, 65536};
  tavelin::fuzzing::Parts parts(data, size);
  const uint8_t options = parts.Byte();
  std::vector<std::string_view> replies;
  while (!parts.Rest().empty()) replies.push_back(parts.Next());

  tavelin::fuzzing::FuzzEnv env;
  env.SetReplies(replies, kReadSizes[options & 7], (options & 8) != 0);
  Host host(options);
  tavelin::PageDownloader downloader(env, host);
  const std::string file = "/mem/page.html";
  // Twice, so that the second download meets whatever the first left on its connection.
  for (int round = 0; round < 2; ++round) {
    std::string before, after;
    env.ReadSharedFile(file, &before);  // stays empty while there is no file
    const std::int64_t count = downloader.Download("http://rd-h1:8000/program/program.htm", file);
    env.ReadSharedFile(file, &after);
    if (count > 0) {
      Require(after.size() == static_cast<std::size_t>(count),
              "the saved page is what was counted");
    } else {
      Require(after == before, "a failed download leaves the file alone");
    }
  }
  Require(OnlyWholeLines(env.sent()), "requests carry no stray line breaks");
  return 0;
}
