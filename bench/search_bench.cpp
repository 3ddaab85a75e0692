// Search over a 100,000-question bank with realistic RTF stems (a font table, plain and
// bold runs, paragraphs; one in ten in Japanese through code page 932), beside a LIKE scan
// over a table of the same plain texts; the index build beside reading and converting all
// the RTF once. Prints the index size beside the plain text size. A search is timed until
// what the Find window shows first is ready: the ranked hit list and its first batch.
#include <benchmark/benchmark.h>

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bank_search.h"
#include "bench_main.h"
#include "connection.h"
#include "schema.h"
#include "session.h"
#include "sqlite_db.h"
#include "synthetic_bank.h"

namespace fs = std::filesystem;
using store::Value;

namespace {

constexpr int kQuestions = 100000;

// Words with a Zipf-like spread, so that some are everywhere and most are rare.
class Words {
 public:
  Words() : rng_(7) {
    const char* syllables[] = {"ka", "lo", "mi", "ter", "so", "ran", "vel", "qui", "dor", "pha", "nu", "sta", "bri", "on", "ex"};
    std::mt19937 g(11);
    for (int i = 0; i < 20000; ++i) {
      std::string w;
      const int n = 2 + static_cast<int>(g() % 3);
      for (int k = 0; k < n; ++k) w += syllables[g() % 15];
      words_.push_back(w);
    }
  }
  const std::string& any() {
    const double u = std::uniform_real_distribution<double>(0, 1)(rng_);
    return words_[static_cast<size_t>(std::pow(u, 3.0) * (words_.size() - 1))];
  }
  std::string sentence(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += (i ? " " : "") + any();
    return s;
  }
  std::mt19937& rng() { return rng_; }
  const std::string& at(size_t i) const { return words_[i]; }

 private:
  std::vector<std::string> words_;
  std::mt19937 rng_;
};

// Japanese text as the rich-text box of the editors writes it: Shift-JIS bytes as \'xx.
std::string japaneseRtf(Words& w) {
  static const char* const kana[] = {"問題", "次の文", "読み", "正しい", "答え", "選択肢", "東京", "文章", "語句", "意味"};
  std::string text;
  for (int i = 0; i < 20; ++i) text += kana[w.rng()() % 10];
  std::string sjis(text.size() * 2, '\0');
  iconv_t cd = iconv_open("CP932", "UTF-8");
  char* in = text.data();
  char* to = sjis.data();
  size_t inLeft = text.size(), outLeft = sjis.size();
  iconv(cd, &in, &inLeft, &to, &outLeft);
  iconv_close(cd);
  sjis.resize(sjis.size() - outLeft);
  std::string out;
  for (unsigned char c : sjis) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\'%02x", c);
    out += hex;
  }
  return "{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1033\\deflangfe1041{\\fonttbl{\\f0\\fnil\\fcharset128 MS Gothic;}}\n"
         "\\viewkind4\\uc1\\pard\\lang1041\\f0\\fs22 " + out + " " + w.sentence(8) + "\n\\par }\n";
}

std::string latinRtf(Words& w) {
  return "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fswiss MS Sans Serif;}{\\f1\\fswiss Verdana;}}\n"
         "{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\n"
         "\\deflang1033\\pard\\plain\\f1\\fs22 " + w.sentence(30) + " \\plain\\f1\\fs22\\b " + w.sentence(3) +
         "\\plain\\f1\\fs22  " + w.sentence(25) + "\n\\par \\plain\\f1\\fs22 " + w.sentence(20) + "\n\\par }\n";
}

struct Bank {
  fs::path dir;
  std::string rareWord, commonWord, everywhereWord;
};

const Bank& bank() {
  static Bank b = [] {
    Bank out;
    out.dir = bench_support::freshBank("zorbex-bench-search");
    auto db = bench_support::openBankFile(bank::schema::bankPath(out.dir), false);
    bench_support::RowWriter writer(*db);
    Words w;
    db->script("BEGIN;");
    // This bank deals its pools round the kinds in their own order, not the large bank's.
    using bank::schema::Holds;
    using bank::schema::Kind;
    const Kind kinds[] = {Kind::SC, Kind::CR, Kind::RC, Kind::PS, Kind::DS};
    for (int i = 0; i < kQuestions; ++i) {
      const int pool = i / 100;
      const Kind kind = kinds[pool % 5];
      std::string stem = i % 10 == 0 ? japaneseRtf(w) : latinRtf(w);
      // A name that one question in a thousand uses: what people look for most.
      if (i % 1000 == 999) stem.insert(stem.rfind("\\par"), " Okonkwo ");
      bench_support::Row row{{"numQ", bench_support::questionNumber(pool, i % 100)},
                             {Holds::Pool, bench_support::poolName(pool)},
                             {Holds::Stem, stem}};
      // The texts are drawn in this order, so that every run makes the same bank.
      if (kind == Kind::DS) {
        row[Holds::Statement1] = latinRtf(w);
        row[Holds::Statement2] = latinRtf(w);
      } else {
        if (kind == Kind::RC) row[Holds::Passage] = latinRtf(w);
        for (size_t c = 0; c < 5; ++c)
          row[bank::schema::choiceAt(c)] = kind == Kind::PS ? "{\\rtf1\\ansi " + w.sentence(4) + "}" : w.sentence(4);
      }
      writer.add(kind, row);
    }
    db->script("COMMIT;");
    db->script("PRAGMA wal_checkpoint(TRUNCATE);");
    out.rareWord = "Okonkwo";
    out.commonWord = w.at(15000);  // from the long tail of the vocabulary, still in every fourth field
    out.everywhereWord = w.at(0);  // the most frequent: in nearly every stem
    return out;
  }();
  return b;
}

