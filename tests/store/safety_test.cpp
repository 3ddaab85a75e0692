// Failures classified by what the engine reports, transactions, and a bank file that holds
// every committed change on its own whenever no write is in progress.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "dialect.h"
#include "session.h"
#include "sqlite_db.h"
#include "support.h"

using namespace store;
namespace schema = bank::schema;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::uintmax_t walSize(const fs::path& bank) {
  std::error_code ec;
  auto size = fs::file_size(bank.string() + "-wal", ec);
  return ec ? 0 : size;
}

// The questions of a bank opened from a copy of its one file, without any log beside it.
std::string questionsInCopyOfFileAlone(const fs::path& folder) {
  TempDir copy;
  fs::copy_file(schema::bankPath(folder), schema::bankPath(copy.path()));
  fs::copy_file(schema::userPath(folder), schema::userPath(copy.path()));
  Connection c;
  openBank(c, copy.path());
  return rowsOf(c, "select numQ, question from SCtbl order by numQ;");
}

class StoreSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    schema::createBank(dir.path());
    openBank(conn, dir.path());
  }
  TempDir dir;
  Connection conn;
};

TEST_F(StoreSafety, EveryKindOfWriteLeavesTheBankFileWholeOnItsOwn) {
  addQuestion(conn, "SCtbl", "01201", "A12");  // a record set's AddNew and Update
  conn.execute("update SCtbl set question = 'stem one' where numQ = '01201';");
  {
    Recordset rs;
    rs.open("SCtbl where numQ='01201'", conn, adOpenKeyset, adLockOptimistic, adCmdTable);
    rs.setValue("question", "saved stem");
    rs.update();
    rs.close();
  }
  conn.execute("insert into tblMemo (numQ) values ('01201');");  // a linked user table
  EXPECT_EQ(walSize(schema::bankPath(dir.path())), 0u);
  EXPECT_EQ(walSize(schema::userPath(dir.path())), 0u);
  EXPECT_EQ(questionsInCopyOfFileAlone(dir.path()), "01201|saved stem\n");
}

