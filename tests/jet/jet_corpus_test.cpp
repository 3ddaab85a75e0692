// The reader on genuine Jet files of the shared corpus, read in place and left unchanged.
#include <gtest/gtest.h>

#include <map>

#include "corpus.h"
#include "jet_reader.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::bytesOf;

namespace {

const fs::path kCorpus = fs::path(ZORBEX_CORPUS_DIR) / "mdb";

#define REQUIRE_CORPUS() SKIP_WITHOUT_CORPUS(kCorpus)

jet::Table table(const std::string& file, const std::string& name, const std::string& charset = {}) {
  return jet::Reader(kCorpus / file, charset).readTable(name);
}

std::string text(const jet::Table& t, size_t row, size_t col) { return t.rows.at(row).at(col).toString(); }

}  // namespace

TEST(JetCorpus, EveryFileReadsWithItsRowCountsAndStaysUnchanged) {
  REQUIRE_CORPUS();
  const std::map<std::string, std::map<std::string, size_t>> expected = {
      {"mdb-reader/V2000_with-password.mdb", {{"Table1", 3}}},
      {"mdb-reader/V2003_with-password.mdb", {{"Table1", 3}}},
      {"mdb-reader/V2003_no-password.mdb", {{"Table1", 3}}},
      {"mdb-reader/V1997_no-password.mdb", {{"Table1", 2}, {"Table2", 0}, {"Table3", 0}, {"Table4", 0}}},
      {"ucanaccess/password.mdb", {}},
      {"ucanaccess/linked.mdb", {}},
      {"ucanaccess/linkee1.mdb", {{"Table1", 1}}},
      {"ucanaccess/linkee2.mdb", {{"table2", 1}}},
      {"ucanaccess/charsetGBK.mdb", {{"table1", 1}}},
      {"jackcess/testUnicodeCompV2003.mdb", {{"Table", 8}}},
      {"jackcess/test2V2003.mdb", {{"MSP_PROJECTS", 1}}},
      {"jackcess/delColTestV2000.mdb", {{"Table1", 2}}},
      {"jackcess/overflowTestV2000.mdb", {{"Table1", 7}}},
      {"jackcess/empty.mdb", {}},
      {"jackcess/testEmoticonsV2010.accdb", {{"data", 80}}},
      {"jackcess-encrypt/db-enc.mdb", {{"Table1", 2}}},
      {"jackcess-encrypt/db97-enc.mdb", {{"Table1", 2}}},
      {"mdbtestdata/DateTestDatabase.mdb", {{"DateTest", 6}}},
  };
  for (const auto& [file, tables] : expected) {
    SCOPED_TRACE(file);
    std::string before = bytesOf(kCorpus / file);
    jet::Database db = jet::readDatabase(kCorpus / file);
    std::map<std::string, size_t> counts;
    for (const jet::Table& t : db.tables) counts[t.name] = t.rows.size();
    EXPECT_EQ(counts, tables);
    EXPECT_EQ(bytesOf(kCorpus / file), before);
  }
}

