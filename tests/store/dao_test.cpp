// Table definitions, links, compaction and the import path that uses them together.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "dao.h"
#include "db_error.h"
#include "support.h"

using namespace store;
namespace schema = bank::schema;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string kBankConnect = std::string("MS Access;pwd=") + schema::kBankKey;

TEST(Dao, TableDefsListTablesAndLinksWithAttributes) {
  TempDir dir;
  schema::createBank(dir.path(), {schema::Kind::AWA});
  dao::Database db = dao::openDatabase(schema::bankPath(dir.path()).string(), false, false, kBankConnect);
  std::map<std::string, long> seen;
  for (const auto& def : db.tableDefs()) seen[def.name()] = def.attributes();
  EXPECT_EQ(seen.count("AWAtbl"), 0u);
  EXPECT_EQ(seen.at("SCtbl"), 0);
  EXPECT_EQ(seen.at("tblMemo") & dao::dbAttachedTable, dao::dbAttachedTable);
  EXPECT_EQ(seen.at("zx_tabledefs") & dao::dbSystemObject, dao::dbSystemObject);
  EXPECT_EQ(db.tableDef("TBLMEMO").sourceTableName(), "tblMemo");
  EXPECT_EQ(errorNumberOf([&] { db.tableDef("ImportTbl"); }), err::ItemNotFound);
  db.close();
  EXPECT_EQ(errorNumberOf([&] { db.tableDefs(); }), 3420);
}

TEST(Dao, RefreshLinkChecksTheFileBeforeStoringIt) {
  TempDir dir;
  schema::createBank(dir.path());
  dao::Database db = dao::openDatabase(schema::bankPath(dir.path()).string(), false, false, kBankConnect);
  dao::TableDef memo = db.tableDef("tblMemo");
  memo.setConnect(";DATABASE=" + (dir / "nowhere.mdb").string() + ";pwd=marigold;");
  EXPECT_EQ(errorNumberOf([&] { memo.refreshLink(); }), err::FileNotFound);
  EXPECT_FALSE(fs::exists(dir / "nowhere.mdb"));
  memo.setConnect(";DATABASE=" + schema::userPath(dir.path()).string() + ";pwd=wrong;");
  EXPECT_EQ(errorNumberOf([&] { memo.refreshLink(); }), err::DaoBadPassword);
  EXPECT_EQ(db.tableDef("tblMemo").connect(), schema::userLinkConnect(dir.path()));
}

// The pool import: copy a pool into ImportTbl of the source file, link it into the bank,
// insert by position, and the failures the import reacts to.
TEST(Dao, ImportThroughALinkedTable) {
  TempDir source, bank;
  schema::createBank(source.path());
  schema::createBank(bank.path());
  {
    Connection src;
    openBank(src, source.path());
    addQuestion(src, "SCtbl", "04501", "X045");
    addQuestion(src, "SCtbl", "04502", "X045");
    src.execute("update SCtbl set question = 'stem', choiceB = 'b' where numQ='04502'");
    src.execute("select * into ImportTbl from SCtbl where src='X045';");
    EXPECT_EQ(errorNumberOf([&] { src.execute("select * into ImportTbl from SCtbl where src='X045';"); }),
              err::CommandError);
  }
  dao::Database db = dao::openDatabase(schema::bankPath(bank.path()).string(), false, false, kBankConnect);
  dao::TableDef link = db.createTableDef("ImportTbl");
  link.setConnect(";DATABASE=" + schema::bankPath(source.path()).string() + ";pwd=" + schema::kBankKey + ";");
  link.setSourceTableName("ImportTbl");
  Connection conn;
  openBank(conn, bank.path());
  EXPECT_EQ(errorNumberOf([&] { conn.execute("insert into SCtbl select * from ImportTbl;"); }), err::TableNotFound);
  db.append(link);  // appended while conn is open: conn must see it
  EXPECT_EQ(conn.execute("insert into SCtbl select * from ImportTbl;"), 2);
  EXPECT_EQ(rowsOf(conn, "select numQ, src, question, choiceB from SCtbl order by numQ"),
            "04501|X045||\n04502|X045|stem|b\n");
  EXPECT_EQ(errorNumberOf([&] { conn.execute("insert into SCtbl select * from ImportTbl;"); }), err::Generic);
  EXPECT_EQ(rowsOf(conn, "select count(*) as n from SCtbl"), "2\n");
  db.deleteTableDef("ImportTbl");
  EXPECT_EQ(errorNumberOf([&] { conn.execute("select * from ImportTbl"); }), err::TableNotFound);
  db.close();
}

}  // namespace
