// The search on a bank on a server: its own index, built there whatever the pushed file held, kept
// up to date with another client's writes, and no index of it carried into the published file.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "bank_check.h"
#include "bank_files.h"
#include "bank_search.h"
#include "pg_db.h"
#include "pg_server.h"
#include "recordset.h"
#include "schema.h"
#include "search_index.h"
#include "server_bank.h"
#include "temp_dir.h"

using namespace search;
namespace sidx = search::index;

namespace {

void addStem(store::Connection& conn, const std::string& numQ, const std::string& stem) {
  store::Recordset rs;
  rs.open("SCtbl", conn, store::adOpenKeyset, store::adLockOptimistic);
  rs.addNew();
  rs.setValue("numQ", numQ);
  rs.setValue("src", "X010");
  rs.setValue("question", stem);
  rs.update();
  rs.close();
}

std::vector<std::string> numbersFound(store::Connection& conn, const QString& typed) {
  std::vector<std::string> out;
  for (const Result& r : searchBank(conn, parseQuery(typed), {})) out.push_back(r.numQ);
  return out;
}

using Numbers = std::vector<std::string>;

TEST(SearchServer, APushedBankGetsTheServersOwnIndexAndIsPublishedWithoutAStaleOne) {
  testing_support::TempDir dir;
  testing_support::ServerDb server;
  std::filesystem::create_directory(dir / "a");
  bank::schema::createBank(dir / "a");
  {
    store::Connection file;
    file.open(bank::schema::bankPath(dir / "a").string(), bank::schema::kBankKey);
    addStem(file, "01001", "a walrus");
    EXPECT_EQ(numbersFound(file, "walrus"), Numbers{"01001"});  // the file's index, built
  }
  bank::pushBankToServer(dir / "a", server.uri());

  store::Connection conn;
  conn.open(server.uri());
  EXPECT_FALSE(sidx::indexOf(conn).built());
  std::vector<int> progress;
  EXPECT_EQ(searchBank(conn, parseQuery("walrus"), {}, [&](int p) { progress.push_back(p); }).size(), 1u);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);
  // Written on the server after its index was built: the published file must not miss it.
  store::PgDb::connect(server.uri(), "public")
      ->script("INSERT INTO \"SCtbl\" (numq, src, question) VALUES ('01002', 'X010', 'a narwhal')");
  EXPECT_EQ(numbersFound(conn, "narwhal"), Numbers{"01002"});
  conn.close();

  std::filesystem::create_directory(dir / "b");
  bank::publishServerBank(server.uri(), dir / "b");
  EXPECT_TRUE(bank::structureProblems(dir / "b").empty());
  EXPECT_TRUE(bank::checkFile(bank::schema::bankPath(dir / "b"), bank::schema::kBankKey, false).whole());
  store::Connection published;
  published.open(bank::schema::bankPath(dir / "b").string(), bank::schema::kBankKey);
  EXPECT_EQ(numbersFound(published, "narwhal"), Numbers{"01002"});
  EXPECT_EQ(numbersFound(published, "walrus"), Numbers{"01001"});
}

TEST(SearchServer, ABankMadeOnTheServerHasItsIndexFromTheStartBuiltAtTheFirstSearch) {
  testing_support::ServerDb server;
  bank::schema::createServerBank(server.uri());
  auto other = store::PgDb::connect(server.uri(), "public");
  EXPECT_TRUE(other->hasTable("zx_search_state"));
  store::Connection conn;
  conn.open(server.uri());
  EXPECT_TRUE(sidx::indexOf(conn).present());
  EXPECT_FALSE(sidx::indexOf(conn).built());
  addStem(conn, "01001", "a walrus");
  EXPECT_EQ(numbersFound(conn, "walrus"), Numbers{"01001"});
  EXPECT_TRUE(sidx::indexOf(conn).built());
}

TEST(SearchServer, TwoEditorsIndexingOneQuestionAtOnceLeaveItIndexedOnce) {
  testing_support::ServerDb server;
  bank::schema::createServerBank(server.uri());
  store::Connection a, b;
  a.open(server.uri());
  b.open(server.uri());
  addStem(a, "01001", "a walrus");
  ASSERT_EQ(numbersFound(a, "walrus"), Numbers{"01001"});
  auto other = store::PgDb::connect(server.uri(), "public");
  other->script("UPDATE \"SCtbl\" SET question = 'a walrus again' WHERE numq = '01001'");
  // Editor A indexes the question in an open transaction (as Replace does) while B's search
  // indexes it for the mark the change left.
  a.BeginTrans();
  reindexQuestion(a, bank::schema::Kind::SC, "01001");
  std::atomic<bool> done{false};
  Numbers found;
  std::thread searching([&] {
    found = numbersFound(b, "walrus");
    done = true;
  });
  auto waitsForALock = [&] {
    auto rows = other->query("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
                             "wait_event_type = 'Lock'");
    return rows->next() && rows->column(0).toInt() > 0;
  };
  while (!done && !waitsForALock()) std::this_thread::yield();
  a.CommitTrans();
  searching.join();
  EXPECT_EQ(found, Numbers{"01001"});
  EXPECT_EQ(numbersFound(a, "walrus"), Numbers{"01001"});
}

}  // namespace
