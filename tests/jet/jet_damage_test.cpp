// Copies of genuine Jet files changed the way Jet changes them, or damaged: what Jet reads
// is read; anything else is refused whole or, salvaged, loses only what the damage holds.
#include <gtest/gtest.h>

#include <algorithm>

#include "corpus.h"
#include "jet_pages.h"
#include "jet_reader.h"
#include "migrate.h"

namespace fs = std::filesystem;
using jet_pages::JetFile;
using testing_support::TempDir;

namespace {

const fs::path kCorpus = fs::path(ZORBEX_CORPUS_DIR) / "mdb";

#define REQUIRE_CORPUS() SKIP_WITHOUT_CORPUS(kCorpus)

std::vector<jet::Row> rowsOf(const fs::path& file, const std::string& table) {
  return jet::Reader(file).readTable(table).rows;
}

std::vector<jet::Row> without(std::vector<jet::Row> rows, std::vector<size_t> gone) {
  std::sort(gone.rbegin(), gone.rend());
  for (size_t i : gone) rows.erase(rows.begin() + static_cast<long>(i));
  return rows;
}

std::string refusal(const fs::path& file, const std::string& table) {
  try {
    jet::Reader(file).readTable(table);
  } catch (const jet::JetError& e) {
    return e.what();
  }
  return "read without complaint";
}

}  // namespace

TEST(JetPages, EntriesOfDeletedRowsAreSkippedWhateverOffsetTheyHold) {
  REQUIRE_CORPUS();
  TempDir dir;
  for (auto [file, table] : {std::pair{"mdbtestdata/DateTestDatabase.mdb", "DateTest"},
                             std::pair{"mdb-reader/V1997_no-password.mdb", "Table1"}}) {
    SCOPED_TRACE(file);
    const std::vector<jet::Row> all = rowsOf(kCorpus / file, table);
    JetFile f(kCorpus / file);
    size_t page = f.dataPagesOf(f.definitionOf(table)).at(0);
    f.deleteAndCompact(page, 0);
    std::vector<size_t> gone = {0};
    if (all.size() > 4) {
      f.deleteAndCompact(page, 3);
      f.setEntry(page, 3, 0x9fff);  // an emptied entry holding an offset past any page
      gone.push_back(3);
    }
    f.write(dir / "deleted.mdb");
    EXPECT_EQ(rowsOf(dir / "deleted.mdb", table), without(all, gone));
    jet::SalvagedDatabase s = jet::salvageDatabase(dir / "deleted.mdb");
    EXPECT_TRUE(s.losses.empty());
  }
}

TEST(JetPages, ALiveRowOutsideItsPageIsDamageAndSalvageLosesOnlyThatRow) {
  REQUIRE_CORPUS();
  TempDir dir;
  const fs::path source = kCorpus / "mdbtestdata/DateTestDatabase.mdb";
  JetFile f(source);
  size_t page = f.dataPagesOf(f.definitionOf("DateTest")).at(0);
  f.setEntry(page, 2, 0x1fff);
  f.write(dir / "outside.mdb");
  EXPECT_NE(refusal(dir / "outside.mdb", "DateTest").find("row 2 of page " + std::to_string(page) +
                                                          " of table 'DateTest' lies outside its page"),
            std::string::npos);
  jet::TableLoss loss;
  EXPECT_EQ(jet::Reader(dir / "outside.mdb", {}, jet::Reading::Salvage).salvageTable("DateTest", loss).rows,
            without(rowsOf(source, "DateTest"), {2}));
  EXPECT_EQ(loss.rowsLost, 1u);
  EXPECT_EQ(loss.pagesLost, 0u);
}

TEST(JetPages, AStaleRowCountIsReadPastAndSaidInTheMigration) {
  REQUIRE_CORPUS();
  TempDir dir;
  JetFile f(kCorpus / "mdbtestdata/DateTestDatabase.mdb");
  f.setU32(f.definitionOf("DateTest"), 16, 99);  // the row count of a Jet 4 table definition
  f.write(dir / "stale.mdb");
  jet::Table t = jet::Reader(dir / "stale.mdb").readTable("DateTest");
  EXPECT_EQ(t.rows.size(), 6u);
  EXPECT_EQ(t.statedRows, 99u);
  jet::MigrationResult r = jet::migrateFiles(dir / "stale.mdb", kCorpus / "jackcess/empty.mdb", dir / "new");
  ASSERT_EQ(r.tables.size(), 1u);
  EXPECT_EQ(r.tables[0].written, 6u);
  EXPECT_EQ(r.tables[0].stated, 99u);
}

