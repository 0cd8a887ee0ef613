// Numbered statuses of the update engine and its log file.
#pragma once

#include "platform/datetime.h"

#include <stdexcept>
#include <string>

namespace zeph::nu {

// The English format of a status number (909 to 971); "" for any other number. 18 has no entry:
// its text is the parameter itself.
std::string StatusFormat(int resId);
// The format with the parameter in place of "%s"; an empty format stays empty.
std::string FormatStatus(int resId, const std::string& param);

// The process-wide log name ("NUPDATE.LOG" until set).
void SetLogFileName(const std::string& name);
std::string LogFileName();
// A name with "\", "/" or ":" is used as given; a bare name lies in the documents folder.
std::string ResolveLogPath(const std::string& name);

// The log line: "dd/mm/yyyy hh:nn:ss : [n] text (Status:s) (Error:e)" with the locale's
// date and time separators.
std::string LogLine(const dt::DateTime& when, int resId, const std::string& text, int statusCode, int errCode);

// Raised when the log cannot be written.
class LogError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// Appends one line (CR LF) to the log file, opening and closing it for the line.
void AppendLogLine(const std::string& line);

}  // namespace zeph::nu
