#include "app_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "controls/app_services.h"
#include "db_error.h"
#include "schema.h"

namespace app {

namespace {
// One call writes one line: a line break inside a field would split the record.
std::string oneLine(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}
}  // namespace

std::string formatLogLine(const QDateTime& now, const std::string& message, long errNumber,
                          const std::string& errDescription) {
  const QTime t = now.time();
  const bool midnight = t.hour() == 0 && t.minute() == 0 && t.second() == 0;
  const QString stamp = now.toString(midnight ? "yyyy-MM-dd" : "yyyy-MM-dd HH:mm:ss");
  return "#" + stamp.toStdString() + "#,\"" + oneLine(message) + "\"," + std::to_string(errNumber) + ",\"" +
         oneLine(errDescription) + "\"\r\n";
}

void WriteLog(const store::ProgramState& state, const std::string& message, long errNumber,
              const std::string& errDescription) {
  const std::string line = formatLogLine(QDateTime::currentDateTime(), message, errNumber, errDescription);
  const std::filesystem::path file = state.appFolder / store::schema::kLogFile;
  std::FILE* f = std::fopen(file.c_str(), "ab");
  bool ok = f != nullptr;
  int cause = errno;
  if (ok) {
    ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    cause = errno;
    ok = (std::fclose(f) == 0) && ok;
  }
  if (!ok)
    throw store::DbError(75, "Path/File access error: '" + file.string() + "' could not be written (" +
                                 std::strerror(cause) + ").");
}

std::string startMessage(const store::ProgramState& state) {
  return state.pLogTag + " ZORBEXEditor " + ui::AppVersion() + " is starting in debug mode.";
}

std::string terminationMessage(const store::ProgramState& state) {
  return state.pLogTag + " ZORBEXEditor " + ui::AppVersion() + " has been terminated.";
}

}  // namespace app
