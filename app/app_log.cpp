#include "app_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

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

void WriteLog(const bank::ProgramState& state, const std::string& message, long errNumber,
              const std::string& errDescription) {
  const std::string line = formatLogLine(QDateTime::currentDateTime(), message, errNumber, errDescription);
  const std::filesystem::path file = state.appFolder / bank::schema::kLogFile;
  std::error_code ec;
  const bool existed = std::filesystem::exists(std::filesystem::symlink_status(file, ec));
  std::FILE* f = std::fopen(file.c_str(), "ab");
  int cause = f ? 0 : errno;
  if (f) {
    // The cause is read where the write fails: closing the file may set errno anew.
    if (std::fwrite(line.data(), 1, line.size(), f) != line.size() || std::fflush(f) != 0) cause = errno;
    if (std::fclose(f) != 0 && cause == 0) cause = errno;
  }
  if (cause == 0) return;
  // A log that this call made and could not fill is not left behind empty.
  if (f && !existed && std::filesystem::file_size(file, ec) == 0) std::filesystem::remove(file, ec);
  if (cause == ENOSPC)
    throw store::DbError(store::err::FileDiskFull, "Disk full: '" + file.string() + "' could not be written (" + std::strerror(cause) + ").");
  throw store::DbError(store::err::FileAccess, "Path/File access error: '" + file.string() + "' could not be written (" +
                               std::strerror(cause) + ").");
}

std::string startMessage(const bank::ProgramState& state) {
  return state.pLogTag + " ZORBEXEditor " + ui::AppVersion() + " is starting in debug mode.";
}

std::string terminationMessage(const bank::ProgramState& state) {
  return state.pLogTag + " ZORBEXEditor " + ui::AppVersion() + " has been terminated.";
}

}  // namespace app
