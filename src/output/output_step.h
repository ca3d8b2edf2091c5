// The output step between the page parsers and the .tvpi writer: filters reservations, names
// their files, expands weekly and daily repetitions up to two weeks ahead (NextOccurrence,
// parse/reservation.h), and empties the output folder of old program files before a fetch.
#ifndef TAVELIN_OUTPUT_OUTPUT_STEP_H_
#define TAVELIN_OUTPUT_OUTPUT_STEP_H_

#include <optional>
#include <string>

#include "output/program_info.h"
#include "platform/date_time.h"
#include "platform/env.h"
#include "platform/run_control.h"

namespace tavelin {

// Dual-recording selections of the window's radio group.
inline constexpr int kNoDualRecording = 0;
inline constexpr int kDualRecordingR1 = 1;
inline constexpr int kDualRecordingR2 = 2;

// What the output step reads from the window, at the moment of each call.
struct OutputContext {
  Env& env;
  // Ends with a path delimiter whenever a fetch runs.
  std::string output_folder;
  // The dual-recording selection, stop, yield, and the error log (a program file that could
  // not be deleted or written).
  RunControl& run;
};

// Writes the reservation as zero, one or several .tvpi files. May move StartTime and
// EndTime forward while it expands a recurrence. `late_night_days` is 1 for a recurring
// program shown at 24:00-28:59: it runs the calendar day after the broadcast day whose
// weekday the recurrence names. Throws ProgramFileError when a file cannot be written
// completely; a file that cannot be created is reported through run.LogError.
void EmitReservation(const OutputContext& context, TvProgramInfo& info, int recurrence, int tuner,
                     int late_night_days = 0);

// The file of one program: output folder + "yyyymmddhhnn" start stamp + channel text +
// ".tvpi". Empty when the name would not be a plain file name inside the output folder (a
// channel text holding a path delimiter or a zero byte).
std::optional<std::string> ProgramFilePath(const std::string& output_folder,
                                           const TvProgramInfo& info);

// Deletes every "*.tvpi" file of the output folder while no stop is requested, yielding after
// each file; a file that stays is reported through run.LogError. Does nothing for an empty
// folder name or a lone root delimiter.
void DeleteOldProgramFiles(const OutputContext& context);

}  // namespace tavelin

#endif  // TAVELIN_OUTPUT_OUTPUT_STEP_H_
