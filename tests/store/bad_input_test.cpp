// Files that are not banks of ours: opening fails with a numbered error, no crash, and
// the file is left exactly as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <random>

#include "corpus.h"
#include "dao.h"
#include "db_error.h"
#include "support.h"

using namespace store;
namespace schema = bank::schema;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

void writeBytes(const fs::path& p, const std::string& b) {
  std::ofstream out(p, std::ios::binary);
  out << b;
}

// Opens the file as the bank through both interfaces and returns the numbers.
std::pair<long, long> openFailures(const fs::path& file) {
  std::pair<long, long> out{0, 0};
  try {
    Connection c;
    c.open(file.string(), schema::kBankKey);
  } catch (const DbError& e) {
    out.first = e.number;
    EXPECT_FALSE(e.description.empty());
  }
  try {
    dao::openDatabase(file.string(), false, false, std::string("MS Access;pwd=") + schema::kBankKey);
  } catch (const DbError& e) {
    out.second = e.number;
  }
  return out;
}

void expectRefusedAndUnchanged(const fs::path& file) {
  std::string before = bytesOf(file);
  auto [ado, dao] = openFailures(file);
  EXPECT_EQ(ado, err::BadPassword) << file;
  EXPECT_EQ(dao, err::DaoBadPassword) << file;
  EXPECT_EQ(bytesOf(file), before) << file;
  EXPECT_FALSE(fs::exists(file.string() + "-journal"));
}

TEST(BadInput, DamagedAndForeignFilesAreRefused) {
  TempDir dir;
  schema::createBank(dir.path());
  std::string good = bytesOf(schema::bankPath(dir.path()));

  writeBytes(dir / "empty.mdb", "");
  expectRefusedAndUnchanged(dir / "empty.mdb");

  writeBytes(dir / "truncated.mdb", good.substr(0, good.size() / 3));
  expectRefusedAndUnchanged(dir / "truncated.mdb");

  std::mt19937 rng(42);
  std::string noise(64 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  writeBytes(dir / "random.mdb", noise);
  expectRefusedAndUnchanged(dir / "random.mdb");

  // A plain, unencrypted SQLite file with tables of the same names.
  fs::path plain = dir / "plain.mdb";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(plain.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE zx_tabledefs(name); CREATE TABLE SCtbl(numQ);", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  expectRefusedAndUnchanged(plain);
}

TEST(BadInput, GenuineJetFilesAreRefused) {
  fs::path dir = fs::path(ZORBEX_CORPUS_DIR) / "mdb";
  SKIP_WITHOUT_CORPUS(dir);
  int seen = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    auto ext = entry.path().extension().string();
    if (ext != ".mdb" && ext != ".accdb") continue;
    // Opened read-only from the shared corpus: compare before and after.
    expectRefusedAndUnchanged(entry.path());
    ++seen;
  }
  EXPECT_GT(seen, 5);
}

TEST(BadInput, MissingFileIsNotCreated) {
  TempDir dir;
  auto [ado, dao] = openFailures(dir / "zorbex_be.mdb");
  EXPECT_EQ(ado, err::Generic);
  EXPECT_EQ(dao, err::FileNotFound);
  EXPECT_FALSE(fs::exists(dir / "zorbex_be.mdb"));
  auto [adoDir, daoDir] = openFailures(dir.path());  // a folder in place of the file
  EXPECT_EQ(adoDir, err::Generic);
  EXPECT_EQ(daoDir, err::FileNotFound);
}

TEST(BadInput, TheWrongKeyIsRefused) {
  TempDir dir;
  schema::createBank(dir.path());
  Connection c;
  c.setProperty(kPasswordProperty, "Qw3Rt&9pLm#x4Vb&nk7z");  // one letter in the wrong case
  try {
    c.open(schema::bankPath(dir.path()).string());
    FAIL() << "opened with a wrong key";
  } catch (const DbError& e) {
    EXPECT_EQ(e.number, err::BadPassword);
  }
}

}  // namespace

namespace {

// The files are encrypted at rest: neither the SQLite header nor stored text shows.
TEST(BadInput, BanksAreEncryptedAtRest) {
  TempDir dir;
  schema::createBank(dir.path());
  {
    Connection c;
    openBank(c, dir.path());
    addQuestion(c, "SCtbl", "01201", "PlainTextPoolMarker");
  }
  for (const fs::path& f : {schema::bankPath(dir.path()), schema::userPath(dir.path())}) {
    std::string bytes = bytesOf(f);
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_NE(bytes.substr(0, 15), "SQLite format 3");
    EXPECT_EQ(bytes.find("PlainTextPoolMarker"), std::string::npos);
    EXPECT_EQ(bytes.find("CREATE TABLE"), std::string::npos);
  }
}

}  // namespace