TEST(JetPages, AFileCutAtAPageBoundaryIsRefusedOrReadWholeAndSalvagesOnlyItsOwnRows) {
  REQUIRE_CORPUS();
  TempDir dir;
  for (const auto& e : fs::recursive_directory_iterator(kCorpus)) {
    if (e.path().extension() != ".mdb" && e.path().extension() != ".accdb") continue;
    SCOPED_TRACE(e.path().string());
    const jet::Database whole = jet::readDatabase(e.path());
    JetFile f(e.path());
    for (size_t keep = 3; keep < f.pages(); keep += 3) {
      SCOPED_TRACE(keep);
      f.write(dir / "cut.mdb", keep);
      try {
        jet::Database cut = jet::readDatabase(dir / "cut.mdb");
        ASSERT_EQ(cut.tables.size(), whole.tables.size());
        for (size_t t = 0; t < cut.tables.size(); ++t) ASSERT_EQ(cut.tables[t].rows, whole.tables[t].rows);
      } catch (const jet::JetError&) {
      }
      try {
        for (const jet::Table& t : jet::salvageDatabase(dir / "cut.mdb").database.tables) {
          const jet::Table* original = nullptr;
          for (const jet::Table& w : whole.tables) original = w.name == t.name ? &w : original;
          ASSERT_TRUE(original) << t.name;
          for (const jet::Row& r : t.rows) ASSERT_NE(std::find(original->rows.begin(), original->rows.end(), r), original->rows.end());
        }
      } catch (const jet::JetError&) {  // the catalogue's own definition is gone
      }
    }
  }
}

TEST(JetPages, LoopingChainsAndForeignPagesEndTheirTableOrRowNotTheRead) {
  REQUIRE_CORPUS();
  TempDir dir;
  {  // a table definition continued on a page that leads back to its first
    JetFile f(kCorpus / "jackcess/test2V2003.mdb");
    std::uint32_t def = f.definitionOf("MSP_PROJECTS");
    f.setU32(f.u32(def, 4), 4, def);
    f.write(dir / "loop.mdb");
    EXPECT_NE(refusal(dir / "loop.mdb", "MSP_PROJECTS").find("the definition of table 'MSP_PROJECTS' loops"),
              std::string::npos);
    jet::SalvagedDatabase s = jet::salvageDatabase(dir / "loop.mdb");
    EXPECT_TRUE(s.database.tables.empty());
    ASSERT_EQ(s.losses.size(), 1u);
    EXPECT_TRUE(s.losses[0].unreadable);
  }
  {  // a catalogue entry naming page 0, the header, for its definition
    JetFile f(kCorpus / "mdb-reader/V1997_no-password.mdb");
    auto [page, offset] = f.catalogueIdOf("Table3");
    f.setU32(page, offset, 0);
    f.write(dir / "zero.mdb");
    EXPECT_NE(refusal(dir / "zero.mdb", "Table3").find("names page 0, the file's header"), std::string::npos);
    EXPECT_EQ(rowsOf(dir / "zero.mdb", "Table1").size(), 2u);
  }
  {  // a moved row that points to itself
    const fs::path source = kCorpus / "jackcess/overflowTestV2000.mdb";
    JetFile f(source);
    size_t page = 0;
    int moved = -1;
    for (size_t p = 3; p < f.pages() && moved < 0; ++p)
      for (int r = 0; f.at(p, 0) == 1 && f.u32(p, 4) != 2 && r < f.rows(p) && moved < 0; ++r)
        if ((f.entry(p, r) & 0xc000) == 0x4000) page = p, moved = r;
    ASSERT_GE(moved, 0);
    f.setU32(page, static_cast<size_t>(f.start(page, moved)), static_cast<std::uint32_t>(page << 8 | moved));
    f.write(dir / "moved.mdb");
    jet::SalvagedDatabase s = jet::salvageDatabase(dir / "moved.mdb");
    ASSERT_EQ(s.losses.size(), 1u);
    EXPECT_EQ(s.losses[0].rowsLost, 1u);
    ASSERT_EQ(s.database.tables.size(), 1u);
    EXPECT_EQ(s.database.tables[0].rows.size(), rowsOf(source, "Table1").size() - 1);
  }
  {  // the page holding every row is no data page at all
    JetFile f(kCorpus / "jackcess/testEmoticonsV2010.accdb");
    size_t page = f.dataPagesOf(f.definitionOf("data")).at(0);
    f.at(page, 0) = 0x55;
    f.write(dir / "page.accdb");
    EXPECT_NE(refusal(dir / "page.accdb", "data").find("page " + std::to_string(page) + ", named by the usage map of table 'data', is not a data page"),
              std::string::npos);
    jet::TableLoss loss;
    EXPECT_TRUE(jet::Reader(dir / "page.accdb").salvageTable("data", loss).rows.empty());
    EXPECT_EQ(loss.pagesLost, 1u);
  }
}
