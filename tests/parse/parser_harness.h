// A parse context over a page held in memory, with the clock of the reservation pages, a
// station look-up from a map, and counters for yields and log lines. Nothing touches the
// disk: every reservation a parser hands over is kept in reservations_, and the output step
// turns it into program files in a memory Env, so that a case can state what the host gets.
#ifndef TAVELIN_TESTS_PARSE_PARSER_HARNESS_H_
#define TAVELIN_TESTS_PARSE_PARSER_HARNESS_H_

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "output/output_step.h"
#include "parse/parse_context.h"
#include "parse/reservation_pages.h"
#include "support/memory_env.h"
#include "support/scripted_run.h"
#include "support/test_env.h"

namespace tavelin::testing {

// Memory files, and a clock that stands where it is set.
class PagesEnv : public MemoryEnv {
 public:
  PagesEnv() : PagesEnv(NewSystemEnv()) {}
  TDateTime Now() override { return now_; }
  void set_now(TDateTime now) { now_ = now; }

 private:
  explicit PagesEnv(std::unique_ptr<Env> base) : MemoryEnv(base.get()), base_(std::move(base)) {}
  std::unique_ptr<Env> base_;
  TDateTime now_ = PagesNow();
};

class ParserHarness : public ::testing::Test, public ReservationSink, public StationLookup {
 protected:
  ParserHarness() { env_.CreateFolder(out()); }

  // The page the next parse reads, as the download hands it over.
  void WritePage(const std::string& bytes) { page_ = bytes; }
  std::string out() const { return "/pages/out/"; }

  ParseContext Context() {
    return ParseContext{
        .run = run_, .now = [this] { return env_.Now(); }, .stations = *this, .sink = *this};
  }

  // ReservationSink: keeps the reservation and lets the output step write its files.
  void Take(const WorkingReservation& reservation) override {
    reservations_.push_back(reservation);
    TvProgramInfo info = reservation.info;
    EmitReservation(OutputContext{env_, out(), run_}, info, reservation.recurrence,
                    reservation.tuner, reservation.late_night_days);
  }
  // StationLookup: the map, remembering every key asked for.
  std::optional<std::string> StationFor(const std::string& key) override {
    lookups_.push_back(key);
    auto found = stations_.find(key);
    if (found == stations_.end()) return std::nullopt;
    return found->second;
  }

  std::map<std::string, std::string> Files() { return FilesIn(env_, out()); }
  std::vector<std::string> FileNames() {
    std::vector<std::string> names;
    for (const auto& [name, content] : Files()) names.push_back(name);
    return names;
  }

  PagesEnv env_;
  std::string page_;
  std::vector<WorkingReservation> reservations_;
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
