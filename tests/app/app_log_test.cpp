// The log line format and the log file.
#include <gtest/gtest.h>

#include <QDateTime>
#include <sys/resource.h>

#include <csignal>

#include "app_fixture.h"
#include "app_log.h"
#include "db_error.h"
#include "program_state.h"

namespace {

QDateTime at(int y, int mo, int d, int h, int mi, int s) { return QDateTime(QDate(y, mo, d), QTime(h, mi, s)); }

TEST(LogLine, FourFieldsWithStampMessageAndErrorThenCrLf) {
  EXPECT_EQ(app::formatLogLine(at(2026, 12, 6, 18, 30, 5), "BindData ZORBEXEditor 2.4.7 is starting in debug mode.", 0, ""),
            "#2026-12-06 18:30:05#,\"BindData ZORBEXEditor 2.4.7 is starting in debug mode.\",0,\"\"\r\n");
  // Early hours keep two digits; one second after midnight keeps the time.
  EXPECT_EQ(app::formatLogLine(at(2027, 1, 2, 0, 0, 1), "m", 0, ""), "#2027-01-02 00:00:01#,\"m\",0,\"\"\r\n");
  EXPECT_EQ(app::formatLogLine(at(2027, 1, 2, 9, 5, 7), "m", 0, ""), "#2027-01-02 09:05:07#,\"m\",0,\"\"\r\n");
}

TEST(LogLine, ExactlyMidnightCarriesTheDateAlone) {
  EXPECT_EQ(app::formatLogLine(at(2026, 12, 7, 0, 0, 0), "m", 0, ""), "#2026-12-07#,\"m\",0,\"\"\r\n");
}

TEST(LogLine, MessageAndErrorAreWrittenUnchanged) {
  const std::string sql = "BindData insert into SCtbl select * from SCtbl where src='Pool 1'";
  EXPECT_EQ(app::formatLogLine(at(2026, 12, 6, 23, 59, 59), sql, -2147467259, "The changes were not successful."),
            "#2026-12-06 23:59:59#,\"" + sql + "\",-2147467259,\"The changes were not successful.\"\r\n");
}

TEST(LogLine, LineBreakInsideAFieldCannotSplitTheRecord) {
  // A pool name read from an import file could carry CR LF and forge a second line.
  EXPECT_EQ(app::formatLogLine(at(2026, 12, 6, 12, 0, 0), "pool\r\n#2026-01-01#,\"x", 1, "a\nb"),
            "#2026-12-06 12:00:00#,\"pool  #2026-01-01#,\"x\",1,\"a b\"\r\n");
}

class LogFileTest : public AppFolderTest {};

TEST_F(LogFileTest, FirstLineCreatesTheFileAndEachCallAppendsOneLine) {
  bank::ProgramState state(folder());
  ASSERT_FALSE(fs::exists(logFile()));
  app::WriteLog(state, "first");
  app::WriteLog(state, "second 'quoted'", 3021, "No current record.");
  auto lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(lines[0].find(",")), ",\"first\",0,\"\"");
  EXPECT_EQ(lines[1].substr(lines[1].find(",")), ",\"second 'quoted'\",3021,\"No current record.\"");
  EXPECT_EQ(lines[0].front(), '#');
}

TEST_F(LogFileTest, UnwritableLogFailsWithNumberedError) {
  bank::ProgramState state(folder() / "missing-folder");
  try {
    app::WriteLog(state, "x");
    FAIL() << "no error";
  } catch (const store::DbError& e) {
    EXPECT_EQ(e.number, 75);
    EXPECT_NE(e.description.find("Path/File access error"), std::string::npos);
  }
}

TEST_F(LogFileTest, AFullDiskIsReportedAsSuch) {
  bank::ProgramState state(folder());
  fs::create_symlink("/dev/full", logFile());  // every write fails: no space left
  try {
    app::WriteLog(state, "x");
    FAIL() << "no error";
  } catch (const store::DbError& e) {
    EXPECT_EQ(e.number, 61);
    EXPECT_NE(e.description.find("No space left"), std::string::npos) << e.description;
  }
}

TEST_F(LogFileTest, AFailedFirstWriteLeavesNoEmptyLogAndNamesItsCause) {
  bank::ProgramState state(folder());
  // No file may grow beyond zero bytes for this call: the write itself fails.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit none = saved;
  none.rlim_cur = 0;
  setrlimit(RLIMIT_FSIZE, &none);
  std::string description;
  try {
    app::WriteLog(state, "x");
  } catch (const store::DbError& e) {
    description = e.description;
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_NE(description.find("File too large"), std::string::npos) << description;
  EXPECT_FALSE(fs::exists(logFile()));
}

}  // namespace
