#include "net/http_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "support/recorder_sim.h"
#include "support/scripted_peer.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

const char kPlainRequest[] =
    "GET /program/program.htm HTTP/1.1\r\n"
    "Host: 127.0.0.1\r\n"
    "Accept: text/html, */*\r\n"
    "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
    "\r\n";

// Answers every connection with `script` and then closes.
class ReplyEnv : public ScriptedPeerEnv {
 public:
  ReplyEnv(Env* target, PeerScript script) : ScriptedPeerEnv(target) {
    peers.repeat_last = true;
    peers.Add(std::move(script));
  }
};

class HttpClientTest : public ::testing::Test {
 protected:
  TempDir dir_;
  FakeEnv env_{dir_};
};

TEST_F(HttpClientTest, ParsesUrls) {
  struct Case {
    const char* url;
    const char* host;
    int port;
    const char* path;
  } cases[] = {
      {"http://192.168.0.5:8000/program/program.htm", "192.168.0.5", 8000, "/program/program.htm"},
      {"http://rd-h1:/program/program.htm", "rd-h1", 80, "/program/program.htm"},
      {"http://rd-h1:abc/x", "rd-h1", 80, "/x"},
      {"http://rd-h1:99999/x", "rd-h1", 80, "/x"},
      {"http://rd-h1", "rd-h1", 80, "/"},
  };
  for (const Case& c : cases) {
    HttpUrl url = ParseHttpUrl(c.url);
    EXPECT_EQ(url.host, c.host) << c.url;
    EXPECT_EQ(url.port, c.port) << c.url;
    EXPECT_EQ(url.path, c.path) << c.url;
  }
}

TEST_F(HttpClientTest, BuildsExactRequestBytes) {
  HttpClient client(env_);
  std::string request;
  ASSERT_TRUE(client.BuildRequest("http://127.0.0.1:8000/program/program.htm", &request));
  EXPECT_EQ(request, kPlainRequest);

  client.SetBasicCredentials("rd", "recorder");
  client.extra_header_lines() = {"X-One: 1", "X-Two: 2"};
  ASSERT_TRUE(client.BuildRequest("http://127.0.0.1:8000/program/program.htm", &request));
  EXPECT_EQ(request,
            "GET /program/program.htm HTTP/1.1\r\nHost: 127.0.0.1\r\n"
            "Accept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
            "Authorization: Basic cmQ6cmVjb3JkZXI=\r\nX-One: 1\r\nX-Two: 2\r\n\r\n");

  // Base64 padding for one and two trailing bytes.
  client.extra_header_lines().clear();
  client.SetBasicCredentials("a", "");
  ASSERT_TRUE(client.BuildRequest("http://h/", &request));
  EXPECT_NE(request.find("Authorization: Basic YTo=\r\n"), std::string::npos);
  client.SetBasicCredentials("ab", "");
  ASSERT_TRUE(client.BuildRequest("http://h/", &request));
  EXPECT_NE(request.find("Authorization: Basic YWI6\r\n"), std::string::npos);
}

TEST_F(HttpClientTest, ProxyTargetCarriesPortOnlyWhenNot80) {
  HttpClient client(env_);
  EXPECT_EQ(client.RequestTarget("http://rd:8000/program/program.htm"), "/program/program.htm");
  client.SetProxy("proxy", 8080);
  EXPECT_EQ(client.RequestTarget("http://rd:80/program/program.htm"),
            "http://rd/program/program.htm");
  EXPECT_EQ(client.RequestTarget("http://rd:/program/program.htm"),
            "http://rd/program/program.htm");
  EXPECT_EQ(client.RequestTarget("http://rd:8000/program/program.htm"),
            "http://rd:8000/program/program.htm");
}

TEST_F(HttpClientTest, RefusesLineBreaksAnywhereInTheRequest) {
  RecorderSim sim;
  ASSERT_TRUE(sim.started());
  const std::string url = sim.Url("/program/program.htm");
  struct Case {
    const char* name;
    std::function<void(HttpClient&, std::string*)> setup;
  } cases[] = {
      {"host", [&](HttpClient&, std::string* u) { *u = "http://127.0.0.1\r\nX-Evil: 1:1/"; }},
      {"path", [&](HttpClient&, std::string* u) { *u += "\nX-Evil: 1"; }},
      {"basic user", [](HttpClient& c, std::string*) { c.SetBasicCredentials("rd\r\nX: 1", "p"); }},
      {"basic password", [](HttpClient& c, std::string*) { c.SetBasicCredentials("rd", "p\n"); }},
      {"extra line",
       [](HttpClient& c, std::string*) {
         c.extra_header_lines() = {"Authorization: Digest nonce=\"a\rX-Evil: 1\""};
       }},
      {"proxy host", [](HttpClient& c, std::string*) { c.SetProxy("127.0.0.1\r\n", 80); }},
  };
  for (const Case& c : cases) {
    HttpClient client(env_);
    std::string target = url;
    c.setup(client, &target);
    std::string body;
    EXPECT_EQ(client.Get(target, &body).outcome, HttpOutcome::kRefused) << c.name;
  }
  EXPECT_TRUE(sim.Requests().empty());
}

