#include "support/memory_env.h"

#include <utility>

#include "platform/ascii_text.h"
#include "platform/codepage.h"

namespace tavelin {
namespace {

// The failures, worded as a system would word them.
Status NotFound() { return Status(Status::Kind::kFileError, "no such file"); }
Status BadName() { return Status(Status::Kind::kFileError, std::string()); }
Status Busy() { return Status(Status::Kind::kFileError, "held by a writer"); }
Status Closed() { return Status(Status::Kind::kFileError, "closed"); }

}  // namespace

// Writes straight into the node; the node outlives a delete or rename of its path.
class MemoryEnv::Writer : public WritableFile {
 public:
  explicit Writer(std::shared_ptr<Node> node) : node_(std::move(node)) {}
  ~Writer() override { Close(); }
  Status Append(std::string_view bytes) override {
    if (!node_) return Closed();
    node_->bytes.append(bytes);
    return Status::OK();
  }
  Status Flush() override { return node_ ? Status::OK() : Closed(); }
  Status Sync() override { return node_ ? Status::OK() : Closed(); }
  Status Close() override {
    if (node_) node_->writer_open = false;
    node_.reset();
    return Status::OK();
  }

 private:
  std::shared_ptr<Node> node_;
};

MemoryEnv::MemoryEnv(Env* base, std::vector<std::string> folders)
    : EnvWrapper(base), folders_(folders.begin(), folders.end()) {}

MemoryEnv::~MemoryEnv() = default;

bool MemoryEnv::ValidPath(const std::string& path) {
  std::string system_path;
  return !path.empty() && path.find('\0') == std::string::npos && Cp932ToUtf8(path, &system_path);
}

const MemoryEnv::Node* MemoryEnv::Find(const std::string& path) const {
  const auto found = files_.find(path);
  return found == files_.end() ? nullptr : found->second.get();
}

void MemoryEnv::PutFile(const std::string& path, std::string bytes) {
  auto node = std::make_shared<Node>();
  node->bytes = std::move(bytes);
  files_[path] = std::move(node);
}

std::map<std::string, std::string> MemoryEnv::Files() const {
  std::map<std::string, std::string> files;
  for (const auto& [path, node] : files_) files.emplace(path, node->bytes);
  return files;
}

bool MemoryEnv::FileExists(const std::string& path) { return Find(path) != nullptr; }

bool MemoryEnv::FolderExists(const std::string& path) { return folders_.count(path) != 0; }

bool MemoryEnv::GetFileSize(const std::string& path, uint64_t* size) {
  const Node* node = Find(path);
  if (node == nullptr) return false;
  *size = node->bytes.size();
  return true;
}

Status MemoryEnv::DeleteFile(const std::string& path) {
  return files_.erase(path) != 0 ? Status::OK() : NotFound();
}

Status MemoryEnv::RenameFile(const std::string& from, const std::string& to) {
  const auto found = files_.find(from);
  if (found == files_.end()) return NotFound();
  if (!ValidPath(to)) return BadName();
  std::shared_ptr<Node> node = std::move(found->second);
  files_.erase(found);
  files_[to] = std::move(node);
  return Status::OK();
}

Status MemoryEnv::CreateFolder(const std::string& path) {
  if (!ValidPath(path)) return BadName();
  folders_.insert(path);
  return Status::OK();
}

Status MemoryEnv::ForceFolders(const std::string& path) { return CreateFolder(path); }

Status MemoryEnv::ListFiles(const std::string& folder, const std::string& suffix,
                            std::vector<std::string>* names) {
  names->clear();
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '/') prefix += '/';
  for (const auto& entry : files_) {
    const std::string& path = entry.first;
    if (path.compare(0, prefix.size(), prefix) != 0) continue;
    std::string name = path.substr(prefix.size());
    if (name.find('/') == std::string::npos && EndsWithIgnoringAsciiCase(name, suffix)) {
      names->push_back(std::move(name));
    }
  }
  return Status::OK();
}

Status MemoryEnv::ReadFile(const std::string& path, std::string* contents) {
  const Node* node = Find(path);
  if (node == nullptr) return NotFound();
  if (node->writer_open) return Busy();
  *contents = node->bytes;
  return Status::OK();
}

Status MemoryEnv::NewWritableFile(const std::string& path, bool append,
                                  std::unique_ptr<WritableFile>* file) {
  if (!ValidPath(path)) return BadName();
  std::shared_ptr<Node>& node = files_[path];
  if (!node) node = std::make_shared<Node>();
  if (node->writer_open) return Busy();  // refused before anything is cut
  if (!append) node->bytes.clear();
  node->writer_open = true;
  *file = std::make_unique<Writer>(node);
  return Status::OK();
}

Status MemoryEnv::ReadSharedFile(const std::string& path, std::string* contents) {
  const Node* node = Find(path);
  if (node == nullptr) return NotFound();
  *contents = node->bytes;
  return Status::OK();
}

Status MemoryEnv::ReplaceFile(const std::string& path, std::string_view bytes) {
  if (!ValidPath(path)) return BadName();
  PutFile(path, std::string(bytes));  // a writer still open keeps the old node
  return Status::OK();
}

Status MemoryEnv::LinkOrCopyFile(const std::string& from, const std::string& to) {
  const Node* node = Find(from);
  if (node == nullptr) return NotFound();
  if (!ValidPath(to)) return BadName();
  PutFile(to, node->bytes);
  return Status::OK();
}

Status MemoryEnv::SyncFolder(const std::string& folder) {
  return FolderExists(folder) ? Status::OK() : NotFound();
}

}  // namespace tavelin
