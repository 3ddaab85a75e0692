// Pools and memos imported from genuine Jet files: refusals on the corpus files (which
// stay unchanged), and the staging and insert fed from tables built here, since no Jet
// file with a bank's tables can be written on these machines.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>

#include "connections.h"
#include "corpus.h"
#include "import.h"
#include "jet_import_source.h"
#include "recordset.h"
#include "schema.h"
#include "session.h"
#include "pg_server.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::bytesOf;
using testing_support::TempDir;

const fs::path kCorpus = fs::path(ZORBEX_CORPUS_DIR) / "mdb";

#define REQUIRE_CORPUS() SKIP_WITHOUT_CORPUS(kCorpus)

// On a bank file and on a server bank: a server cannot link to the staged pool.
class JetImportTest : public testing::TestWithParam<testing_support::BankEngine> {
 protected:
  void SetUp() override {
    if (GetParam() == testing_support::BankEngine::Server) {
      server.emplace();
      bank::schema::createServerBank(server->uri());
      state.serverBank = server->uri();
    } else {
      bank::schema::createBank(dir.path());
    }
    bank::OpenConnections(state);
    hooks.log = [this](const std::string& m) { log.push_back(m); };
    hooks.passedOver = [](const store::DbError& e) { ADD_FAILURE() << e.message(); };
    hooks.confirm = [] { return true; };
  }
  void TearDown() override {
    bank::CloseConnections(state, [](const std::string&) {});
  }

  // The table as a Jet file would give it: the bank table's columns, the given rows.
  jet::Table modelOf(const std::string& table, const std::vector<std::map<std::string, std::string>>& rows) {
    jet::Table t{table, {}, {}};
    for (const std::string& name : state.pConn().fieldNames(table))
      t.columns.push_back({name, jet::ColumnType::Text, 255, 0, 0});
    for (const auto& values : rows) {
      jet::Row r(t.columns.size());
      for (size_t i = 0; i < t.columns.size(); ++i)
        for (const auto& [name, value] : values)  // the server gives its names in lower case
          if (store::equalsIgnoringCase(name, t.columns[i].name)) r[i] = store::Value(value);
      t.rows.push_back(r);
    }
    return t;
  }
  std::unique_ptr<maintenance::ImportSource> source(std::vector<jet::Table> tables) {
    return maintenance::jetImportSource(jet::Database{"legacy.mdb", std::move(tables), {}},
                                        maintenance::stagingPath(dir.path()));
  }
  long count(const std::string& sql) {
    store::Recordset rs;
    rs.open(sql, state.pConn(), store::adOpenDynamic, store::adLockReadOnly);
    long n = static_cast<long>(rs.value("n").toInt());
    rs.close();
    return n;
  }

  TempDir dir;
  std::optional<testing_support::ServerDb> server;
  bank::ProgramState state{dir.path()};
  maintenance::ImportHooks hooks;
  std::vector<std::string> log;
};

INSTANTIATE_TEST_SUITE_P(Engines, JetImportTest,
                         testing::Values(testing_support::BankEngine::File, testing_support::BankEngine::Server),
                         testing_support::engineName);

}  // namespace

TEST(JetImportFiles, GenuineJetFilesAreKnownByTheirHeader) {
  REQUIRE_CORPUS();
  TempDir d;
  bank::schema::createBank(d.path());
  EXPECT_TRUE(jet::isJetFile(kCorpus / "mdb-reader/V1997_no-password.mdb"));
  EXPECT_TRUE(jet::isJetFile(kCorpus / "jackcess/testEmoticonsV2010.accdb"));
  EXPECT_FALSE(jet::isJetFile(bank::schema::bankPath(d.path())));
  std::ofstream(d / "short.mdb") << "Standard Jet";
  EXPECT_FALSE(jet::isJetFile(d / "short.mdb"));
}

