#include "net/page_download.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <stdexcept>

#include "net/md5.h"
#include "support/recorder_sim.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

const char kHead[] =
    "GET /program/program.htm HTTP/1.1\r\n"
    "Host: 127.0.0.1\r\n"
    "Accept: text/html, */*\r\n"
    "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";

class FakeHost : public DownloadHost {
 public:
  std::string UserId() override { return user; }
  std::string Password() override { return password; }
  std::string ProxyHost() override { return proxy_host; }
  std::string ProxyPort() override { return proxy_port; }
  bool DebugTracing() override { return debug; }
  void LogLine(const std::string& line) override { lines.push_back(line); }

  std::string user = " rd ";  // blanks around the boxes are trimmed
  std::string password = "recorder\t";
  std::string proxy_host;
  std::string proxy_port = "8080";
  bool debug = false;
  std::vector<std::string> lines;
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The quoted value of `name` in an Authorization line.
std::string Param(const std::string& request, const std::string& name) {
  std::size_t at = request.find(" " + name + "=");
  if (at == std::string::npos) return "";
  at += name.size() + 2;
  if (request[at] == '"') {
    std::size_t end = request.find('"', at + 1);
    return request.substr(at + 1, end - at - 1);
  }
  return request.substr(at, request.find_first_of(",\r", at) - at);
}

// The Digest request the recorder must receive, rebuilt from first principles.
std::string ExpectedDigestRequest(const std::string& head, const std::string& realm,
                                  const std::string& nonce, const std::string& uri,
                                  const std::string& nc, uint32_t random) {
  char random_text[9];
  std::snprintf(random_text, sizeof random_text, "%08X", random);
  std::string cnonce = Md5Hex(random_text);
  std::string ha1 = Lower(Md5Hex("rd:" + realm + ":recorder"));
  std::string ha2 = Lower(Md5Hex("GET:" + uri));
  std::string response =
      Lower(Md5Hex(ha1 + ":" + nonce + ":" + nc + ":" + cnonce + ":auth:" + ha2));
  return head + "Authorization: Digest username=\"rd\", realm=\"" + realm + "\", nonce=\"" + nonce +
         "\", uri=\"" + uri + "\", algorithm=\"MD5\", qop=\"auth\", nc=" + nc + ", cnonce=\"" +
         cnonce + "\", response=\"" + response + "\"\r\n\r\n";
}

class PageDownloadTest : public ::testing::Test {
 protected:
  std::string Page(RecorderSim& sim) {
    HttpClient client(env_);
    std::string body;
    EXPECT_TRUE(client.Get(sim.Url("/program/program.htm"), &body).completed());
    return body;
  }

  TempDir dir_;
  FakeEnv env_{dir_};
  FakeHost host_;
  std::string file_ = dir_.File("page.html");
};

TEST_F(PageDownloadTest, PageAtOnceNeedsNoLogin) {
  RecorderSim sim;
  ASSERT_TRUE(sim.started());
  PageDownloader downloader(env_, host_);
  std::int64_t count = downloader.Download(sim.Url("/program/program.htm"), file_);
  std::string saved = ReadBytes(file_);
  EXPECT_GT(count, 0);
  EXPECT_EQ(static_cast<std::size_t>(count), saved.size());
  EXPECT_NE(saved.find("b_proginfo.htm?"), std::string::npos);
  EXPECT_EQ(downloader.nonce_counter(), 0);
  EXPECT_EQ(sim.Requests(), std::vector<std::string>{std::string(kHead) + "\r\n"});
}

TEST_F(PageDownloadTest, DigestLoginSavesRefusalAndPage) {
  RecorderSim sim({"--login", "digest"});
  ASSERT_TRUE(sim.started());
  PageDownloader downloader(env_, host_);
  std::int64_t count = downloader.Download(sim.Url("/program/program.htm"), file_);
  EXPECT_EQ(downloader.nonce_counter(), 1);

  std::vector<std::string> requests = sim.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], std::string(kHead) + "\r\n");
  std::string nonce = Param(requests[1], "nonce");
  EXPECT_EQ(requests[1], ExpectedDigestRequest(kHead, "RD-Recorder", nonce, "/program/program.htm",
                                               "00000001", 0x12345678));
  EXPECT_TRUE(std::regex_match(Param(requests[1], "cnonce"), std::regex("[0-9A-F]{32}")));
  EXPECT_TRUE(std::regex_match(Param(requests[1], "response"), std::regex("[0-9a-f]{32}")));

  std::string saved = ReadBytes(file_);
  EXPECT_EQ(static_cast<std::size_t>(count), saved.size());
  std::size_t refusal_end = saved.find("</html>\r\n");
  ASSERT_NE(refusal_end, std::string::npos);
  EXPECT_NE(saved.find("401"), std::string::npos);
  EXPECT_NE(saved.find("b_proginfo.htm?", refusal_end), std::string::npos);

  // The login stays: the next download is accepted at once with the same line.
  ASSERT_GT(downloader.Download(sim.Url("/program/program.htm"), file_), 0);
  requests = sim.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2], requests[1]);
  EXPECT_EQ(downloader.nonce_counter(), 1);
}

