// A parse context over a temporary folder with the clock of the reservation pages, a station
// look-up from a map, and counters for yields and log lines.
#ifndef TAVELIN_TESTS_PARSE_PARSER_HARNESS_H_
#define TAVELIN_TESTS_PARSE_PARSER_HARNESS_H_

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "parse/parse_context.h"
#include "parse/reservation_pages.h"
#include "support/scripted_run.h"
#include "support/test_env.h"

namespace tavelin::testing {

class ParserHarness : public ::testing::Test {
 protected:
  ParserHarness() : env_(dir_, PagesNow()) { env_.CreateFolder(dir_.File("out")); }

  void WritePage(const std::string& bytes) { WriteBytes(page_file(), bytes); }
  std::string page_file() const { return dir_.File("rdprogram.html"); }
  std::string out() const { return dir_.File("out/"); }

  OutputContext& Output() {
    output_ = std::make_unique<OutputContext>(OutputContext{env_, out(), run_});
    return *output_;
  }

  ParseContext Context() {
    return ParseContext{env_,
                        page_file(),
                        run_,
                        [this](const std::string& key) -> std::optional<std::string> {
                          lookups_.push_back(key);
                          auto found = stations_.find(key);
                          if (found == stations_.end()) return std::nullopt;
                          return found->second;
                        },
                        Output(),
                        nullptr};
  }

  std::map<std::string, std::string> Files() { return FilesIn(env_, out()); }
  std::vector<std::string> FileNames() {
    std::vector<std::string> names;
    for (const auto& [name, content] : Files()) names.push_back(name);
    return names;
  }

  TempDir dir_;
  FakeEnv env_;
  std::unique_ptr<OutputContext> output_;
  std::map<std::string, std::string> stations_ = PageStations();
  std::vector<std::string> lookups_;
  ScriptedRun run_;
  std::vector<std::string>& log_ = run_.errors;
  int& selection_ = run_.dual_recording;
  bool& stop_ = run_.stop;
  int& yields_ = run_.yields;
  int& stop_after_ = run_.stop_after_yields;  // sets the stop request at this many yields
};

// Compares file maps with readable names and contents on failure.
inline void ExpectSameFiles(const std::map<std::string, std::string>& actual,
                            const std::map<std::string, std::string>& expected) {
  std::vector<std::string> actual_names;
  std::vector<std::string> expected_names;
  for (const auto& [name, content] : actual) actual_names.push_back(Utf8(name));
  for (const auto& [name, content] : expected) expected_names.push_back(Utf8(name));
  ASSERT_EQ(actual_names, expected_names);
  for (const auto& [name, content] : expected) {
    EXPECT_EQ(Utf8(actual.at(name)), Utf8(content)) << Utf8(name);
  }
}

}  // namespace tavelin::testing

#endif  // TAVELIN_TESTS_PARSE_PARSER_HARNESS_H_
