#include "support/test_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/codepage.h"
#include "platform/posix/posix_env.h"

namespace tavelin::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "tavelin-test-XXXXXX").string();
  char* made = ::mkdtemp(pattern.data());
  if (made == nullptr) {
    ADD_FAILURE() << "cannot create a temporary folder";
  }
  path_ = pattern + "/";
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

namespace {
std::unique_ptr<Env> NewEnvIn(const TempDir& dir) {
  PosixEnvOptions options;
  options.registry_file = dir.File("registry.reg");
  options.lock_folder = dir.path();
  options.machine_id_file = dir.File("machine-id");
  return NewPosixEnv(options);
}
}  // namespace

FakeEnv::FakeEnv(const TempDir& dir, TDateTime now)
    : EnvWrapper(NewEnvIn(dir).release()), real_(target()), now_(now) {}

FakeEnv::~FakeEnv() = default;

void FakeEnv::SleepMs(int ms) {
  ++sleep_calls_;
  if (ms > 0) {
    slept_ms_ += ms;
    now_ += ms / kMillisecondsPerDay;
  }
}

bool FakeEnv::GetEnvironment(const std::string& name, std::string* value) {
  if (name != "temp" || !temp_folder_) return EnvWrapper::GetEnvironment(name, value);
  *value = *temp_folder_;
  return true;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Utf8(const std::string& cp932) {
  std::string out;
  return Cp932ToUtf8(cp932, &out) ? out : "<not Shift-JIS>";
}

}  // namespace tavelin::testing