// The plain text of every searched field of the bank, as the index is made of.
void forEachPlain(store::Connection& conn, const std::function<void(const QString&)>& f) {
  for (bank::schema::Kind k : bank::schema::kAllKinds) {
    const std::vector<std::string>& fields = search::searchedFields(k);
    search::index::indexOf(conn).forEachQuestion(k, fields, [&](const std::string&, const std::vector<Value>& v) {
      for (size_t i = 0; i < fields.size(); ++i) f(search::plainTextOf(k, fields[i], v[i]));
    });
  }
}

// The same plain texts in one table, for the LIKE scan; and their size in bytes.
long long g_plainBytes = 0;
void ensurePlainTable(store::Connection& conn) {
  static bool made = false;
  if (made) return;
  made = true;
  store::SqliteDb& db = store::sqliteFile(conn.session().engine());
  db.exec("DROP TABLE IF EXISTS bench_plain; CREATE TABLE bench_plain (plain TEXT);");
  std::vector<std::string> plains;
  forEachPlain(conn, [&](const QString& plain) {
    if (!plain.isEmpty()) plains.push_back(plain.toStdString());
  });
  db.exec("BEGIN;");
  auto ins = db.prepare("INSERT INTO bench_plain (plain) VALUES (?1);");
  for (const std::string& plain : plains) {
    ins.bind(1, Value(plain));
    ins.step();
    ins.reset();
  }
  db.exec("COMMIT;");
  auto st = db.prepare("SELECT sum(length(CAST(plain AS BLOB))) FROM bench_plain;");
  st.step();
  g_plainBytes = st.column(0).toInt();
}

store::Connection& connection() {
  static store::Connection conn;
  if (!conn.isOpen()) conn.open(bank::schema::bankPath(bank().dir).string(), bank::schema::kBankKey);
  return conn;
}

long long pages(store::Connection& conn, const char* pragma) {
  auto st = store::sqliteFile(conn.session().engine()).prepare(std::string("PRAGMA ") + pragma + ";");
  st.step();
  return st.column(0).toInt();
}

void BM_ConvertAllRtf(benchmark::State& state) {
  store::Connection& conn = connection();
  for (auto _ : state) {
    long long chars = 0;
    forEachPlain(conn, [&](const QString& plain) { chars += plain.size(); });
    benchmark::DoNotOptimize(chars);
  }
}

void BM_BuildIndex(benchmark::State& state) {
  store::Connection& conn = connection();
  const long long before = pages(conn, "page_count") - pages(conn, "freelist_count");
  for (auto _ : state) search::rebuildIndex(conn);
  store::sqliteFile(conn.session().engine()).exec("VACUUM;");
  const long long after = pages(conn, "page_count");
  ensurePlainTable(conn);
  const double pageSize = static_cast<double>(pages(conn, "page_size"));
  state.counters["index_MB"] = (after - before) * pageSize / 1e6;
  state.counters["plain_MB"] = g_plainBytes / 1e6;
  std::printf("index size %.1f MB beside %.1f MB of plain text (%.2fx); bank without index %.1f MB\n",
              (after - before) * pageSize / 1e6, g_plainBytes / 1e6, (after - before) * pageSize / g_plainBytes,
              before * pageSize / 1e6);
}

// What the user waits for in the Find window: the whole ranked hit list (kind, number, field,
// pool, rank) and the first batch shown, its places marked and its snippets made. Later
// batches are marked as they are shown.
void searchFor(benchmark::State& state, const std::string& word) {
  store::Connection& conn = connection();
  if (!search::index::indexOf(conn).built()) search::rebuildIndex(conn);
  const search::Query q = search::parseQuery(QString::fromStdString(word));
  size_t hits = 0;
  for (auto _ : state) {
    std::vector<search::Result> results = search::rankedHits(conn, q, {});
    search::markPlaces(conn, results, 0, search::kFirstBatch, q);
    for (size_t i = 0; i < std::min(search::kFirstBatch, results.size()); ++i)
      benchmark::DoNotOptimize(search::snippet(results[i].plain, results[i].ranges));
    hits = results.size();
  }
  state.counters["hits"] = static_cast<double>(hits);
}

