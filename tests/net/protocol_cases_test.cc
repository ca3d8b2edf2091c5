// HTTP exchanges as data: every file under tests/net/data/ is one case, in the manner of
// curl's test files. A case names what is asked for, holds the bytes each connection's peer
// sends and the exact bytes Tavelin must send over all of them, and what the caller is
// given. A new case is a new file; the format is in tests/net/data/README.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "net/http_client.h"
#include "net/page_download.h"
#include "support/scripted_peer.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

namespace fs = std::filesystem;

// The sections of one case file; a tag that occurs several times keeps every value.
using Sections = std::multimap<std::string, std::string>;

// Lines of a section end in CR LF, except one that ends in "%%" (which is dropped).
std::string SectionBytes(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "%%") == 0) {
      bytes += line.substr(0, line.size() - 2);
    } else {
      bytes += line + "\r\n";
    }
  }
  return bytes;
}

// "<tag>value</tag>" on one line, or "<tag>" and "</tag>" on lines of their own around the
// lines of a section. Lines outside sections are comments.
Sections ReadCase(const fs::path& file) {
  Sections sections;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  std::string open_tag;
  std::vector<std::string> lines;
  while (std::getline(in, line)) {
    if (open_tag.empty()) {
      if (line.size() < 3 || line[0] != '<') continue;
      const std::size_t close = line.find('>');
      const std::string tag = line.substr(1, close - 1);
      const std::string end = "</" + tag + ">";
      if (close + 1 == line.size()) {
        open_tag = tag;
        lines.clear();
      } else if (line.size() >= end.size() &&
                 line.compare(line.size() - end.size(), end.size(), end) == 0) {
        sections.emplace(tag, line.substr(close + 1, line.size() - close - 1 - end.size()));
      }
    } else if (line == "</" + open_tag + ">") {
      sections.emplace(open_tag, SectionBytes(lines));
      open_tag.clear();
    } else {
      lines.push_back(line);
    }
  }
  EXPECT_TRUE(open_tag.empty()) << file << ": <" << open_tag << "> is not closed";
  return sections;
}

std::string One(const Sections& sections, const std::string& tag) {
  const auto it = sections.find(tag);
  return it == sections.end() ? std::string() : it->second;
}

const char* OutcomeName(HttpOutcome outcome) {
  switch (outcome) {
    case HttpOutcome::kCompleted:
      return "completed";
    case HttpOutcome::kRefused:
      return "refused";
    case HttpOutcome::kConnectFailed:
      return "connect-failed";
    case HttpOutcome::kTransportFailed:
      return "transport-failed";
    case HttpOutcome::kTooLarge:
      return "too-large";
    case HttpOutcome::kNotCompleted:
      return "not-completed";
  }
  return "?";
}

class CaseHost : public DownloadHost {
 public:
  explicit CaseHost(const std::string& login) {
    std::istringstream words(login);
    words >> user >> password;
  }
  std::string UserId() override { return user; }
  std::string Password() override { return password; }
  std::string ProxyHost() override { return ""; }
  std::string ProxyPort() override { return ""; }
  bool DebugTracing() override { return false; }
  void LogLine(const std::string&) override {}
  std::string user;
  std::string password;
};

class ProtocolCaseTest : public ::testing::TestWithParam<std::string> {
 protected:
  TempDir dir_;
  FakeEnv env_{dir_};
};

TEST_P(ProtocolCaseTest, SendsAndReturnsWhatTheFileSays) {
  const Sections c = ReadCase(fs::path(TAVELIN_SOURCE_DIR) / "tests/net/data" / GetParam());
  ScriptedPeerEnv env(&env_);
  for (auto [it, end] = c.equal_range("reply"); it != end; ++it) {
    env.peers.Add({.reply = it->second});
  }
  if (c.count("get") != 0) {
    HttpClient client(env);
    std::string body;
    const HttpResult result = client.Get(One(c, "get"), &body);
    EXPECT_EQ(OutcomeName(result.outcome), One(c, "outcome"));
    if (c.count("status") != 0) {
      EXPECT_EQ(std::to_string(result.status), One(c, "status"));
    }
    if (c.count("connected") != 0) {
      EXPECT_EQ(client.connected() ? "yes" : "no", One(c, "connected"));
    }
    if (c.count("body") != 0) {
      EXPECT_EQ(body, One(c, "body"));
    }
    if (c.count("headers") != 0) {
      std::string headers;
      for (const std::string& line : client.last_reply_headers()) headers += line + "\r\n";
      EXPECT_EQ(headers, One(c, "headers"));
    }
  } else {
    ASSERT_NE(c.count("download"), 0u) << "a case asks for <get> or <download>";
    CaseHost host(One(c, "login"));
    PageDownloader downloader(env, host);
    const std::string file = dir_.File("page.html");
    Status why;
    const std::int64_t saved = downloader.Download(One(c, "download"), file, &why);
    EXPECT_EQ(ReadBytes(file), One(c, "saved")) << why.message();
    EXPECT_EQ(saved, static_cast<std::int64_t>(One(c, "saved").size()));
  }
  EXPECT_EQ(env.peers.sent, One(c, "request"));
}

std::vector<std::string> CaseFiles() {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(fs::path(TAVELIN_SOURCE_DIR) / "tests/net/data")) {
    if (entry.path().extension() == ".case") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Data, ProtocolCaseTest, ::testing::ValuesIn(CaseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = fs::path(info.param).stem().string();
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace tavelin
