// Instance lock, volume serial, version entries and the desktop "open" action.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/posix/posix_env.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

PosixEnvOptions OptionsIn(const TempDir& dir) {
  PosixEnvOptions options;
  options.lock_folder = dir.path();
  options.machine_id_file = dir.File("machine-id");
  options.registry_file = dir.File("registry.reg");
  return options;
}

TEST(InstanceLockTest, OneHolderPerNameWithinTheProcess) {
  TempDir dir;
  auto env = NewPosixEnv(OptionsIn(dir));
  auto first = env->AcquireInstanceLock("NubraPlugIn", nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(env->FileExists(dir.File("NubraPlugIn.lock")));
  EXPECT_EQ(env->AcquireInstanceLock("NubraPlugIn", nullptr), nullptr);
  EXPECT_NE(env->AcquireInstanceLock("Other", nullptr), nullptr);
  first.reset();
  EXPECT_NE(env->AcquireInstanceLock("NubraPlugIn", nullptr), nullptr);
  EXPECT_EQ(env->AcquireInstanceLock("", nullptr), nullptr);
  EXPECT_EQ(env->AcquireInstanceLock("../escape", nullptr), nullptr);
}

TEST(InstanceLockTest, LivesBesideTheRegistryFileAndSaysWhyItCannot) {
  TempDir dir;
  testing::WriteBytes(dir.File("a-file"), "");
  struct Case {
    std::string registry_file;
    std::string lock_file;  // empty: no lock, with this error text's start
    std::string error;
  } cases[] = {
      // A configuration folder that vanished (or never was) is made again.
      {dir.File("gone/tavelin/registry.reg"), dir.File("gone/tavelin/NubraPlugIn.lock"), ""},
      {dir.File("a-file/tavelin/registry.reg"), "",
       "cannot create the lock folder " + dir.File("a-file/tavelin")},
  };
  for (const Case& c : cases) {
    PosixEnvOptions options = OptionsIn(dir);
    options.lock_folder.clear();
    options.registry_file = c.registry_file;
    auto env = NewPosixEnv(options);
    Status why(Status::Kind::kLockFailed, "stale");
    auto lock = env->AcquireInstanceLock("NubraPlugIn", &why);
    EXPECT_EQ(lock != nullptr, !c.lock_file.empty()) << c.registry_file;
    EXPECT_EQ(why.message().substr(0, c.error.size()), c.error) << c.registry_file;
    if (lock) {
      EXPECT_TRUE(env->FileExists(c.lock_file));
      EXPECT_EQ(why.message(), "");
      // Held by another copy is no error.
      EXPECT_EQ(env->AcquireInstanceLock("NubraPlugIn", &why), nullptr);
      EXPECT_EQ(why.kind(), Status::Kind::kLockHeld);
      EXPECT_EQ(why.message(), "");
    }
  }
}

// A child process takes the lock and keeps it until told to end; it never releases it by
// itself, so the lock must go away with the process.
TEST(InstanceLockTest, AnotherProcessHoldsItUntilItEnds) {
  TempDir dir;
  int to_parent[2], to_child[2];
  ASSERT_EQ(::pipe(to_parent), 0);
  ASSERT_EQ(::pipe(to_child), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto env = NewPosixEnv(OptionsIn(dir));
    auto lock = env->AcquireInstanceLock("NubraPlugIn", nullptr);
    const char got = lock != nullptr ? '1' : '0';
    (void)!::write(to_parent[1], &got, 1);
    char ignored;
    (void)!::read(to_child[0], &ignored, 1);
    ::_exit(0);  // no destructors: the process end alone must free the lock
  }
  auto env = NewPosixEnv(OptionsIn(dir));
  char got = 0;
  ASSERT_EQ(::read(to_parent[0], &got, 1), 1);
  EXPECT_EQ(got, '1');
  EXPECT_EQ(env->AcquireInstanceLock("NubraPlugIn", nullptr), nullptr);
  ASSERT_EQ(::write(to_child[1], "x", 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_NE(env->AcquireInstanceLock("NubraPlugIn", nullptr), nullptr);
  for (int fd : {to_parent[0], to_parent[1], to_child[0], to_child[1]}) ::close(fd);
}

TEST(InstanceLockTest, ChildIsRefusedWhileWeHoldIt) {
  TempDir dir;
  auto env = NewPosixEnv(OptionsIn(dir));
  auto lock = env->AcquireInstanceLock("NubraPlugIn", nullptr);
  ASSERT_NE(lock, nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child inherits no lock: the descriptor is closed on exec and flock refuses a
    // new open file either way.
    auto child_env = NewPosixEnv(OptionsIn(dir));
    ::_exit(child_env->AcquireInstanceLock("NubraPlugIn", nullptr) == nullptr ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SystemVolumeTest, SerialIsTheFirstEightHexDigits) {
  const struct {
    const char* contents;
    bool ok;
    uint32_t serial;
  } kCases[] = {
      {"0123abcdEF4567890123456789abcdef\n", true, 0x0123ABCD},
      {"FFFFFFFF", true, 0xFFFFFFFF},
      {"0123abc", false, 0},     // too short
      {"0123abxd99", false, 0},  // not hexadecimal
      {"", false, 0},
  };
  for (const auto& c : kCases) {
    TempDir dir;
    testing::WriteBytes(dir.File("machine-id"), c.contents);
    auto env = NewPosixEnv(OptionsIn(dir));
    std::string label = "x";
    uint32_t serial = 77;
    EXPECT_EQ(env->SystemVolume(&label, &serial), c.ok) << c.contents;
    EXPECT_EQ(serial, c.serial) << c.contents;
    EXPECT_EQ(label, "");
  }
  TempDir empty;
  auto env = NewPosixEnv(OptionsIn(empty));
  std::string label;
  uint32_t serial = 5;
  EXPECT_FALSE(env->SystemVolume(&label, &serial));
  EXPECT_EQ(serial, 0u);
}

TEST(VersionEntryTest, AnsweredForThisProgramOnly) {
  auto env = NewPosixEnv();
  const std::string program = env->ProgramPath();
  const struct {
    const char* entry;
    const char* value;
  } kEntries[] = {
      {"FileVersion", "1.2.3.0"},
      {"productversion", "1.0.0.0"},
      {"ProductName", "Tavelin"},
      {"LegalCopyright", "Tavelin developers"},
      {"FileDescription", "RD録画予約取得プラグイン"},
      {"CompanyName", "Tavelin developers"},
  };
  for (const auto& e : kEntries) {
    std::string value;
    EXPECT_TRUE(env->VersionEntry(program, e.entry, &value)) << e.entry;
    EXPECT_EQ(value, e.value) << e.entry;
  }
  std::string value;
  EXPECT_TRUE(env->VersionEntry("/elsewhere/platform_tests", "FileVersion", &value));
  EXPECT_FALSE(env->VersionEntry(program, "Comments", &value));
  EXPECT_FALSE(env->VersionEntry("/usr/bin/true", "FileVersion", &value));
  EXPECT_FALSE(env->VersionEntry("", "FileVersion", &value));
}

class ShellOpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    saved_path_ = path == nullptr ? "" : path;
  }
  void TearDown() override { ::setenv("PATH", saved_path_.c_str(), 1); }

  std::string saved_path_;
};

TEST_F(ShellOpenTest, StartsXdgOpenWithTheTarget) {
  TempDir dir;
  const std::string script = dir.File("xdg-open");
  const std::string out = dir.File("opened");
  testing::WriteBytes(script, "#!/bin/sh\nprintf '%s' \"$1\" > '" + out + ".tmp'\nmv '" + out +
                                  ".tmp' '" + out + "'\n");
  ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
  ::setenv("PATH", (dir.path() + ":/usr/bin:/bin").c_str(), 1);
  auto env = NewPosixEnv();
  env->ShellOpen("http://例.jp/?a=1&b=予約", "", "");
  // The opener runs on its own; wait for its trace.
  for (int i = 0; i < 500 && !env->FileExists(out); ++i) {
    ::usleep(10000);
  }
  EXPECT_EQ(testing::ReadBytes(out), "http://\xE4\xBE\x8B.jp/?a=1&b=\xE4\xBA\x88\xE7\xB4\x84");
}

TEST_F(ShellOpenTest, MissingOpenerOrBadTargetDoesNothing) {
  TempDir dir;
  ::setenv("PATH", dir.path().c_str(), 1);
  auto env = NewPosixEnv();
  env->ShellOpen("http://example.invalid/", "", "");
  env->ShellOpen("bad\x81", "", "");
  env->ShellOpen("", "", "");
  SUCCEED();  // returning at all, without a crash or a stray process, is the point
}

}  // namespace
}  // namespace tavelin
