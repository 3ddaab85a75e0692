// A writer killed at random moments: saves, a batch over a pool and a pool added and
// deleted, in a loop. After every kill the bank is whole, each record is wholly old or
// wholly new, and a clean open and close leaves no log beside it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "bank_files.h"
#include "support.h"

using namespace store;
namespace schema = bank::schema;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const char* const kWritten[] = {"question", "choiceA", "choiceB", "choiceC", "choiceD", "choiceE"};

// Every field the writer touches gets the same text at once.
void writeRecord(Recordset& rs, const std::string& text) {
  for (const char* f : kWritten) rs.setValue(f, text);
  rs.update();
}

std::string numberOf(const std::string& pool, int i) { return pool + (i < 10 ? "0" : "") + std::to_string(i); }

[[noreturn]] void writeUntilKilled(const fs::path& folder) {
  Connection c;
  openBank(c, folder);
  for (long round = 0;; ++round) {
    std::string text = "round " + std::to_string(round) + std::string(200, 'x');
    {  // a save
      Recordset rs;
      rs.open("SCtbl where numQ='" + numberOf("A12", 1 + round % 20) + "'", c, adOpenKeyset, adLockOptimistic,
              adCmdTable);
      writeRecord(rs, text);
      rs.close();
    }
    {  // a batch over the pool
      DeferCheckpoint batch(c);
      for (int i = 1; i <= 20; ++i) {
        Recordset rs;
        rs.open("SCtbl where numQ='" + numberOf("A12", i) + "'", c, adOpenKeyset, adLockOptimistic, adCmdTable);
        writeRecord(rs, text + " batch");
        rs.close();
      }
    }
    {  // a pool added and deleted again
      Recordset rs;
      rs.open("SCtbl", c, adOpenKeyset, adLockOptimistic);
      for (int i = 1; i <= 20; ++i) {
        rs.addNew();
        rs.setValue("src", "B34");
        rs.setValue("numQ", numberOf("B34", i));
        writeRecord(rs, text + " added");
      }
      rs.close();
      c.execute("delete * from SCtbl where src='B34';");
    }
  }
}

TEST(Crash, AWriterKilledAtRandomMomentsLeavesAWholeBank) {
  TempDir dir;
  schema::createBank(dir.path());
  {
    Connection c;
    openBank(c, dir.path());
    for (int i = 1; i <= 20; ++i) {
      Recordset rs;
      rs.open("SCtbl", c, adOpenKeyset, adLockOptimistic);
      rs.addNew();
      rs.setValue("src", "A12");
      rs.setValue("numQ", numberOf("A12", i));
      writeRecord(rs, "initial");
      rs.close();
    }
  }
  const fs::path bank = schema::bankPath(dir.path());
  std::mt19937 rng(20261207);
  for (int kill = 0; kill < 30; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) writeUntilKilled(dir.path());
    usleep(10000 + rng() % 80000);
    ::kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended on its own";

    Connection c;
    openBank(c, dir.path());
    EXPECT_EQ(c.session().file()->integrityCheck(), "ok");
    Recordset rs;
    rs.open("select * from SCtbl;", c, adOpenDynamic, adLockReadOnly);
    long rows = 0;
    for (; !rs.eof(); rs.moveNext(), ++rows) {
      std::string first = rs.value(kWritten[0]).toString();
      for (const char* f : kWritten) ASSERT_EQ(rs.value(f).toString(), first) << rs.value("numQ").toString();
    }
    EXPECT_GE(rows, 20);
    rs.close();
    c.close();
    EXPECT_FALSE(fs::exists(bank.string() + "-wal"));
  }
}

}  // namespace