TEST_F(HttpClientTest, ReadsEveryBodyFramingAndKeepsConnectionAsTold) {
  struct Case {
    std::vector<std::string> args;
    bool stays_open;
  } cases[] = {
      {{"--body", "content-length"}, true}, {{"--body", "chunked"}, true},
      {{"--body", "until-close"}, false},   {{"--http10"}, false},
      {{"--connection", "CLOSE"}, false},   {{"--connection", "Keep-Alive"}, true},
  };
  std::string expected;
  {
    RecorderSim plain({"--body", "until-close"});
    HttpClient client(env_);
    ASSERT_TRUE(client.Get(plain.Url("/program/program.htm"), &expected).completed());
    ASSERT_GT(expected.size(), 500u);
  }
  for (const Case& c : cases) {
    std::string name = c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "");
    RecorderSim sim(c.args);
    ASSERT_TRUE(sim.started());
    HttpClient client(env_);
    std::string body;
    HttpResult result = client.Get(sim.Url("/program/program.htm"), &body);
    EXPECT_TRUE(result.completed()) << name;
    EXPECT_EQ(result.status, 200) << name;
    EXPECT_EQ(body, expected) << name;
    EXPECT_EQ(client.connected(), c.stays_open) << name;
    // A second request works whether the connection was kept or not.
    body.clear();
    EXPECT_TRUE(client.Get(sim.Url("/program/program.htm"), &body).completed()) << name;
    EXPECT_EQ(body, expected) << name;
    std::vector<std::string> requests = sim.Requests();
    ASSERT_EQ(requests.size(), 2u) << name;
    EXPECT_EQ(requests[0], kPlainRequest) << name;
    EXPECT_EQ(requests[1], kPlainRequest) << name;
  }
}

TEST_F(HttpClientTest, ReconnectsWhenPeerClosedKeptConnection) {
  std::string body;
  HttpClient client(env_);
  {
    RecorderSim first;
    ASSERT_TRUE(client.Get(first.Url("/setup/s_chset.htm"), &body).completed());
    ASSERT_TRUE(client.connected());
  }  // the simulator ends and its connection with it
  RecorderSim second;
  ASSERT_TRUE(second.started());
  body.clear();
  EXPECT_TRUE(client.Get(second.Url("/setup/s_chset.htm"), &body).completed());
  EXPECT_NE(body.find("c5[index]="), std::string::npos);
}

TEST_F(HttpClientTest, RedirectIsNotFollowedButItsBodyIsKept) {
  RecorderSim sim({"--redirect"});
  HttpClient client(env_);
  std::string body;
  HttpResult result = client.Get(sim.Url("/program/program.htm"), &body);
  EXPECT_EQ(result.outcome, HttpOutcome::kNotCompleted);
  EXPECT_EQ(result.status, 302);
  EXPECT_NE(body.find("<html>"), std::string::npos);
  EXPECT_EQ(sim.Requests().size(), 1u);
  bool has_location = false;
  for (const std::string& line : client.last_reply_headers()) {
    has_location |= line.rfind("Location: http://", 0) == 0;
  }
  EXPECT_TRUE(has_location);
}

TEST_F(HttpClientTest, CutOrStalledBodyFails) {
  {
    RecorderSim sim({"--cut-body"});
    HttpClient client(env_);
    std::string body;
    EXPECT_EQ(client.Get(sim.Url("/program/program.htm"), &body).outcome,
              HttpOutcome::kTransportFailed);
    EXPECT_FALSE(body.empty());
    EXPECT_FALSE(client.connected());
  }
  {
    RecorderSim sim({"--stall", "30"});
    HttpClient client(env_);
    client.set_receive_timeout_ms(1000);
    std::string body;
    EXPECT_EQ(client.Get(sim.Url("/program/program.htm"), &body).outcome,
              HttpOutcome::kTransportFailed);
    EXPECT_FALSE(client.connected());
  }
}

