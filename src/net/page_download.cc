#include "net/page_download.h"

#include <stdexcept>
#include <utility>

#include "net/digest_auth.h"
#include "platform/ascii_text.h"
#include "platform/file_ops.h"
#include "platform/items.h"
#include "platform/path.h"

namespace tavelin {

namespace {

bool AnyItemContains(const std::vector<std::string>& items, const std::string& word) {
  for (const std::string& item : items) {
    if (item.find(word) != std::string::npos) return true;
  }
  return false;
}

int ProxyPortNumber(const std::string& text) {
  const std::string_view trimmed = TrimControls(text);
  if (trimmed.empty() || trimmed.size() > 9) return 80;
  int port = 0;
  for (char c : trimmed) {
    if (c < '0' || c > '9') return 80;
    port = port * 10 + (c - '0');
  }
  return port;
}

}  // namespace

PageDownloader::PageDownloader(Env& env, DownloadHost& host)
    : env_(env), host_(host), client_(env) {}

void PageDownloader::Trace(const std::string& line) {
  if (host_.DebugTracing()) host_.LogLine(line);
}

std::int64_t PageDownloader::Download(const std::string& url, const std::string& file_name,
                                      Status* why, std::string* saved) {
  Status failure;
  std::string bytes;
  const std::int64_t count = Fetch(url, file_name, &failure, &bytes);
  if (why != nullptr) *why = failure;
  if (saved != nullptr) *saved = count > 0 ? std::move(bytes) : std::string();
  return count;
}

std::int64_t PageDownloader::Fetch(const std::string& url, const std::string& file_name,
                                   Status* why, std::string* saved) {
  client_.SetProxy(host_.ProxyHost(), ProxyPortNumber(host_.ProxyPort()));
  std::string reply;
  Trace(url + "に接続中...");
  HttpResult result = client_.Get(url, &reply);
  if (!result.status_line.empty()) Trace("応答: " + result.status_line);
  // The login kind answered, for the trace and for the reason of a second refusal.
  std::string login;
  if (!result.completed()) {
    // Look for a login challenge among the last reply's header lines, which may be those
    // of an earlier request when this one got no reply at all.
    std::vector<std::string> challenge;
    for (const std::string& line : client_.last_reply_headers()) {
      if (line.find("WWW-Authenticate:") != std::string::npos) {
        challenge = SplitItems(line);
        break;
      }
    }
    if (AnyItemContains(challenge, "Digest")) {
      AnswerDigest(url, challenge);
      login = "Digest";
    } else if (AnyItemContains(challenge, "Basic")) {
      AnswerBasic(url);
      login = "Basic";
    }
    if (!login.empty()) {
      result = client_.Get(url, &reply);
      if (!result.status_line.empty()) Trace(login + "ログインへの応答: " + result.status_line);
    }
  }
  // Only a page that arrived whole counts; a refusal or a cut reply must not replace the
  // file the caller keeps from an earlier run.
  if (!result.completed()) {
    *why = result.why;
    if (result.status == 401) {
      *why = login.empty()
                 ? client_.Failure(HttpKind::kUnknownLogin, "対応していない認証方式です (401)")
                 : client_.Failure(HttpKind::kLoginRefused,
                                   "ユーザーIDかパスワードが違います (" + login + "認証)");
    }
    return 0;
  }
  if (reply.empty()) {
    *why = client_.Failure(HttpKind::kEmptyReply, std::string());
    return 0;
  }

  Trace(file_name + "に保存中...");
  // A page that was not saved whole has not been downloaded: the caller would read
  // whatever is in the file instead.
  std::unique_ptr<WritableFile> file = CreateFileWithRetries(env_, file_name, 0, MessagePump());
  if (!file) {
    const std::string folder = ExtractFilePath(file_name);
    *why =
        Status(Status::Kind::kFileError,
               "ページを保存できません: " + file_name +
                   (folder.empty() || env_.FolderExists(folder) ? "" : " (フォルダがありません)"));
    return 0;
  }
  bool stored = file->Append(reply).ok();
  stored = file->Flush().ok() && stored;
  stored = file->Close().ok() && stored;
  if (!stored) {
    file.reset();
    env_.DeleteFile(file_name);
    throw std::runtime_error(file_name + "に書き込めません");
  }
  *saved = std::move(reply);
  return static_cast<std::int64_t>(saved->size());
}

void PageDownloader::AnswerDigest(const std::string& url,
                                  const std::vector<std::string>& challenge) {
  DigestLogin login;
  login.user = std::string(TrimControls(host_.UserId()));
  login.password = std::string(TrimControls(host_.Password()));
  login.realm_item = ItemValue(challenge, "realm");
  login.nonce_item = ItemValue(challenge, "nonce");
  login.uri = client_.RequestTarget(url);
  login.nonce_count = static_cast<std::uint32_t>(++nonce_counter_);
  login.cnonce = DigestClientNonce(env_.Random32());
  client_.extra_header_lines().assign(1, DigestAuthorizationLine(login));
  Trace(url + "にDigestログイン中...");
}

void PageDownloader::AnswerBasic(const std::string& url) {
  client_.SetBasicCredentials(std::string(TrimControls(host_.UserId())),
                              std::string(TrimControls(host_.Password())));
  client_.extra_header_lines().clear();
  Trace(url + "にBASICログイン中...");
}

}  // namespace tavelin
