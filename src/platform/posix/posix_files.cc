#include "platform/posix/posix_files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/codepage.h"
#include "platform/posix/posix_env_impl.h"

namespace tavelin::posix {
namespace {

constexpr std::size_t kWriteBufferSize = std::size_t{64} * 1024;

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool StatPath(const std::string& path, struct stat* info) {
  std::string system_path;
  return ToSystemPath(path, &system_path) && ::stat(system_path.c_str(), info) == 0;
}

// Opens without blocking on a FIFO or device, then insists on a regular file.
int OpenRegular(const std::string& system_path, int flags) {
  const int fd = ::open(system_path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return -1;
  struct stat info;
  const bool examined = ::fstat(fd, &info) == 0;
  if (!examined || !S_ISREG(info.st_mode)) {
    const int error = !examined ? errno : (S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    ::close(fd);
    errno = error;  // what the caller reports
    return -1;
  }
  const int status = ::fcntl(fd, F_GETFL);
  if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  return fd;
}

bool ReadAll(int fd, std::string* contents) {
  std::string data;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
  }
  *contents = std::move(data);
  return true;
}

// A file held with an exclusive advisory lock, so that a second writer (or a reader that
// asks for a shared lock) is refused while it is open. Writes are buffered.
class PosixWritableFile final : public WritableFile {
 public:
  explicit PosixWritableFile(int fd) : fd_(fd) {}
  ~PosixWritableFile() override { PosixWritableFile::Close(); }

  Status Append(std::string_view bytes) override {
    if (fd_ < 0) return FileFailure(EBADF);
    buffer_.append(bytes);
    if (buffer_.size() >= kWriteBufferSize) return Flush();
    return status_;
  }

  Status Flush() override {
    if (fd_ < 0) return FileFailure(EBADF);
    if (!buffer_.empty()) {
      if (!WriteAll(fd_, buffer_)) Fail();
      buffer_.clear();
    }
    return status_;
  }

  Status Sync() override {
    if (Status flushed = Flush(); !flushed.ok()) return flushed;
    if (::fsync(fd_) != 0) Fail();
    return status_;
  }

  Status Close() override {
    if (fd_ < 0) return status_;
    Flush();
    if (::close(fd_) != 0) Fail();  // closing releases the lock
    fd_ = -1;
    return status_;
  }

 private:
  // The first failure is the one told; later calls keep reporting it.
  void Fail() {
    if (status_.ok()) status_ = FileFailure(errno);
  }

  int fd_;
  Status status_;
  std::string buffer_;
};

}  // namespace

bool ToSystemPath(const std::string& path, std::string* system_path) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  return Cp932ToUtf8(path, system_path);
}

bool PosixEnv::FileExists(const std::string& path) {
  struct stat info;
  return StatPath(path, &info) && !S_ISDIR(info.st_mode);
}

bool PosixEnv::FolderExists(const std::string& path) {
  struct stat info;
  return StatPath(path, &info) && S_ISDIR(info.st_mode);
}

bool PosixEnv::GetFileSize(const std::string& path, uint64_t* size) {
  struct stat info;
  if (!StatPath(path, &info) || !S_ISREG(info.st_mode)) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

Status FileFailure(int error) {
  if (error == 0) return Status(Status::Kind::kFileError, std::string());
  std::string text;
  // The C library's text is ASCII in the C locale; a text of another locale is left out.
  if (!Utf8ToCp932(std::strerror(error), &text)) text.clear();
  const std::string number = "errno " + std::to_string(error);
  return Status(Status::Kind::kFileError, text.empty() ? number : text + " (" + number + ")");
}

namespace {

// errno is cleared before each operation, so a failure without a system error (a path with
// no system form) carries no text.
Status Outcome(bool ok) { return ok ? Status::OK() : FileFailure(errno); }

}  // namespace

Status PosixEnv::DeleteFile(const std::string& path) {
  errno = 0;
  std::string system_path;
  return Outcome(ToSystemPath(path, &system_path) && ::unlink(system_path.c_str()) == 0);
}

Status PosixEnv::RenameFile(const std::string& from, const std::string& to) {
  errno = 0;
  std::string system_from, system_to;
  return Outcome(ToSystemPath(from, &system_from) && ToSystemPath(to, &system_to) &&
                 ::rename(system_from.c_str(), system_to.c_str()) == 0);
}

Status PosixEnv::LinkOrCopyFile(const std::string& from, const std::string& to) {
  errno = 0;
  std::string system_from, system_to;
  if (!ToSystemPath(from, &system_from) || !ToSystemPath(to, &system_to)) return Outcome(false);
  // The new name is made beside the target and renamed over it, so `to` never goes missing.
  const std::string staged = system_to + ".link";
  ::unlink(staged.c_str());
  if (::link(system_from.c_str(), staged.c_str()) == 0) {
    if (::rename(staged.c_str(), system_to.c_str()) == 0) return Status::OK();
    Status failed = FileFailure(errno);
    ::unlink(staged.c_str());
    return failed;
  }
  std::string bytes;
  errno = 0;
  return Outcome(ReadSystemFile(system_from, &bytes) &&
                 ReplaceFileAtomically(system_to, bytes, false));
}

Status PosixEnv::SyncFolder(const std::string& folder) {
  errno = 0;
  std::string system_path;
  if (!ToSystemPath(folder, &system_path)) return Outcome(false);
  const int fd = ::open(system_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Outcome(false);
  Status synced = Outcome(::fsync(fd) == 0);
  ::close(fd);
  return synced;
}

bool PrivateFolder(const std::string& system_path) {
  if (::mkdir(system_path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  // Refuse a folder (or a link planted in its place) that another user could use.
  struct stat info;
  return ::lstat(system_path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

Status PosixEnv::CreateFolder(const std::string& path) {
  errno = 0;
  std::string system_path;
  if (!ToSystemPath(path, &system_path)) return Outcome(false);
  if (::mkdir(system_path.c_str(), 0777) == 0) return Status::OK();
  const int error = errno;
  struct stat info;
  if (error == EEXIST && ::stat(system_path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    return Status::OK();
  }
  return FileFailure(error);
}

Status PosixEnv::ForceFolders(const std::string& path) {
  errno = 0;
  std::string system_path;
  return Outcome(ToSystemPath(path, &system_path) && MakeSystemFolders(system_path));
}

bool MakeSystemFolders(const std::string& system_path) {
  if (system_path.empty()) return false;
  // Creates every prefix that ends before a '/', then the whole path. UTF-8 never holds
  // the byte '/' inside a multibyte character, so splitting on it is safe.
  for (std::size_t i = 1; i <= system_path.size(); ++i) {
    if (i != system_path.size() && system_path[i] != '/') continue;
    if (system_path[i - 1] == '/') continue;  // repeated or trailing delimiter
    const std::string prefix = system_path.substr(0, i);
    if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  struct stat info;
  return ::stat(system_path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

Status PosixEnv::ListFiles(const std::string& folder, const std::string& suffix,
                           std::vector<std::string>* names) {
  names->clear();
  errno = 0;
  std::string system_folder;
  if (!ToSystemPath(folder, &system_folder)) return Outcome(false);
  DIR* dir = ::opendir(system_folder.c_str());
  if (dir == nullptr) return Outcome(false);
  const int dir_fd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    // The entry's type saves a stat call; links and file systems that do not say are
    // asked (a link to a plain file counts as one).
    if (entry->d_type != DT_REG) {
      struct stat info;
      if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) continue;
      if (::fstatat(dir_fd, entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)) continue;
    }
    std::string name;
    // A name with no Shift-JIS form could not be opened through this interface anyway.
    if (!Utf8ToCp932(entry->d_name, &name)) continue;
    if (EndsWithIgnoringAsciiCase(name, suffix)) names->push_back(std::move(name));
  }
  ::closedir(dir);
  return Status::OK();
}

Status PosixEnv::ReadFile(const std::string& path, std::string* contents) {
  errno = 0;
  std::string system_path;
  if (!ToSystemPath(path, &system_path)) return Outcome(false);
  const int fd = OpenRegular(system_path, O_RDONLY);
  if (fd < 0) return Outcome(false);
  // A writer holds an exclusive lock; asking for a shared one tells us it is there.
  Status read = Outcome(::flock(fd, LOCK_SH | LOCK_NB) == 0 && ReadAll(fd, contents));
  ::close(fd);
  return read;
}

Status PosixEnv::ReadSharedFile(const std::string& path, std::string* contents) {
  errno = 0;
  std::string system_path;
  return Outcome(ToSystemPath(path, &system_path) && ReadSystemFile(system_path, contents));
}

Status PosixEnv::ReplaceFile(const std::string& path, std::string_view bytes) {
  errno = 0;
  std::string system_path;
  return Outcome(ToSystemPath(path, &system_path) &&
                 ReplaceFileAtomically(system_path, bytes, false));
}

Status PosixEnv::NewWritableFile(const std::string& path, bool append,
                                 std::unique_ptr<WritableFile>* file) {
  errno = 0;
  std::string system_path;
  if (!ToSystemPath(path, &system_path)) return Outcome(false);
  // open, flock, fstat and (for a file with content) ftruncate: nothing else per file. The
  // lock comes before the truncation, so a refused open leaves the other writer's content
  // alone, and the size is read under the lock. A file just made, or found empty, is not
  // truncated: ext4 treats a truncated file as one being replaced and writes it out to the
  // disk at close (auto_da_alloc), which for thousands of new files costs ten times the
  // rest of the work. O_NONBLOCK keeps the open from waiting on a FIFO; on a regular file it
  // changes nothing, so it is not cleared afterwards.
  const int fd =
      ::open(system_path.c_str(),
             O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (append ? O_APPEND : 0), 0666);
  if (fd < 0) return Outcome(false);
  struct stat info;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      (!append && info.st_size > 0 && ::ftruncate(fd, 0) != 0)) {
    // Not a plain file (a folder opened for writing fails earlier) is told as such.
    Status failed = FileFailure(errno != 0 ? errno : EINVAL);
    ::close(fd);
    return failed;
  }
  *file = std::make_unique<PosixWritableFile>(fd);
  return Status::OK();
}

bool ReadSystemFile(const std::string& system_path, std::string* contents) {
  const int fd = OpenRegular(system_path, O_RDONLY);
  if (fd < 0) return false;
  const bool ok = ReadAll(fd, contents);
  ::close(fd);
  return ok;
}

bool SystemPathExists(const std::string& system_path) {
  struct stat info;
  return ::stat(system_path.c_str(), &info) == 0;
}

bool ReplaceFileAtomically(const std::string& given_path, std::string_view bytes,
                           bool create_folders) {
  std::string system_path = given_path;
  struct stat link_info;
  if (::lstat(given_path.c_str(), &link_info) == 0 && S_ISLNK(link_info.st_mode)) {
    char* target = ::realpath(given_path.c_str(), nullptr);
    if (target == nullptr) return false;
    system_path = target;
    std::free(target);
  }
  const std::size_t slash = system_path.rfind('/');
  if (create_folders && slash != std::string::npos && slash > 0 &&
      !MakeSystemFolders(system_path.substr(0, slash))) {
    return false;
  }
  std::string temp_path = system_path + ".XXXXXX";
  const int fd = ::mkostemp(temp_path.data(), O_CLOEXEC);
  if (fd < 0) return false;
  // Keep the permissions of the file being replaced; a new file gets the usual 0666 & umask.
  struct stat info;
  if (::stat(system_path.c_str(), &info) == 0) {
    ::fchmod(fd, info.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp_path.c_str(), system_path.c_str()) == 0) return true;
  ::unlink(temp_path.c_str());
  return false;
}

}  // namespace tavelin::posix
