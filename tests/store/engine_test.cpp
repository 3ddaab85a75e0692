// The one way into an engine, the same on a file and on a server: levels inside a transaction, a
// transaction that only reads, and what only a file has, reached without knowing the engine.
#include "engine.h"

#include <gtest/gtest.h>

#include <fstream>

#include "connection.h"
#include "dialect.h"
#include "schema.h"
#include "support.h"

using namespace store;
namespace schema = bank::schema;
using namespace testing_support;

namespace {

class EngineSeam : public ::testing::TestWithParam<BankEngine> {
 protected:
  void SetUp() override { bank.open(c); }
  bool onFile() const { return GetParam() == BankEngine::File; }
  // Another connection to the same bank.
  std::unique_ptr<Engine> another() const {
    return onFile() ? openOurFile(bank.name(), schema::kBankKey, false, ErrorStyle::Ado)
                    : connectServerEngine(bank.name(), "public");
  }
  static std::string insert(Engine& e, const std::string& numQ) {
    const Dialect d = e.dialect();
    e.run("INSERT INTO " + tableIdent(d, "SCtbl") + " (" + fieldIdent(d, "numQ") + ", " + fieldIdent(d, "src") +
              ") VALUES (" + e.param(1) + ", 'A12')",
          {Value(numQ)});
    return numQ;
  }
  static long long count(Engine& e) {
    auto rows = e.query("SELECT count(*) FROM " + tableIdent(e.dialect(), "SCtbl"));
    rows->next();
    return rows->column(0).toInt();
  }

  NewBank bank{GetParam()};
  Connection c;
};

INSTANTIATE_TEST_SUITE_P(Engines, EngineSeam, ::testing::Values(BankEngine::File, BankEngine::Server), engineName);

TEST_P(EngineSeam, ASavepointTakenBackTakesBackOnlyWhatCameAfterIt) {
  Engine& e = c.engine();
  e.begin();
  insert(e, "A12001");
  e.savepoint("zx_test");
  insert(e, "A12002");
  e.rollbackToSavepoint("zx_test");
  e.releaseSavepoint("zx_test");
  insert(e, "A12003");
  e.commit();
  EXPECT_EQ(rowsOf(c, "select numQ from SCtbl order by numQ"), "A12001\nA12003\n");
  EXPECT_FALSE(e.inTransaction());
}

TEST_P(EngineSeam, AReadingTransactionSeesOneMomentAndHoldsNoWriterBack) {
  Engine& e = c.engine();
  insert(e, "A12001");
  e.beginReading();
  EXPECT_EQ(count(e), 1);
  // Another writer goes ahead at once (a write lock here would keep it waiting, then refuse it).
  auto other = another();
  insert(*other, "A12002");
  EXPECT_EQ(count(e), 1);
  e.commit();
  EXPECT_EQ(count(e), 2);
}

TEST_P(EngineSeam, OnlyAFileGivesWhatOnlyAFileHas) {
  Engine& e = c.engine();
  EXPECT_EQ(e.location(), c.path());
  if (!onFile()) {
    EXPECT_EQ(e.file(), nullptr);
    EXPECT_EQ(e.location().find("password"), std::string::npos);
    return;
  }
  ASSERT_NE(e.file(), nullptr);
  EXPECT_EQ(e.file()->path(), bank.name());
  EXPECT_EQ(e.file()->integrityCheck(), "ok");
  EXPECT_FALSE(e.file()->savedOnlyInLog());
  // A change to a definition changes the schema's version; a row does not.
  const long long before = e.file()->schemaVersion();
  insert(e, "A12001");
  EXPECT_EQ(e.file()->schemaVersion(), before);
  e.script("CREATE TABLE zx_test_more (a INTEGER);");
  EXPECT_NE(e.file()->schemaVersion(), before);
}

TEST(EngineSeamFiles, ABankOpenAnywhereElseIsNotHeldExclusively) {
  TempDir dir;
  schema::createBank(dir.path());
  const std::string path = schema::bankPath(dir.path()).string();
  auto first = openOurFile(path, schema::kBankKey, false, ErrorStyle::Ado);
  auto second = openOurFile(path, schema::kBankKey, false, ErrorStyle::Ado);
  EXPECT_FALSE(second->file()->holdExclusively());
  first.reset();
  EXPECT_TRUE(second->file()->holdExclusively());
  EXPECT_EQ(openOurFileUnlessHeld(path, schema::kBankKey, ErrorStyle::Ado), nullptr);
}

TEST(EngineSeamFiles, AFileThatIsNoDatabaseSaysSoInItsFault) {
  TempDir dir;
  const std::string path = (dir.path() / "not-a-bank").string();
  { std::ofstream(path) << std::string(8192, 'x'); }
  try {
    openFileEngine(path, schema::kBankKey, true);
    FAIL() << "opened";
  } catch (const DbError& e) {
    EXPECT_EQ(e.fault, EngineFault::NotADatabase);
    EXPECT_FALSE(e.engineMessage.empty());
  }
}

TEST(Dialects, NamesStayNamesAndValuesStayData) {
  EXPECT_EQ(tableIdent(Dialect::Sqlite, "SCtbl"), "[SCtbl]");
  EXPECT_EQ(tableIdent(Dialect::Postgres, "a\"b"), "\"a\"\"b\"");
  EXPECT_EQ(fieldIdent(Dialect::Postgres, "numQ"), "\"numq\"");
  EXPECT_EQ(fieldIdent(Dialect::Sqlite, "numQ"), "[numQ]");
  EXPECT_EQ(quotedName("x\"; DROP TABLE t; --"), "\"x\"\"; DROP TABLE t; --\"");
  EXPECT_EQ(textLiteral("it's"), "'it''s'");
}

}  // namespace