TEST_F(HttpClientTest, EveryRequestEndsByItsDeadline) {
  const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n" + std::string(20, 'b');
  struct Case {
    const char* name;
    int step_ms;
    bool completed;
  } cases[] = {
      {"a byte every 20 s passes the 60 s idle limit but not the 3 minutes", 20000, false},
      {"a byte every 100 ms ends in time", 100, true},
  };
  for (const Case& c : cases) {
    ReplyEnv env(&env_, {.reply = reply, .piece = 1, .step_us = c.step_ms * 1000ull});
    HttpClient client(env);
    std::string body;
    const HttpResult result = client.Get("http://rd/", &body);
    EXPECT_EQ(result.completed(), c.completed) << c.name;
    if (!c.completed) {
      EXPECT_EQ(result.outcome, HttpOutcome::kTransportFailed) << c.name;
      EXPECT_LE(env.NowMicros(), 5'000'000u + 180'000'000u) << c.name;
      EXPECT_LE(env.peers.last_timeout_ms, 20000) << c.name;  // the last wait is what is left
    }
  }
}

TEST_F(HttpClientTest, HeaderLineLimitHoldsHoweverTheBytesArrive) {
  // A header line of exactly the limit passes, one byte more fails, whether the line comes
  // in one piece or a byte at a time.
  for (std::size_t extra : {0, 1}) {
    const std::string reply = "HTTP/1.1 200 OK\r\nX: " + std::string(64 * 1024 - 3 + extra, 'h') +
                              "\r\nContent-Length: 1\r\n\r\nb";
    ReplyEnv whole(&env_, {.reply = reply});
    HttpClient whole_client(whole);
    ReplyEnv drip(&env_, {.reply = reply, .piece = 1});
    HttpClient drip_client(drip);
    std::string body;
    EXPECT_EQ(whole_client.Get("http://rd/", &body).completed(), extra == 0) << extra;
    EXPECT_EQ(drip_client.Get("http://rd/", &body).completed(), extra == 0) << extra;
  }
}

TEST_F(HttpClientTest, UnreachablePortFailsToConnect) {
  int port;
  {
    RecorderSim sim;
    port = sim.port();
  }
  HttpClient client(env_);
  std::string body;
  EXPECT_EQ(client.Get("http://127.0.0.1:" + std::to_string(port) + "/", &body).outcome,
            HttpOutcome::kConnectFailed);
}

TEST_F(HttpClientTest, MalformedOrOversizedRepliesFail) {
  const std::size_t cap = HttpClient::kMaxReplyBody;
  struct Case {
    const char* name;
    std::string reply;
    std::size_t filler;
    HttpOutcome outcome;
  } cases[] = {
      {"chunks beyond the cap",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n3FFFFFD\r\n", 0,
       HttpOutcome::kTooLarge},
      {"content length beyond the cap",
       "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(cap + 1) + "\r\n\r\n", 0,
       HttpOutcome::kTooLarge},
      {"body until close beyond the cap", "HTTP/1.1 200 OK\r\n\r\n", cap + 1,
       HttpOutcome::kTooLarge},
  };
  for (const Case& c : cases) {
    ReplyEnv env(&env_, {.reply = c.reply, .filler = c.filler});
    HttpClient client(env);
    std::string body;
    EXPECT_EQ(client.Get("http://rd/program/program.htm", &body).outcome, c.outcome) << c.name;
    EXPECT_LE(body.size(), cap) << c.name;
    EXPECT_FALSE(client.connected()) << c.name;
  }
}

TEST_F(HttpClientTest, BodyExactlyAtTheCapIsAccepted) {
  ReplyEnv env(&env_, {.reply = "HTTP/1.1 200 OK\r\n\r\n", .filler = HttpClient::kMaxReplyBody});
  HttpClient client(env);
  std::string body;
  EXPECT_TRUE(client.Get("http://rd/", &body).completed());
  EXPECT_EQ(body.size(), HttpClient::kMaxReplyBody);
}

TEST_F(HttpClientTest, ChunkExtensionsAndTrailersStayOutOfTheBody) {
  ReplyEnv env(&env_,
               {.reply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n"
                         "5;ext=1\r\nhello\r\n1 \r\n \r\n5\r\nworld\r\n0\r\nX-Sum: 9\r\n\r\n"});
  HttpClient client(env);
  std::string body = "before|";
  EXPECT_TRUE(client.Get("http://rd/", &body).completed());
  EXPECT_EQ(body, "before|hello world");
  EXPECT_TRUE(client.connected());
}

}  // namespace
}  // namespace tavelin
