#include "app/plugin_main.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/settings.h"
#include "platform/profile_ini.h"
#include "support/test_env.h"
#include "ui/headless/headless_backend.h"

namespace tavelin {
namespace {

// Leaves its message boxes behind when the process entry destroys it.
class KeptBackend : public ui::HeadlessBackend {
 public:
  KeptBackend(Env& env, std::vector<ui::ShownMessage>* kept) : HeadlessBackend(env), kept_(kept) {
    set_echo(false);
  }
  ~KeptBackend() override { *kept_ = messages(); }

 private:
  std::vector<ui::ShownMessage>* kept_;
};

class PlugInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env_.ForceFolders(root_).ok());
    ASSERT_TRUE(env_.RegistryWriteString(kRootPathKey, "RootPath", root_).ok());
  }
  int Run(const std::vector<std::string>& arguments) {
    return RunPlugIn(env_, arguments, [this](Env& env) {
      ++backends_made_;
      return std::make_unique<KeptBackend>(env, &messages_);
    });
  }

  TempDir dir_;
  FakeEnv env_{dir_};
  std::string root_ = dir_.File("root/");
  int backends_made_ = 0;
  std::vector<ui::ShownMessage> messages_;
};

// Every path under `folder`, sorted.
std::set<std::string> TreeOf(const std::string& folder) {
  std::set<std::string> paths;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(testing::SystemPath(folder))) {
    paths.insert(entry.path().string());
  }
  return paths;
}

// Refuses the lock with a reason, as an unusable lock folder does.
class LockFailingEnv : public EnvWrapper {
 public:
  using EnvWrapper::EnvWrapper;
  std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string&, Status* why) override {
    *why = Status(Status::Kind::kLockFailed,
                  "cannot open the lock file /gone/NubraPlugIn.lock: No such file or directory");
    return nullptr;
  }
};

TEST_F(PlugInTest, WithoutTheLockNothingRunsAndOnlyAnOddReasonIsSaid) {
  for (bool held_by_another : {true, false}) {
    LockFailingEnv failing(&env_);
    std::unique_ptr<InstanceLock> first =
        held_by_another ? env_.AcquireInstanceLock(kInstanceLockName, nullptr) : nullptr;
    Env& env = held_by_another ? static_cast<Env&>(env_) : failing;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunPlugIn(env, {dir_.File("out/RD1")},
                        [this](Env& e) {
                          ++backends_made_;
                          return std::make_unique<KeptBackend>(e, &messages_);
                        }),
              0);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, held_by_another ? ""
                                   : "tavelin: cannot open the lock file /gone/NubraPlugIn.lock: "
                                     "No such file or directory; ending without a run.\n");
    EXPECT_EQ(backends_made_, 0);
    // The odd reason also reaches the log, where a Windows user can read it.
    const std::string log = ReadBytes(root_ + "qdr.log");
    EXPECT_EQ(log.find("多重起動を防ぐロックを取れないので終わります: cannot open the lock file "
                       "/gone/NubraPlugIn.lock: No such file or directory (C.ERROR)\r\n") !=
                  std::string::npos,
              !held_by_another)
        << log;
    if (held_by_another) {
      EXPECT_FALSE(env_.FileExists(root_ + "qdr.log"));
    }
    EXPECT_FALSE(env_.FolderExists(dir_.File("out")));
  }
  // The start delay came first, between 0 and 999 ms.
  EXPECT_LT(env_.slept_ms(), 2000);
  EXPECT_GE(env_.sleep_calls(), 2);
}

TEST_F(PlugInTest, LockIsFreeAgainAfterARun) {
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(backends_made_, 1);
  EXPECT_NE(env_.AcquireInstanceLock(kInstanceLockName, nullptr), nullptr);
}

TEST_F(PlugInTest, SettingsModeWithoutAUserClosesAndSaves) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run({dir_.File("out/RD1"), "/c"}), 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("settings mode needs a desktop display"), std::string::npos) << err;
  EXPECT_EQ(ReadProfileString(env_, root_ + "nubra.ini", "RD1", "RDH1_Port_Text", ""), "80");
  const std::string log = ReadBytes(root_ + "qdr.log");
  EXPECT_NE(
      log.find("Tavelin\r\nqdr.log: 設定画面を出すデスクトップがないので終わります (C.ERROR)\r\n"),
      std::string::npos);
  EXPECT_NE(log.find("--- END ---"), std::string::npos);
}

