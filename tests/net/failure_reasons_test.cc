// Every way a page download can fail, over a scripted peer: the exact sentence the log and
// the connection test's box show for each.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>

#include "net/page_download.h"
#include "support/scripted_peer.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

using Peer = PeerScript;  // what one connection attempt meets

class Host : public DownloadHost {
 public:
  std::string UserId() override { return "rd"; }
  std::string Password() override { return "wrong"; }
  std::string ProxyHost() override { return proxy_host; }
  std::string ProxyPort() override { return "3128"; }
  bool DebugTracing() override { return false; }
  void LogLine(const std::string&) override {}
  std::string proxy_host;
};

Status Failed(Status::Kind kind, const char* text) { return Status(kind, text); }

TEST(FailureReasonsTest, EachFailureSaysWhatHappenedAndWhere) {
  using K = Status::Kind;
  const std::string url = "http://rd-x5:80/program/program.htm";
  const std::string closing = "Connection: close\r\nContent-Length: 0\r\n\r\n";
  const Peer digest_challenge{
      {},
      "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"rd\", nonce=\"n\", "
      "qop=\"auth\"\r\n" +
          closing};
  const Peer basic_challenge{
      {}, "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"rd\"\r\n" + closing};
  const Peer not_found{{}, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"};
  const struct Case {
    const char* name;
    std::deque<Peer> peers;
    K kind;
    std::string reason;
    std::string proxy = "";
    std::string url = "http://rd-x5:80/program/program.htm";
  } cases[] = {
      {"name unknown",
       {{Failed(K::kNameNotResolved, "Name or service not known")}},
       K::kNameNotResolved,
       "名前を解決できません: rd-x5 (Name or service not known)"},
      {"refused",
       {{Failed(K::kRefused, "Connection refused")}},
       K::kRefused,
       "接続を拒否されました: rd-x5:80 (Connection refused)"},
      {"unreachable",
       {{Failed(K::kUnreachable, "No route to host")}},
       K::kUnreachable,
       "ネットワークに到達できません: rd-x5:80 (No route to host)"},
      {"no answer to the connect",
       {{Failed(K::kTimedOut, "Connection timed out")}},
       K::kTimedOut,
       "接続に応答がありません: rd-x5:80 (Connection timed out)"},
      {"other connect failure",
       {{Failed(K::kConnectFailed, "Too many open files")}},
       K::kConnectFailed,
       "接続できません: rd-x5:80 (Too many open files)"},
      {"request not sent",
       {{{}, "", false, SIZE_MAX, 0, Failed(K::kSendFailed, "Broken pipe")}},
       K::kSendFailed,
       "送信できません: rd-x5:80 (Broken pipe)"},
      {"read fails",
       {{{}, "", false, SIZE_MAX, 0, {}, Failed(K::kReceiveFailed, "Connection reset by peer")}},
       K::kReceiveFailed,
       "受信できません: rd-x5:80 (Connection reset by peer)"},
      {"silent peer", {{{}, "", true}}, K::kTimedOut, "応答がありません: rd-x5:80 (60秒)"},
      {"dripping peer",
       {{{}, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n", true, 1, 50'000'000}},
       HttpKind::kDeadlinePassed,
       "時間切れ: rd-x5:80 (180秒で終わりません)"},
      {"closed before the reply",
       {{{}, ""}},
       HttpKind::kClosedEarly,
       "応答の前に切断されました: rd-x5:80"},
      {"closed inside the body",
       {{{}, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"}},
       HttpKind::kClosedEarly,
       "応答の途中で切断されました: rd-x5:80"},
      {"not HTTP",
       {{{}, "SSH-2.0-OpenSSH_9.2\r\n"}},
       HttpKind::kNotHttp,
       "HTTPの応答ではありません: rd-x5:80"},
      {"page missing", {not_found}, HttpKind::kHttpStatus, "エラー応答 404 Not Found: " + url},
      {"server error",
       {{{}, "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 2\r\n\r\nno"}},
       HttpKind::kHttpStatus,
       "エラー応答 500 Internal Server Error: " + url},
      {"redirect",
       {{{},
         "HTTP/1.1 302 Found\r\nLocation: http://rd-x5/login.htm\r\nContent-Length: 0\r\n\r\n"}},
       HttpKind::kRedirect,
       "転送の応答 302 Found (転送先 http://rd-x5/login.htm): " + url},
      {"wrong password behind Digest",
       {digest_challenge, digest_challenge},
       HttpKind::kLoginRefused,
       "ユーザーIDかパスワードが違います (Digest認証): " + url},
      {"wrong password behind Basic",
       {basic_challenge, basic_challenge},
       HttpKind::kLoginRefused,
       "ユーザーIDかパスワードが違います (Basic認証): " + url},
      {"login kind unknown",
       {{{}, "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: NTLM\r\n" + closing}},
       HttpKind::kUnknownLogin,
       "対応していない認証方式です (401): " + url},
      {"reply too large",
       {{{}, "HTTP/1.1 200 OK\r\nContent-Length: 67108865\r\n\r\n"}},
       HttpKind::kTooLarge,
       "応答が大きすぎます: rd-x5:80 (上限 64MiB)"},
      {"empty page",
       {{{}, "HTTP/1.1 200 OK\r\n" + closing}},
       HttpKind::kEmptyReply,
       "空の応答: " + url},
      {"line break in the address",
       {},
       HttpKind::kRequestRefused,
       "改行を含む値があるので送りません: rd-x5:80",
       "",
       "http://rd-x5:80/program\r\nX: 1"},
      {"proxy name unknown",
       {{Failed(K::kNameNotResolved, "Name or service not known")}},
       K::kNameNotResolved,
       "プロキシの名前を解決できません: proxy.lan [宛先 rd-x5:80] (Name or service not known)",
       "proxy.lan"},
      {"proxy refuses",
       {{Failed(K::kRefused, "Connection refused")}},
       K::kRefused,
       "接続を拒否されました: プロキシ proxy.lan:3128 [宛先 rd-x5:80] (Connection refused)",
       "proxy.lan"},
      {"page missing behind the proxy",
       {not_found},
       HttpKind::kHttpStatus,
       "エラー応答 404 Not Found: " + url + " [プロキシ proxy.lan:3128 経由]",
       "proxy.lan"},
      {"silent behind the proxy",
       {{{}, "", true}},
       K::kTimedOut,
       "応答がありません: rd-x5:80 [プロキシ proxy.lan:3128 経由] (60秒)",
       "proxy.lan"},
  };
  TempDir dir;
  FakeEnv base(dir);
  const std::string file = dir.File("page.html");
  for (const Case& c : cases) {
    ScriptedPeerEnv env(&base, c.peers);
    Host host;
    host.proxy_host = c.proxy;
    PageDownloader downloader(env, host);
    WriteBytes(file, "old page");
    Status why;
    EXPECT_EQ(downloader.Download(c.url, file, &why), 0) << c.name;
    EXPECT_EQ(why.kind(), c.kind) << c.name;
    EXPECT_EQ(why.message(), c.reason) << c.name;
    EXPECT_EQ(ReadBytes(file), "old page") << c.name;
  }
}

TEST(FailureReasonsTest, APageThatCannotBeSavedNamesTheFile) {
  TempDir dir;
  FakeEnv base(dir);
  ScriptedPeerEnv env(&base, {{{}, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\npage"}});
  Host host;
  PageDownloader downloader(env, host);
  const std::string file = dir.File("missing/page.html");
  Status why;
  EXPECT_EQ(downloader.Download("http://rd-x5:80/program/program.htm", file, &why), 0);
  EXPECT_EQ(why.kind(), Status::Kind::kFileError);
  EXPECT_EQ(why.message(), "ページを保存できません: " + file + " (フォルダがありません)");
  // A page that arrives afterwards clears the reason.
  ScriptedPeerEnv good(&base, {{{}, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\npage"}});
  PageDownloader again(good, host);
  EXPECT_EQ(again.Download("http://rd-x5:80/program/program.htm", dir.File("page.html"), &why), 4);
  EXPECT_TRUE(why.ok());
}

}  // namespace
}  // namespace tavelin
