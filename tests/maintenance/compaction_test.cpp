// Compaction on real banks: the result, a bank held by another connection, a failed
// replacement, and processes killed at every moment of the work.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "commands.h"
#include "bank_files.h"
#include "connection.h"
#include "dao.h"
#include "schema.h"
#include "session.h"
#include "sqlite_db.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using bank::CompactStep;
using bank::compactBank;
using testing_support::bytesOf;
using testing_support::TempDir;

// A demo bank with 2,000 more SC questions, half of them deleted again.
void makeBank(const fs::path& dir) {
  bank::schema::createBank(dir);
  bank_tool::writeDemoContent(dir);
  store::Connection c;
  c.open(bank::schema::bankPath(dir).string(), bank::schema::kBankKey);
  auto& db = store::sqliteFile(c.session().engine());
  db.exec("BEGIN;");
  for (int i = 0; i < 2000; ++i)
    db.exec("INSERT INTO SCtbl (numQ, src, question) VALUES ('9" + std::to_string(10000 + i) + "', 'Y" +
            std::to_string(i % 2) + "', '" + std::string(400, 'q') + "');");
  db.exec("COMMIT;");
  c.execute("delete from SCtbl where src='Y1';");
}

// What a complete bank holds: row counts of the question tables and the links.
std::string contentOf(const fs::path& dir) {
  store::Connection c;
  c.open(bank::schema::bankPath(dir).string(), bank::schema::kBankKey);
  auto& db = store::sqliteFile(c.session().engine());
  std::string out;
  auto ic = db.prepare("PRAGMA integrity_check;");
  while (ic.step()) out += ic.column(0).toString() + ";";
  for (const char* t : {"SCtbl", "CRtbl", "RCtbl", "PStbl", "DStbl", "AWAtbl", "zx_tabledefs"}) {
    auto st = db.prepare(std::string("SELECT count(*) FROM ") + t + ";");
    st.step();
    out += std::string(t) + "=" + st.column(0).toString() + ";";
  }
  auto links = db.prepare("SELECT name, connect FROM zx_tabledefs ORDER BY name;");
  while (links.step()) out += links.column(0).toString() + ">" + links.column(1).toString() + ";";
  return out;
}

std::vector<std::string> filesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

const std::vector<std::string> kOnlyTheFiles = {"zorbex_be.mdb", "zorbex_user.mdb"};

TEST(Compaction, GivesASmallerEquivalentBankUnderTheSameKey) {
  TempDir dir, other;
  makeBank(dir.path());
  bank::schema::createBank(other.path());
  {  // a link such as an import leaves
    auto bank = store::dao::openDatabase(bank::schema::bankPath(dir.path()).string(), false, false,
                                         std::string("MS Access;pwd=") + bank::schema::kBankKey);
    auto link = bank.createTableDef("ImportTbl");
    link.setConnect(";DATABASE=" + bank::schema::bankPath(other.path()).string() + ";pwd=" +
                    bank::schema::kBankKey + ";");
    link.setSourceTableName("SCtbl");
    bank.append(link);
  }
  const std::string before = contentOf(dir.path());
  const auto sizeBefore = fs::file_size(bank::schema::bankPath(dir.path()));
  std::vector<CompactStep> steps;
  compactBank(dir.path(), [&](CompactStep s) { steps.push_back(s); });

  EXPECT_EQ(steps.back(), CompactStep::Done);
  EXPECT_EQ(filesIn(dir.path()), kOnlyTheFiles);
  EXPECT_EQ(contentOf(dir.path()), before);
  EXPECT_LT(fs::file_size(bank::schema::bankPath(dir.path())), sizeBefore * 3 / 4);
  store::Connection c;
  c.open(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey);
  EXPECT_EQ(c.execute("insert into SCtbl (numQ, src) values ('999999', 'Z');"), 1);
  try {
    c.execute("insert into SCtbl (numQ, src) values ('999999', 'Z');");
    ADD_FAILURE() << "numQ is no longer unique";
  } catch (const store::DbError& e) {
    EXPECT_EQ(e.number, store::err::Generic);
  }
  EXPECT_EQ(c.execute("select * into Probe from ImportTbl;"), 0);  // the link still reaches its table
  c.close();
  store::Connection wrongKey;  // and the bank's key is still the only one that opens it
  wrongKey.setProperty(store::kPasswordProperty, bank::schema::kUserKey);
  try {
    wrongKey.open(bank::schema::bankPath(dir.path()).string());
    ADD_FAILURE() << "the compacted bank opened with another key";
  } catch (const store::DbError& e) {
    EXPECT_EQ(e.number, store::err::BadPassword);
  }
}