TEST(StoreLog, OpeningFoldsALogLeftByACrashIntoTheFile) {
  TempDir dir;
  schema::createBank(dir.path());
  const fs::path bank = schema::bankPath(dir.path());
  // A writer whose commits stayed in the log when it died.
  std::string file = bytesOf(bank);
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(bank.c_str(), &raw), SQLITE_OK);
  sqlite3_key(raw, schema::kBankKey, static_cast<int>(std::string(schema::kBankKey).size()));
  ASSERT_EQ(sqlite3_exec(raw, "PRAGMA wal_autocheckpoint=0; INSERT INTO SCtbl (numQ) VALUES ('01201');", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  std::string log = bytesOf(bank.string() + "-wal");
  sqlite3_close(raw);
  { std::ofstream(bank.string() + "-wal", std::ios::binary) << log; }
  { std::ofstream(bank, std::ios::binary) << file; }
  ASSERT_GT(log.size(), 0u);

  Connection conn;
  openBank(conn, dir.path());
  EXPECT_EQ(walSize(bank), 0u);
  EXPECT_EQ(questionsInCopyOfFileAlone(dir.path()), "01201|\n");
}

TEST_F(StoreSafety, ABatchEmptiesTheLogOnceAtItsEnd) {
  {
    DeferCheckpoint batch(conn);
    addQuestion(conn, "SCtbl", "01201", "A12");
    addQuestion(conn, "SCtbl", "01202", "A12");
    EXPECT_GT(walSize(schema::bankPath(dir.path())), 0u);
  }
  EXPECT_EQ(walSize(schema::bankPath(dir.path())), 0u);
  EXPECT_EQ(questionsInCopyOfFileAlone(dir.path()), "01201|\n01202|\n");
}

TEST_F(StoreSafety, TransactionsCommitRollBackAndNest) {
  conn.BeginTrans();
  addQuestion(conn, "SCtbl", "01201", "A12");
  EXPECT_EQ(conn.BeginTrans(), 2);
  addQuestion(conn, "SCtbl", "01202", "A12");
  conn.RollbackTrans();  // the inner level only
  conn.CommitTrans();
  EXPECT_EQ(rowsOf(conn, "select numQ from SCtbl;"), "01201\n");
  EXPECT_EQ(questionsInCopyOfFileAlone(dir.path()), "01201|\n");
  EXPECT_EQ(errorNumberOf([&] { conn.CommitTrans(); }), err::NoTransaction);
}

TEST_F(StoreSafety, AnUncommittedGuardRollsBackWhenAnErrorLeavesIt) {
  addQuestion(conn, "SCtbl", "01201", "A12");
  try {
    Transaction t(conn);
    addQuestion(conn, "SCtbl", "01202", "A12");
    addQuestion(conn, "SCtbl", "01201", "A12");  // repeats a number: throws
    t.commit();
  } catch (const DbError& e) {
    EXPECT_EQ(e.number, err::Generic);
  }
  EXPECT_EQ(conn.transactionLevel(), 0);
  EXPECT_EQ(rowsOf(conn, "select numQ from SCtbl;"), "01201\n");
}

TEST_F(StoreSafety, AValueBetweenDoubleQuotesStaysData) {
  addQuestion(conn, "SCtbl", "01201", "A12");
  std::string text = "say \"hi\" ' there";
  conn.execute("update SCtbl set question = \"" + sqlTextInDoubleQuotes(text) + "\" where numQ = \"01201\";");
  EXPECT_EQ(rowsOf(conn, "select question from SCtbl;"), text + "\n");
}

TEST(StoreErrors, EachFamilyOfEngineFailuresHasItsOwnNumber) {
  auto number = [](int code) { return engineError(code, "x").number; };
  EXPECT_EQ(number(SQLITE_CONSTRAINT_UNIQUE), err::Generic);
  EXPECT_EQ(number(SQLITE_CONSTRAINT_PRIMARYKEY), err::Generic);
  EXPECT_EQ(number(SQLITE_CONSTRAINT_NOTNULL), err::FieldRequired);
  EXPECT_EQ(number(SQLITE_BUSY), err::Locked);
  EXPECT_EQ(number(SQLITE_BUSY_SNAPSHOT), err::Locked);
  EXPECT_EQ(number(SQLITE_LOCKED_SHAREDCACHE), err::Locked);
  EXPECT_EQ(number(SQLITE_READONLY_DBMOVED), err::ReadOnly);
  EXPECT_EQ(number(SQLITE_FULL), err::DiskFull);
  EXPECT_EQ(number(SQLITE_IOERR_FSYNC), err::DiskError);
  EXPECT_EQ(number(SQLITE_CORRUPT_VTAB), err::Damaged);
  EXPECT_EQ(number(SQLITE_NOTADB), err::Damaged);
  EXPECT_EQ(number(SQLITE_CANTOPEN_ISDIR), err::CannotOpen);
  // A full disk whose message reads like a repeated key is still a full disk.
  EXPECT_EQ(engineError(SQLITE_FULL, "UNIQUE constraint failed: SCtbl.numQ").number, err::DiskFull);
}

TEST(StoreErrors, EachEngineFailureSaysWhatTheEngineFoundInItsOwnWords) {
  auto fault = [](int code) { return engineError(code, "x").fault; };
  EXPECT_EQ(fault(SQLITE_BUSY_SNAPSHOT), EngineFault::Busy);
  EXPECT_EQ(fault(SQLITE_LOCKED_SHAREDCACHE), EngineFault::Busy);
  EXPECT_EQ(fault(SQLITE_FULL), EngineFault::DiskFull);
  EXPECT_EQ(fault(SQLITE_IOERR_FSYNC), EngineFault::IoError);
  EXPECT_EQ(fault(SQLITE_CORRUPT_VTAB), EngineFault::Damaged);
  // A key that does not open the first page is not a damaged page: a restore treats them apart.
  EXPECT_EQ(fault(SQLITE_NOTADB), EngineFault::NotADatabase);
  EXPECT_EQ(fault(SQLITE_READONLY_DBMOVED), EngineFault::ReadOnly);
  EXPECT_EQ(fault(SQLITE_ERROR), EngineFault::Statement);
  const DbError e = engineError(SQLITE_CONSTRAINT_UNIQUE, "UNIQUE constraint failed: SCtbl.numQ");
  EXPECT_TRUE(isKeyViolation(e));
  EXPECT_EQ(e.fault, EngineFault::Constraint);
  EXPECT_EQ(e.engineMessage, "UNIQUE constraint failed: SCtbl.numQ");
  EXPECT_TRUE(engineError(SQLITE_BUSY, "database is locked").busy());
}

// A bank of 99 long questions with one page in the middle of the file damaged.
fs::path bankWithADamagedPage(const TempDir& dir) {
  schema::createBank(dir.path());
  {
    Connection c;
    openBank(c, dir.path());
    DeferCheckpoint batch(c);
    for (int i = 1; i <= 99; ++i) {
      std::string n = (i < 10 ? "0120" : "012") + std::to_string(i);
      addQuestion(c, "SCtbl", n, "A12");
      c.execute("update SCtbl set question = '" + std::string(3000, 'x') + "' where numQ = '" + n + "';");
    }
  }
  fs::path bank = schema::bankPath(dir.path());
  std::string bytes = bytesOf(bank);
  size_t page = bytes.size() / 1024 / 2;
  for (size_t i = 0; i < 16; ++i) bytes[page * 1024 + 100 + i] ^= 0x5a;
  { std::ofstream(bank, std::ios::binary) << bytes; }
  return bank;
}

TEST(StoreDamage, ADamagedPageIsReportedAsDamageAndNothingMoreIsWritten) {
  TempDir dir;
  fs::path bank = bankWithADamagedPage(dir);
  Connection c;
  openBank(c, dir.path());
  try {
    rowsOf(c, "select numQ, question from SCtbl;");
    FAIL() << "a damaged page was read without an error";
  } catch (const DbError& e) {
    EXPECT_EQ(e.number, err::Damaged);
    EXPECT_NE(e.description.find("zorbex-bank check"), std::string::npos) << e.description;
  }
  std::string before = bytesOf(bank);
  EXPECT_EQ(errorNumberOf([&] { c.execute("insert into CRtbl (numQ) values ('01301');"); }), err::Damaged);
  c.close();
  EXPECT_EQ(bytesOf(bank), before);
}

TEST(StoreDamage, ADamagedFirstPageNamesAWrongKeyAndDamageBoth) {
  TempDir dir;
  schema::createBank(dir.path());
  fs::path bank = schema::bankPath(dir.path());
  {
    std::fstream f(bank, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(300);
    f.write("damage", 6);
  }
  try {
    Connection c;
    openBank(c, dir.path());
    FAIL() << "opened a bank with a damaged first page";
  } catch (const DbError& e) {
    EXPECT_EQ(e.number, err::BadPassword);
    EXPECT_NE(e.description.find("password"), std::string::npos);
    EXPECT_NE(e.description.find("damaged"), std::string::npos);
  }
}

}  // namespace

namespace {
// Row writes reuse their prepared statements; one still in use is never handed out twice,
// and a kept statement, reset after use, does not hold the table against a change of schema.
TEST(StoreStatements, AKeptStatementInUseGivesAFreshOneAndHoldsNothingAfterUse) {
  testing_support::TempDir dir;
  auto db = store::SqliteDb::create((dir.path() / "kept.db").string(), "k");
  db->script("CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1); INSERT INTO t VALUES (2);");
  const std::string sql = "SELECT a FROM t ORDER BY a;";
  {
    auto outer = db->prepareKept(sql);
    ASSERT_TRUE(outer.step());
    auto inner = db->prepareKept(sql);  // the same text while the first is on its first row
    ASSERT_TRUE(inner.step());
    EXPECT_EQ(inner.column(0).toInt(), 1);
    ASSERT_TRUE(outer.step());
    EXPECT_EQ(outer.column(0).toInt(), 2);
  }
  auto again = db->prepareKept(sql);  // the kept one, from its start
  ASSERT_TRUE(again.step());
  EXPECT_EQ(again.column(0).toInt(), 1);
  again.reset();
  db->script("DROP TABLE t;");
}
}  // namespace