TEST_F(PlugInTest, AnErrorThatEndsTheProcessReachesTheLog) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunPlugIn(env_, {dir_.File("out/RD1")},
                      [](Env&) -> std::unique_ptr<ui::Backend> {
                        throw std::runtime_error("no window system");
                      }),
            0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "tavelin: no window system\n");
  EXPECT_NE(ReadBytes(root_ + "qdr.log").find("qdr.log: no window system (C.ERROR)\r\n"),
            std::string::npos);
}

TEST_F(PlugInTest, ArgumentThatIsNoTextCountsAsMissing) {
  // Invalid UTF-8 cannot name a folder: treated as no parameter, nothing is created.
  EXPECT_EQ(Run({std::string("\xff\xfe/out"), "x"}), 0);
  EXPECT_EQ(backends_made_, 1);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_FALSE(env_.FileExists(root_ + "nubra.ini"));
}

TEST_F(PlugInTest, FetchModeConvertsTheFolderNameFromUtf8) {
  // "録画" in UTF-8 on the command line; the program works in Shift-JIS and the platform
  // converts back, so the folder appears under its UTF-8 name. The recorder address is a
  // closed loopback port, so the download fails at once.
  ASSERT_TRUE(
      WriteProfileString(env_, root_ + "nubra.ini", "録画", "RDH1_IP_Text", "127.0.0.1").ok());
  ASSERT_TRUE(WriteProfileString(env_, root_ + "nubra.ini", "録画", "RDH1_Port_Text", "1").ok());
  EXPECT_EQ(Run({dir_.File("out/\xE9\x8C\xB2\xE7\x94\xBB")}), 0);
  EXPECT_TRUE(env_.FolderExists(dir_.File("out/録画")));
  EXPECT_NE(ReadBytes(root_ + "qdr.log").find("予約一覧のダウンロード失敗"), std::string::npos);
}

// Asked for help or the version, or started before the registry file names the host's root
// folder, the program answers on the terminal and creates nothing: no lock, log, INI file,
// registry file or output folder, and no window.
TEST(FirstContactTest, AnswersOnTheTerminalAndCreatesNothing) {
  const struct {
    std::vector<std::string> arguments;
    bool root_written;
    std::string out;  // the start of standard output
    std::string err;  // a part of standard error
  } cases[] = {
      {{"--help"}, true, "Usage: tavelin OUTPUT-FOLDER", ""},
      {{"-h", "/c"}, false, "Usage: tavelin OUTPUT-FOLDER", ""},
      {{"--version", "x", "y"}, true, "Tavelin 1.2.3.0\n", ""},
      {{"--version"}, false, "Tavelin 1.2.3.0\n", ""},
      // Only where the registry is a file the user writes (POSIX).
      {{"out/RD1"}, false, "", "\"RootPath\"=\"/home/me/qadrel/\""},
      {{"out/RD1", "/c"}, false, "", "registry.reg with these lines"},
      {{}, false, "", "tavelin: no host root folder; write "},
  };
  for (const auto& c : cases) {
    TempDir dir;
    FakeEnv env(dir);
    if (c.root_written) {
      ASSERT_TRUE(env.RegistryWriteString(kRootPathKey, "RootPath", dir.File("root/")).ok());
    }
    const bool answered = !c.out.empty() || !env.RegistryFile().empty();
    std::vector<std::string> arguments;
    for (const std::string& argument : c.arguments) {
      arguments.push_back(argument.starts_with("out/") ? dir.File(argument) : argument);
    }
    const auto before = TreeOf(dir.File(""));
    int backends = 0;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunPlugIn(env, arguments,
                        [&](Env& e) {
                          ++backends;
                          auto backend = std::make_unique<ui::HeadlessBackend>(e);
                          backend->set_echo(false);
                          return backend;
                        }),
              0);
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    if (!answered) continue;  // Windows: the registry is the system's
    const std::string shown = c.arguments.empty() ? "" : c.arguments[0];
    EXPECT_EQ(out.rfind(c.out, 0), 0u) << shown << ": " << out;
    EXPECT_NE(err.find(c.err), std::string::npos) << shown << ": " << err;
    if (c.out.empty()) {
      EXPECT_NE(err.find(env.RegistryFile()), std::string::npos) << err;
    }
    EXPECT_EQ(backends, 0) << shown;
    EXPECT_EQ(TreeOf(dir.File("")), before) << shown;
  }
}

}  // namespace
}  // namespace tavelin