TEST(Compaction, RemovesAStaleCopyFirst) {
  TempDir dir;
  makeBank(dir.path());
  { std::ofstream(dir / bank::schema::kCompactFile) << "left by a failed run"; }
  compactBank(dir.path());
  EXPECT_EQ(filesIn(dir.path()), kOnlyTheFiles);
}

TEST(Compaction, RefusedWhileAnotherConnectionHoldsTheBank) {
  TempDir dir;
  makeBank(dir.path());
  const std::string bytes = bytesOf(bank::schema::bankPath(dir.path()));
  {
    store::Connection holder;
    holder.open(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey);
    holder.execute("select count(*) from SCtbl;");
    try {
      compactBank(dir.path());
      ADD_FAILURE() << "compacted a bank held by another connection";
    } catch (const store::DbError& e) {
      EXPECT_EQ(e.number, store::err::Locked) << e.description;
    }
    EXPECT_FALSE(fs::exists(dir / bank::schema::kCompactFile));
    EXPECT_EQ(holder.execute("delete from SCtbl where src='Y0';"), 1000);  // the holder goes on writing
  }
  EXPECT_NE(bytesOf(bank::schema::bankPath(dir.path())), bytes);
  compactBank(dir.path());  // once it is closed
  EXPECT_EQ(filesIn(dir.path()), kOnlyTheFiles);
}

TEST(Compaction, AFailedReplacementKeepsTheBankAndRemovesTheCopy) {
  TempDir dir;
  makeBank(dir.path());
  const fs::path bank = bank::schema::bankPath(dir.path());
  const std::string content = contentOf(dir.path());
  try {
    compactBank(dir.path(), [&](CompactStep s) {
      if (s != CompactStep::CopySynced) return;
      fs::remove(dir / bank::schema::kCompactFile);  // the rename cannot put a folder over a file
      fs::create_directory(dir / bank::schema::kCompactFile);
    });
    ADD_FAILURE() << "the replacement did not fail";
  } catch (const store::DbError& e) {
    EXPECT_EQ(e.number, store::err::ReplaceFailed) << e.description;
  }
  EXPECT_EQ(filesIn(dir.path()), kOnlyTheFiles);
  EXPECT_EQ(contentOf(dir.path()), content);
  {  // still refused while held: the bank is back in its shared log mode
    store::Connection holder;
    holder.open(bank.string(), bank::schema::kBankKey);
    holder.execute("select count(*) from SCtbl;");
    EXPECT_THROW(compactBank(dir.path()), store::DbError);
  }
  EXPECT_EQ(filesIn(dir.path()), kOnlyTheFiles);
}

// Runs a compaction in a child process that is killed at a step or after a delay.
void compactAndDie(const fs::path& dir, int killAtStep, std::chrono::microseconds delay) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      compactBank(dir, [&](CompactStep s) {
        if (static_cast<int>(s) == killAtStep) raise(SIGKILL);
      });
    } catch (...) {
      _exit(3);
    }
    _exit(0);
  }
  if (killAtStep < 0) {
    std::this_thread::sleep_for(delay);
    kill(child, SIGKILL);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
}

TEST(Compaction, AProcessKilledAtAnyMomentLeavesOneCompleteBank) {
  TempDir dir;
  makeBank(dir.path());
  const std::string content = contentOf(dir.path());
  // How long one compaction takes here, to spread the kills over all of it.
  auto start = std::chrono::steady_clock::now();
  compactBank(dir.path());
  const auto span = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);

  int runs = 0;
  for (int step = 0; step <= static_cast<int>(CompactStep::Done); ++step, ++runs) {
    compactAndDie(dir.path(), step, {});
    ASSERT_EQ(contentOf(dir.path()), content) << "killed at step " << step;
  }
  for (int i = 0; i < 50; ++i, ++runs) {
    compactAndDie(dir.path(), -1, span * i / 40);
    ASSERT_EQ(contentOf(dir.path()), content) << "killed after " << (span * i / 40).count() << " us";
  }
  EXPECT_GE(runs, 50);
  compactBank(dir.path());  // and the next run clears whatever the last one left
  EXPECT_EQ(filesIn(dir.path()), kOnlyTheFiles);
  EXPECT_EQ(contentOf(dir.path()), content);
}

}  // namespace
