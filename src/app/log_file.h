// TLogFile: appends the program's messages to the host's log file, one line at a time,
// between a start header and an end line. The file is opened and closed for every line, so
// other programs may append to it between lines.
#ifndef TAVELIN_APP_LOG_FILE_H_
#define TAVELIN_APP_LOG_FILE_H_

#include <string>

#include "platform/env.h"

namespace tavelin {

class TLogFile {
 public:
  explicit TLogFile(Env& env);
  // Writes the end line when still active.
  ~TLogFile();
  TLogFile(const TLogFile&) = delete;
  TLogFile& operator=(const TLogFile&) = delete;

  bool Active() const { return active_; }
  // true: becomes active, then writes the start header (a relative file name is first put
  // into the program's folder). When the header cannot be written the log switches itself
  // off again quietly. false: writes the end line, then becomes inactive.
  void SetActive(bool active);

  const std::string& LogFileName() const { return log_file_name_; }
  void SetLogFileName(const std::string& name) { log_file_name_ = name; }

  // Appends `message` as it is, or, when `error`, as "<file name>: <message> (C.ERROR)".
  // False when the log is inactive, has no file name, or the line could not be stored
  // (the line is then lost; the log stays active). Never throws.
  bool WriteLine(const std::string& message, bool error = false);

 private:
  bool HasFileName() const;
  void WriteStartHeader();
  void WriteEndLine();
  // Appends `text` (whole lines with their CR LF) to the file; false on any failure.
  bool AppendToFile(const std::string& text);

  Env& env_;
  bool active_ = false;
  std::string log_file_name_;
};

}  // namespace tavelin

#endif  // TAVELIN_APP_LOG_FILE_H_
