// Runs one of the reservation page parsers over a page held in memory, as the parse step of
// a fetch does, and checks that every file it leaves is a program file in the output folder.
#ifndef TAVELIN_FUZZ_PAGE_PARSER_H_
#define TAVELIN_FUZZ_PAGE_PARSER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz_env.h"
#include "output/output_step.h"
#include "parse/parse_context.h"
#include "platform/codepage.h"
#include "support/scripted_run.h"

namespace tavelin::fuzzing {

// The first input byte chooses the dual-recording selection and after how many yields a
// stop is requested (0: never); the rest is the page.
inline void ParsePage(const uint8_t* data, std::size_t size,
                      void (*parse)(std::string_view, const ParseContext&, WorkingReservation&)) {
  Parts parts(data, size);
  const uint8_t options = parts.Byte();
  const int stop_after = options >> 2;
  FuzzEnv env;
  env.CreateFolder("/mem/out/");
  ScriptedRun run;
  run.dual_recording = options % 3;
  if (stop_after != 0) run.stop_after_yields = stop_after;
  // Every channel is known, under a name of its own.
  struct Stations : StationLookup {
    std::optional<std::string> StationFor(const std::string& key) override {
      if (key.empty()) return std::nullopt;
      return "ST" + key;
    }
  } stations;
  // Every reservation goes to the output step, as in a fetch.
  struct Output : ReservationSink {
    explicit Output(OutputContext context) : context(std::move(context)) {}
    void Take(const WorkingReservation& reservation) override {
      TvProgramInfo info = reservation.info;
      EmitReservation(context, info, reservation.recurrence, reservation.tuner,
                      reservation.late_night_days);
    }
    OutputContext context;
  } output(OutputContext{env, "/mem/out/", run});
  const ParseContext context{
      .run = run, .now = [&env] { return env.Now(); }, .stations = stations, .sink = output};
  WorkingReservation reservation;
  try {
    parse(parts.Rest(), context, reservation);
  } catch (const ProgramFileError&) {
    // Memory files never fail.
    Require(false, "a program file could not be written");
  }
  for (const auto& [path, contents] : env.Files()) {
    Require(path.compare(0, 9, "/mem/out/") == 0 && path.find('/', 9) == std::string::npos,
            "program files stay inside the output folder");
    Require(EndsWithIgnoringAsciiCase(path, ".tvpi"), "only program files are written");
    Require(contents.size() > 2 && contents.compare(contents.size() - 2, 2, "\r\n") == 0,
            "a program file is complete");
  }
}

}  // namespace tavelin::fuzzing

#endif  // TAVELIN_FUZZ_PAGE_PARSER_H_
