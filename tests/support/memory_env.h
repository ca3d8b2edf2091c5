// An Env whose files and folders live in memory, in the manner of LevelDB's memenv: every
// file operation (INI files included, which go through ReadSharedFile and ReplaceFile) works
// on a map of paths, and everything else (clock, environment, registry, network, ...) goes
// to the base Env it wraps. Shared by the tests, the fuzzing harnesses and the benchmarks.
//
// It keeps the contract of the real realisations where a caller could tell: a path without a
// UTF-8 form, empty or holding a NUL is refused; an open writer shuts out other writers and
// ReadFile (not ReadSharedFile); a file deleted or renamed while a writer is open stays
// writable through it, as on POSIX. Paths are compared as given, and a folder exists once it
// is created (or named to the constructor): files need no folder.
#ifndef TAVELIN_TESTS_SUPPORT_MEMORY_ENV_H_
#define TAVELIN_TESTS_SUPPORT_MEMORY_ENV_H_

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace tavelin {

class MemoryEnv : public EnvWrapper {
 public:
  explicit MemoryEnv(Env* base, std::vector<std::string> folders = {});
  ~MemoryEnv() override;

  // Puts `bytes` at `path`, replacing what is there.
  void PutFile(const std::string& path, std::string bytes);
  // Every file with its content, by path.
  std::map<std::string, std::string> Files() const;

  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  bool GetFileSize(const std::string& path, uint64_t* size) override;
  Status DeleteFile(const std::string& path) override;
  Status RenameFile(const std::string& from, const std::string& to) override;
  Status CreateFolder(const std::string& path) override;
  Status ForceFolders(const std::string& path) override;
  Status ListFiles(const std::string& folder, const std::string& suffix,
                   std::vector<std::string>* names) override;
  Status ReadFile(const std::string& path, std::string* contents) override;
  Status NewWritableFile(const std::string& path, bool append,
                         std::unique_ptr<WritableFile>* file) override;
  Status ReadSharedFile(const std::string& path, std::string* contents) override;
  Status ReplaceFile(const std::string& path, std::string_view bytes) override;
  Status LinkOrCopyFile(const std::string& from, const std::string& to) override;
  Status SyncFolder(const std::string& folder) override;

 private:
  struct Node {
    std::string bytes;
    bool writer_open = false;
  };
  class Writer;

  static bool ValidPath(const std::string& path);
  const Node* Find(const std::string& path) const;

  std::map<std::string, std::shared_ptr<Node>> files_;
  std::set<std::string> folders_;
};

}  // namespace tavelin

#endif  // TAVELIN_TESTS_SUPPORT_MEMORY_ENV_H_