TEST(JetImportFiles, ListingRefusesWhatTheFileLacksAndLeavesItUnchanged) {
  REQUIRE_CORPUS();
  const fs::path file = kCorpus / "mdb-reader/V2003_no-password.mdb";
  const std::string before = bytesOf(file);
  auto failure = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const store::DbError& e) {
      return e.message();
    }
    return std::string("no failure");
  };
  EXPECT_EQ(failure([&] { maintenance::ListImportMemos(file.string()); }),
            std::to_string(store::err::TableNotFound) + ":The table or query 'tblMemo' could not be found.");
  EXPECT_EQ(failure([&] { maintenance::ListImportPools(file.string(), "Table1"); }),
            std::to_string(store::err::MissingParameter) + ":The field 'src' is not known to the table.");
  EXPECT_EQ(bytesOf(file), before);
}

TEST_P(JetImportTest, APoolIsStagedAndInsertedWithTheBanksLogLines) {
  auto src = source({modelOf("SCtbl", {{{"numQ", "77701"}, {"src", "N777"}, {"question", "stem"}},
                                       {{"numQ", "77801"}, {"src", "N778"}},
                                       {{"numQ", "77702"}, {"src", "n777"}, {"question", "日本語"}}})});
  EXPECT_EQ(src->pools("sctbl"), (std::vector<std::string>{"N777", "N778"}));
  maintenance::ImportPool(state, *src, "SCtbl", "N777", hooks);
  EXPECT_EQ(count("select count(*) as n from SCtbl where src='N777';"), 2);
  EXPECT_EQ(count("select count(*) as n from SCtbl where question='日本語';"), 1);
  EXPECT_EQ(count("select count(*) as n from SCtbl where src='N778';"), 0);
  EXPECT_EQ(log, (std::vector<std::string>{" SQL:select * into ImportTbl from SCtbl where src='N777';",
                                           " SQL:insert into SCtbl select * from ImportTbl;", " successfully completed."}));
}

TEST_P(JetImportTest, ARepeatedQuestionNumberIsAKeyViolationAndAddsNoRow) {
  state.pConn().execute("insert into SCtbl (numQ, src) values ('77702', 'OTHER');");
  auto src = source({modelOf("SCtbl", {{{"numQ", "77701"}, {"src", "N777"}}, {{"numQ", "77702"}, {"src", "N777"}}})});
  try {
    maintenance::ImportPool(state, *src, "SCtbl", "N777", hooks);
    FAIL() << "imported";
  } catch (const store::DbError& e) {
    EXPECT_TRUE(maintenance::isKeyViolation(e)) << e.message();
  }
  EXPECT_EQ(count("select count(*) as n from SCtbl where src='N777';"), 0);
}

TEST_P(JetImportTest, OtherColumnsAreRefusedBeforeTheInsert) {
  // The names change places, the values stay: the column named src still holds N777.
  jet::Table t = modelOf("SCtbl", {{{"numQ", "N777"}, {"src", "77701"}}});
  std::swap(t.columns[0], t.columns[1]);
  auto src = source({t});
  try {
    maintenance::ImportPool(state, *src, "SCtbl", "N777", hooks);
    FAIL() << "imported";
  } catch (const store::DbError& e) {
    EXPECT_EQ(e.number, maintenance::kColumnsDiffer);
  }
  EXPECT_EQ(count("select count(*) as n from SCtbl;"), 0);
}

TEST_P(JetImportTest, MemosAreAppendedAllOrNothing) {
  jet::Table memos{"tblMemo", {}, {}};
  for (const char* c : {"numQ", "probtype", "choice", "category", "description"})
    memos.columns.push_back({c, jet::ColumnType::Text, 255, 0, 0});
  memos.rows.push_back({store::Value("77701"), store::Value("SC"), store::Value("B"), store::Value("grammar"),
                        store::Value("from Jet")});
  auto src = source({memos});
  EXPECT_EQ(src->memoNumbers(), (std::vector<std::string>{"77701"}));
  EXPECT_THROW(maintenance::ImportMemos(state, *src, {"77701", "99999"}, hooks), store::DbError);
  EXPECT_EQ(count("select count(*) as n from tblMemo;"), 0);
  maintenance::ImportMemos(state, *src, {"77701"}, hooks);
  EXPECT_EQ(count("select count(*) as n from tblMemo where description='from Jet' and category='grammar';"), 1);
}
