#pragma once
// The application log zorbexlog.txt in the application folder: one line per call, four
// comma-separated fields (stamp, message, error number, error description), CR LF.

#include <QDateTime>
#include <string>

#include "program_state.h"

namespace app {

// #yyyy-mm-dd hh:mm:ss#,"message",number,"description"  followed by CR LF.
// At exactly midnight the stamp is the date alone. The message and the description are
// written unchanged between the double quotes, except that a line break inside them
// becomes a blank: each call writes exactly one line.
std::string formatLogLine(const QDateTime& now, const std::string& message, long errNumber,
                          const std::string& errDescription);

// Appends one line stamped with the current local time; the file is opened (created when
// missing), written and closed for each line. errNumber and errDescription are the error
// being handled when the line is written (0 and "" when none). A file that cannot be
// written fails with error 75, "Path/File access error", or 61, "Disk full", with the
// system's own words for the cause.
void WriteLog(const bank::ProgramState& state, const std::string& message, long errNumber = 0,
              const std::string& errDescription = "");

// The start and termination messages of a run.
std::string startMessage(const bank::ProgramState& state);
std::string terminationMessage(const bank::ProgramState& state);

}  // namespace app