TEST_F(PageDownloadTest, NonceCountGrowsAcrossDownloads) {
  RecorderSim sim({"--login", "digest", "--single-use-nonce"});
  ASSERT_TRUE(sim.started());
  PageDownloader downloader(env_, host_);
  for (int i = 1; i <= 16; ++i) {
    ASSERT_GT(downloader.Download(sim.Url("/program/program.htm"), file_), 0) << i;
  }
  EXPECT_EQ(downloader.nonce_counter(), 16);
  std::vector<std::string> logins;
  for (const std::string& request : sim.Requests()) {
    if (request.find(" nc=") != std::string::npos) logins.push_back(Param(request, "nc"));
  }
  // Each later download first repeats the spent line, then logs in anew.
  ASSERT_GE(logins.size(), 16u);
  std::vector<std::string> fresh;
  for (std::size_t i = 0; i < logins.size(); ++i) {
    if (i == 0 || logins[i] != logins[i - 1]) fresh.push_back(logins[i]);
  }
  ASSERT_EQ(fresh.size(), 16u);
  EXPECT_EQ(fresh[0], "00000001");
  EXPECT_EQ(fresh[9], "0000000a");
  EXPECT_EQ(fresh[15], "00000010");
}

TEST_F(PageDownloadTest, DigestVariantsLogIn) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* realm;
  } cases[] = {
      {"several qop options", {"--qop", "auth,auth-int"}, "RD-Recorder"},
      {"realm with a blank", {"--realm", "RD Recorder"}, "RD Recorder"},
      {"chunked replies", {"--body", "chunked"}, "RD-Recorder"},
      {"HTTP/1.0 replies", {"--http10"}, "RD-Recorder"},
      {"empty refusals on a kept connection", {"--body", "zero-length"}, "RD-Recorder"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--login", "digest"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RecorderSim sim(args);
    ASSERT_TRUE(sim.started()) << c.name;
    FakeEnv env(dir_);  // the same random number behind every case's cnonce
    PageDownloader downloader(env, host_);
    EXPECT_GT(downloader.Download(sim.Url("/program/program.htm"), file_), 0) << c.name;
    std::vector<std::string> requests = sim.Requests();
    ASSERT_EQ(requests.size(), 2u) << c.name;
    EXPECT_EQ(requests[1], ExpectedDigestRequest(kHead, c.realm, Param(requests[1], "nonce"),
                                                 "/program/program.htm", "00000001", 0x12345678))
        << c.name;
    EXPECT_NE(ReadBytes(file_).find("b_proginfo.htm?"), std::string::npos) << c.name;
  }
}

TEST_F(PageDownloadTest, BasicLoginAndItsLaterUse) {
  RecorderSim sim({"--login", "basic"});
  ASSERT_TRUE(sim.started());
  PageDownloader downloader(env_, host_);
  host_.debug = true;
  EXPECT_GT(downloader.Download(sim.Url("/program/program.htm"), file_), 0);
  EXPECT_GT(downloader.Download(sim.Url("/program/program.htm"), file_), 0);
  std::string basic = std::string(kHead) + "Authorization: Basic cmQ6cmVjb3JkZXI=\r\n\r\n";
  EXPECT_EQ(sim.Requests(), (std::vector<std::string>{std::string(kHead) + "\r\n", basic, basic}));
  EXPECT_EQ(downloader.nonce_counter(), 0);
  const std::string url = sim.Url("/program/program.htm");
  // Each reply's status line is traced, and which login it answered.
  EXPECT_EQ(host_.lines, (std::vector<std::string>{
                             url + "に接続中...", "応答: HTTP/1.1 401 Unauthorized",
                             url + "にBASICログイン中...", "Basicログインへの応答: HTTP/1.1 200 OK",
                             file_ + "に保存中...", url + "に接続中...", "応答: HTTP/1.1 200 OK",
                             file_ + "に保存中..."}));
}

