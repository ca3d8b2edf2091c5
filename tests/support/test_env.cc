#include "support/test_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/codepage.h"

namespace tavelin::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device random;
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const fs::path candidate = base / ("tavelin-test-" + std::to_string(random()));
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string() + static_cast<char>(fs::path::preferred_separator);
    }
  }
  if (path_.empty()) ADD_FAILURE() << "cannot create a temporary folder";
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) fs::remove_all(path_, ignored);
}

FakeEnv::FakeEnv(const TempDir& dir, TDateTime now)
    : EnvWrapper(NewIsolatedEnv(dir).release()), real_(target()), now_(now) {}

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
  std::ofstream out(SystemPath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(SystemPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Utf8(const std::string& cp932) {
  std::string out;
  return Cp932ToUtf8(cp932, &out) ? out : "<not Shift-JIS>";
}

}  // namespace tavelin::testing