TEST(JetCorpus, TextInEveryStoredForm) {
  REQUIRE_CORPUS();
  jet::Table u = table("jackcess/testUnicodeCompV2003.mdb", "Table");
  EXPECT_EQ(text(u, 1, 1), "ääkkösiä");
  EXPECT_EQ(text(u, 2, 1), "Мир");
  EXPECT_EQ(text(u, 4, 1), "漢字仮名交じり文");
  std::string all;
  for (char32_t c = 1; c <= 0xFF; ++c)
    all += c < 0x80 ? std::string(1, static_cast<char>(c))
                    : std::string{static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
  EXPECT_EQ(text(u, 7, 1), all);

  jet::Table memo = table("jackcess/test2V2003.mdb", "MSP_PROJECTS");
  EXPECT_EQ(memo.columns[2].type, jet::ColumnType::Memo);
  EXPECT_EQ(text(memo, 0, 2).size(), 348u);
  EXPECT_EQ(text(memo, 0, 2).rfind("Jon Iles this is a a vawesras", 0), 0u);

  jet::Table emoji = table("jackcess/testEmoticonsV2010.accdb", "data");
  bool seen = false;
  for (const jet::Row& r : emoji.rows)
    if (r[0].toInt() == 128512) seen = (r[1].toString() == "a😀a");
  EXPECT_TRUE(seen);

  EXPECT_EQ(text(table("ucanaccess/charsetGBK.mdb", "table1", "GBK"), 0, 1), "GBK编码");
  EXPECT_EQ(text(table("ucanaccess/charsetGBK.mdb", "table1"), 0, 1), "GBK±àÂë");  // as its header claims
  EXPECT_EQ(text(table("mdbtestdata/DateTestDatabase.mdb", "DateTest"), 5, 4), "New line\r\nin field");
}

TEST(JetCorpus, RowsAndValuesWhereTheStorageIsUnusual) {
  REQUIRE_CORPUS();
  jet::Table del = table("jackcess/delColTestV2000.mdb", "Table1");
  ASSERT_EQ(del.rows.size(), 2u);
  EXPECT_EQ(del.rows[0], (jet::Row{0, 2, "foo", "foo2"}));
  EXPECT_EQ(del.rows[1], (jet::Row{3, 5, "bar", "bar2"}));

  // Rows that grew and moved to another page are read in their place.
  jet::Table over = table("jackcess/overflowTestV2000.mdb", "Table1");
  ASSERT_EQ(over.rows.size(), 7u);
  EXPECT_EQ(text(over, 0, 0), "row1col1");
  EXPECT_EQ(text(over, 1, 1), "row2col3");
  EXPECT_EQ(text(over, 2, 7), "row3col9");
  EXPECT_TRUE(over.rows[2][0].isNull());

  jet::Table dates = table("mdbtestdata/DateTestDatabase.mdb", "DateTest");
  EXPECT_EQ(text(dates, 0, 1), "2021-12-02 00:00:00");
  EXPECT_EQ(text(dates, 1, 1), "9999-01-01 00:00:00");
  EXPECT_EQ(text(dates, 2, 1), "1898-01-01 00:00:00");
  EXPECT_EQ(text(dates, 3, 1), "0632-01-01 00:00:00");

  jet::Table jet3 = table("mdb-reader/V1997_no-password.mdb", "Table1");
  EXPECT_EQ(jet3.rows[1], (jet::Row{"abcdefg", "hijklmnop", 2, 222, 333333333, 444.555, "1974-09-21 00:00:00",
                                    "3.5000", -1}));
  EXPECT_EQ(table("jackcess-encrypt/db-enc.mdb", "Table1").rows[1], (jet::Row{2, "world", 42}));
  EXPECT_EQ(table("mdb-reader/V2000_with-password.mdb", "Table1").rows[2], (jet::Row{3, "Three"}));
  EXPECT_EQ(text(table("ucanaccess/weirdObjectNames.mdb", "19 mb 01 bezahlt ???"), 0, 1), "foo");
}

TEST(JetCorpus, LinkedTablesAreReportedAsLinks) {
  REQUIRE_CORPUS();
  jet::Reader r(kCorpus / "ucanaccess/linked.mdb");
  EXPECT_TRUE(r.tableNames().empty());
  std::map<std::string, std::pair<std::string, std::string>> links;
  for (const jet::Link& l : r.links()) links[l.name] = {l.database, l.foreignName};
  EXPECT_EQ(links, (std::map<std::string, std::pair<std::string, std::string>>{
                       {"Table1", {"C:\\db\\linkee1.mdb", "Table1"}}, {"table2", {"C:\\db\\linkee2.mdb", "table2"}}}));
}

TEST(JetCorpus, ForeignAndCutShortFilesAreRefusedByName) {
  REQUIRE_CORPUS();
  TempDir dir;
  std::string whole = bytesOf(kCorpus / "jackcess/test2V2003.mdb");
  auto write = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return dir / name;
  };
  std::string noise(20000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  for (const fs::path& bad : {write("noise.mdb", noise), write("cut.mdb", whole.substr(0, 100000)),
                              write("pages.mdb", whole.substr(0, 50 * 4096))}) {
    SCOPED_TRACE(bad.filename());
    try {
      jet::readDatabase(bad);
      ADD_FAILURE() << "read without complaint";
    } catch (const jet::JetError& e) {
      EXPECT_NE(std::string(e.what()).find(bad.string()), std::string::npos) << e.what();
    }
  }
}

TEST(JetCorpus, DamagedPagesEndInAJetErrorNotACrashOrAHang) {
  REQUIRE_CORPUS();
  TempDir dir;
  std::uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  for (const char* name : {"mdbtestdata/DateTestDatabase.mdb", "jackcess/test2V2003.mdb"}) {
    const std::string whole = bytesOf(kCorpus / name);
    for (int round = 0; round < 150; ++round) {
      std::string bytes = whole;
      for (int i = 0, n = 1 + static_cast<int>(next() % 40); i < n; ++i)
        bytes[4096 + next() % (bytes.size() - 4096)] = static_cast<char>(next() >> 24);  // page 0 stays whole
      std::ofstream(dir / "damaged.mdb", std::ios::binary) << bytes;
      try {
        jet::readDatabase(dir / "damaged.mdb");
      } catch (const jet::JetError&) {
      }
    }
  }
}
