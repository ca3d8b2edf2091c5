#include "platform/posix/posix_desktop.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/ascii_text.h"
#include "platform/codepage.h"
#include "platform/posix/posix_files.h"

namespace tavelin::posix {
namespace {

class FlockInstanceLock : public InstanceLock {
 public:
  explicit FlockInstanceLock(int fd) : fd_(fd) {}
  // Closing the descriptor releases the lock. The file stays: removing it would let a
  // third process lock a new file while a second still waits on the old one.
  ~FlockInstanceLock() override { ::close(fd_); }

 private:
  int fd_;
};

struct VersionValue {
  const char* entry;
  const char* value;
};

constexpr VersionValue kVersionEntries[] = {
    {"FileVersion", "1.2.3.0"},
    {"ProductVersion", "1.0.0.0"},
    {"ProductName", "Tavelin"},
    {"LegalCopyright", "Tavelin developers"},
    {"FileDescription", "RD録画予約取得プラグイン"},
    {"CompanyName", "Tavelin developers"},
};

}  // namespace

std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& system_folder,
                                                  const std::string& name, std::string* error) {
  error->clear();
  if (name.empty() || name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
    *error = "unusable lock name \"" + name + "\"";
    return nullptr;
  }
  std::string path = system_folder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name + ".lock";
  if (!MakeSystemFolders(system_folder)) {
    *error = "cannot create the lock folder " + system_folder + ": " + std::strerror(errno);
    return nullptr;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = "cannot open the lock file " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // Held by another copy is the expected refusal; anything else is reported.
    if (errno != EWOULDBLOCK) {
      *error = "cannot lock " + path + ": " + std::strerror(errno);
    }
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<FlockInstanceLock>(fd);
}

bool ReadMachineSerial(const std::string& system_path, uint32_t* serial) {
  *serial = 0;
  std::string contents;
  if (!ReadSystemFile(system_path, &contents) || contents.size() < 8) return false;
  uint32_t value = 0;
  for (int i = 0; i < 8; ++i) {
    const int digit = HexDigitValue(contents[i]);
    if (digit < 0) return false;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  *serial = value;
  return true;
}

bool CompiledVersionEntry(const std::string& entry, std::string* value) {
  for (const VersionValue& known : kVersionEntries) {
    if (SameTextIgnoringAsciiCase(entry, known.entry)) {
      *value = known.value;
      return true;
    }
  }
  return false;
}

void StartDetachedOpen(const std::string& system_target) {
  if (system_target.empty() || system_target.find('\0') != std::string::npos) return;
  // Everything the children need is prepared before fork: after it, only calls that are
  // safe in a forked child are made.
  const char* argv[] = {"xdg-open", system_target.c_str(), nullptr};
  const pid_t child = ::fork();
  if (child < 0) return;
  if (child == 0) {
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(0);  // the grandchild is adopted by init; no zombie remains
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      ::dup2(null_fd, 0);
      ::dup2(null_fd, 1);
      ::dup2(null_fd, 2);
      if (null_fd > 2) ::close(null_fd);
    }
    ::execvp(argv[0], const_cast<char* const*>(argv));
    ::_exit(127);
  }
  // The first child ends at once; reaping it does not wait for the opener.
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace tavelin::posix
