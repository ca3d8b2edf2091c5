// The writer that turns one program record (TvProgramInfo, parse/reservation.h) into one
// iEPG (.tvpi) file.
#ifndef TAVELIN_OUTPUT_PROGRAM_INFO_H_
#define TAVELIN_OUTPUT_PROGRAM_INFO_H_

#include <cstdint>
#include <stdexcept>
#include <string>

#include "parse/reservation.h"
#include "platform/date_time.h"
#include "platform/env.h"

namespace tavelin {

// Raised when a program file was created but could not be written completely. The partly
// written file has already been removed, so the host never reads a truncated program.
class ProgramFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The complete file content for `info`: fourteen CR LF lines (thirteen without a subtitle).
// With `split_subtitle` the text between the first 「 and the first 」 of the title (else of the
// description) becomes a "program-subtitle: " line.
std::string FormatProgramInfo(const TvProgramInfo& info, bool split_subtitle);

// Replaces the file at `path` with the record. Returns the failure, quietly, when the file
// cannot be created (nothing written). Throws ProgramFileError when writing fails after
// creation.
Status WriteProgramInfoFile(Env& env, const TvProgramInfo& info, const std::string& path,
                            bool split_subtitle);

}  // namespace tavelin

#endif  // TAVELIN_OUTPUT_PROGRAM_INFO_H_