TEST_F(PageDownloadTest, RefusedOrIncompleteDownloadsSaveNothing) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::size_t requests;
  } cases[] = {
      {"wrong password (digest)", {"--login", "digest", "--password", "other"}, 2},
      {"wrong password (basic)", {"--login", "basic", "--password", "other"}, 2},
      {"challenge in other letter case",
       {"--login", "digest", "--challenge-header", "www-authenticate"},
       1},
      {"redirect", {"--redirect"}, 1},
      {"body cut short", {"--cut-body"}, 1},
  };
  for (const Case& c : cases) {
    RecorderSim sim(c.args);
    ASSERT_TRUE(sim.started()) << c.name;
    WriteBytes(file_, "old page");
    PageDownloader downloader(env_, host_);
    EXPECT_EQ(downloader.Download(sim.Url("/program/program.htm"), file_), 0) << c.name;
    EXPECT_EQ(ReadBytes(file_), "old page") << c.name;
    EXPECT_EQ(sim.Requests().size(), c.requests) << c.name;
  }
}

TEST_F(PageDownloadTest, LineBreakInUserIdSendsNoLogin) {
  RecorderSim sim({"--login", "digest"});
  ASSERT_TRUE(sim.started());
  host_.user = "rd\r\nX-Injected: 1";
  PageDownloader downloader(env_, host_);
  EXPECT_EQ(downloader.Download(sim.Url("/program/program.htm"), file_), 0);
  EXPECT_EQ(sim.Requests().size(), 1u);
  EXPECT_FALSE(env_.FileExists(file_));
}

TEST_F(PageDownloadTest, UnreachableRecorderGivesZero) {
  int port;
  {
    RecorderSim sim;
    port = sim.port();
  }
  PageDownloader downloader(env_, host_);
  EXPECT_EQ(downloader.Download("http://127.0.0.1:" + std::to_string(port) + "/program/program.htm",
                                file_),
            0);
  EXPECT_FALSE(env_.FileExists(file_));
}

TEST_F(PageDownloadTest, DigestThroughProxy) {
  RecorderSim recorder({"--login", "digest"});
  ASSERT_TRUE(recorder.started());
  // The proxy sends targets without a port to the recorder, standing in for port 80.
  RecorderSim proxy({"--proxy", "--proxy-default-port", std::to_string(recorder.port())});
  ASSERT_TRUE(proxy.started());
  host_.proxy_host = "127.0.0.1";
  host_.proxy_port = std::to_string(proxy.port());

  struct Case {
    std::string url;
    std::string target;
  } cases[] = {
      {"http://127.0.0.1:80/program/program.htm", "http://127.0.0.1/program/program.htm"},
      {recorder.Url("/program/program.htm"),
       "http://127.0.0.1:" + std::to_string(recorder.port()) + "/program/program.htm"},
  };
  for (const Case& c : cases) {
    FakeEnv env(dir_);
    PageDownloader downloader(env, host_);
    EXPECT_GT(downloader.Download(c.url, file_), 0) << c.url;
    std::vector<std::string> requests = proxy.Requests();
    ASSERT_GE(requests.size(), 2u) << c.url;
    std::string head = kHead;
    head.replace(4, std::strlen("/program/program.htm"), c.target);
    const std::string& first = requests[requests.size() - 2];
    const std::string& second = requests.back();
    EXPECT_EQ(first, head + "\r\n");
    EXPECT_EQ(second, ExpectedDigestRequest(head, "RD-Recorder", Param(second, "nonce"), c.target,
                                            "00000001", 0x12345678));
  }
  // The recorder saw the same bytes the proxy received.
  EXPECT_EQ(recorder.Requests(), proxy.Requests());
}

TEST_F(PageDownloadTest, ProxyPortThatIsNoNumberMeans80) {
  host_.proxy_host = "127.0.0.1";
  host_.proxy_port = "eighty";
  PageDownloader downloader(env_, host_);
  downloader.Download("http://127.0.0.1:1/x", file_);
  EXPECT_EQ(downloader.client().proxy_port(), 80);
  EXPECT_EQ(downloader.client().proxy_host(), "127.0.0.1");
}

TEST_F(PageDownloadTest, PageThatCannotBeSavedIsNotDownloaded) {
  RecorderSim sim;
  PageDownloader downloader(env_, host_);
  std::string file = dir_.File("missing/page.html");
  EXPECT_EQ(downloader.Download(sim.Url("/program/program.htm"), file), 0);
  EXPECT_FALSE(env_.FileExists(file));
}

TEST_F(PageDownloadTest, WriteFailurePassesToCaller) {
  RecorderSim sim;
  FullDiskEnv env(&env_);
  PageDownloader downloader(env, host_);
  EXPECT_THROW(downloader.Download(sim.Url("/program/program.htm"), file_), std::runtime_error);
  EXPECT_FALSE(env.FileExists(file_));  // no half-written page stays behind
}

}  // namespace
}  // namespace tavelin