// Every batch marked, as the bank tool prints them all (for comparison, no target).
void searchAllMarked(benchmark::State& state, const std::string& word) {
  store::Connection& conn = connection();
  if (!search::index::indexOf(conn).built()) search::rebuildIndex(conn);
  const search::Query q = search::parseQuery(QString::fromStdString(word));
  size_t hits = 0;
  for (auto _ : state) hits = search::searchBank(conn, q, {}).size();
  state.counters["hits"] = static_cast<double>(hits);
}

void likeFor(benchmark::State& state, const std::string& word) {
  store::Connection& conn = connection();
  if (!search::index::indexOf(conn).built()) search::rebuildIndex(conn);
  ensurePlainTable(conn);
  auto st = store::sqliteFile(conn.session().engine()).prepare("SELECT count(*) FROM bench_plain WHERE plain LIKE ?1;");
  long long hits = 0;
  for (auto _ : state) {
    st.bind(1, Value("%" + word + "%"));
    st.step();
    hits = st.column(0).toInt();
    st.reset();
  }
  state.counters["hits"] = static_cast<double>(hits);
}

// Resident set size in MB, from the kernel's page counts of this process.
double residentMb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Memory over many searches, each with its first batch marked: the resident size after 100
// (the baseline) and after 5,000 more, in the same run.
void BM_SearchMemory(benchmark::State& state) {
  store::Connection& conn = connection();
  if (!search::index::indexOf(conn).built()) search::rebuildIndex(conn);
  const search::Query q = search::parseQuery(QString::fromStdString(bank().rareWord));
  auto searchOnce = [&] {
    std::vector<search::Result> results = search::rankedHits(conn, q, {});
    search::markPlaces(conn, results, 0, search::kFirstBatch, q);
  };
  double before = 0, after = 0;
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) searchOnce();
    before = residentMb();
    for (int i = 0; i < 5000; ++i) searchOnce();
    after = residentMb();
  }
  state.counters["rss_after_100_MB"] = before;
  state.counters["rss_after_5100_MB"] = after;
  std::printf("resident size after 100 searches %.1f MB, after 5,000 more %.1f MB (%+.1f MB)\n", before, after,
              after - before);
}

void BM_SearchName(benchmark::State& state) { searchFor(state, bank().rareWord); }
void BM_LikeScanName(benchmark::State& state) { likeFor(state, bank().rareWord); }
void BM_SearchFrequentWord(benchmark::State& state) { searchFor(state, bank().commonWord); }
void BM_LikeScanFrequentWord(benchmark::State& state) { likeFor(state, bank().commonWord); }
void BM_SearchJapanese(benchmark::State& state) { searchFor(state, "選択肢"); }
void BM_SearchEverywhereWord(benchmark::State& state) { searchFor(state, bank().everywhereWord); }
void BM_LikeScanEverywhereWord(benchmark::State& state) { likeFor(state, bank().everywhereWord); }
void BM_SearchFrequentWordAllMarked(benchmark::State& state) { searchAllMarked(state, bank().commonWord); }
void BM_LikeScanJapanese(benchmark::State& state) { likeFor(state, "選択肢"); }

}  // namespace

BENCHMARK(BM_ConvertAllRtf)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BuildIndex)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SearchName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LikeScanName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchFrequentWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LikeScanFrequentWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchJapanese)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LikeScanJapanese)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchEverywhereWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LikeScanEverywhereWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchFrequentWordAllMarked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
  std::printf(
      "BM_Search*: until the whole ranked hit list and the first batch of %zu hits (places marked, snippets made) are "
      "ready, as the Find window shows them; BM_SearchFrequentWordAllMarked: every hit marked. BM_LikeScan*: a LIKE "
      "scan over a table of the same plain texts. BM_BuildIndex: the whole index built in one transaction, beside "
      "BM_ConvertAllRtf: reading and converting all the RTF once.\n",
      search::kFirstBatch);
  return bench_support::runWithRatios(argc, argv,
                                      {{"BM_BuildIndex", "BM_ConvertAllRtf"},
                                       {"BM_SearchName", "BM_LikeScanName"},
                                       {"BM_SearchFrequentWord", "BM_LikeScanFrequentWord"},
                                       {"BM_SearchJapanese", "BM_LikeScanJapanese"},
                                       {"BM_SearchEverywhereWord", "BM_LikeScanEverywhereWord"}});
}
