// QTI packages of 10,000 questions of every kind. Export beside its baseline, reading the same
// rows and converting their rich text to XHTML once; import beside the export of the same
// pools. The export's peak memory above what the program held before it is printed too: the
// package is staged on disk, never whole in memory.
#include <benchmark/benchmark.h>

#include <QTextDocument>
#include <QXmlStreamWriter>

#include <fstream>
#include <string>

#include "bench_main.h"
#include "qti_export.h"
#include "qti_import.h"
#include "question_record.h"
#include "recordset.h"
#include "rtf/rtf_reader.h"
#include "rtf/rtf_xhtml.h"
#include "statements.h"
#include "synthetic_bank.h"

namespace fs = std::filesystem;
namespace qti = exchange::qti;
using namespace bench_support;

namespace {

constexpr int kQuestions = 10000;
constexpr int kPerPool = 60;

// 10,000 questions dealt round the six kinds, 60 to a pool (an essay type holds the topics).
const fs::path& exchangeBank() {
  static fs::path dir = [] {
    fs::path d = freshBank("zorbex-bench-qti");
    auto db = openBankFile(bank::schema::bankPath(d), false);
    RowWriter w(*db);
    db->script("BEGIN;");
    const std::string rtf = stemOf(600);
    int made = 0;
    for (int pool = 100; made < kQuestions; ++pool) {
      const Kind kind = bank::schema::kAllKinds[static_cast<size_t>(pool % 6)];
      for (int i = 1; i <= kPerPool && made < kQuestions; ++i, ++made) {
        if (kind == Kind::AWA) {
          w.add(kind, {{"numQ", "A" + std::to_string(100000 + made)}, {Holds::Pool, std::string("A")}, {Holds::Stem, rtf}});
          continue;
        }
        Row row{{"numQ", questionNumber(pool, i)}, {Holds::Pool, "X" + std::to_string(pool)}, {Holds::Stem, rtf},
                {Holds::Answer, std::string(1, static_cast<char>('A' + i % 5))}};
        for (size_t c = 0; c < 5; ++c)
          if (bank::schema::fieldFor(kind, bank::schema::choiceAt(c)))
            row[bank::schema::choiceAt(c)] = kind == Kind::PS ? rtf : "choice " + std::to_string(c);
        if (bank::schema::fieldFor(kind, Holds::Passage)) row[Holds::Passage] = stemOf(2000);
        if (bank::schema::fieldFor(kind, Holds::Statement1)) {
          row[Holds::Statement1] = stemOf(200);
          row[Holds::Statement2] = stemOf(200);
        }
        w.add(kind, row);
      }
    }
    db->script("COMMIT;");
    return d;
  }();
  return dir;
}

struct OpenBank {
  store::Connection conn;
  explicit OpenBank(const fs::path& dir) { conn.open(bank::schema::bankPath(dir).string(), bank::schema::kBankKey); }
};

// Kilobytes of the process's resident memory: now, and at its peak since the last reset.
long statusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  return 0;
}
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void BM_ExportQti10000(benchmark::State& state) {
  OpenBank b(exchangeBank());
  const fs::path zip = fs::temp_directory_path() / "zorbex-bench-qti.zip";
  qti::ExportOptions o;
  double growthMb = 0;
  for (auto _ : state) {
    resetPeak();
    const long before = statusKb("VmRSS:");
    const qti::ExportSummary s = qti::exportPackage(b.conn, zip, o);
    growthMb = static_cast<double>(statusKb("VmHWM:") - before) / 1024.0;
    if (s.items != kQuestions) state.SkipWithError("not every question was exported");
  }
  state.counters["peak_growth_MB"] = growthMb;
  state.counters["package_MB"] = static_cast<double>(fs::file_size(zip)) / 1e6;
}

// What the export cannot do without: every question's row read as the export reads it, and
// each rich-text field converted to XHTML once.
void BM_ReadRowsAndConvertRichText(benchmark::State& state) {
  OpenBank b(exchangeBank());
  QTextDocument doc;
  for (auto _ : state) {
    long converted = 0;
    for (Kind kind : bank::schema::kAllKinds) {
      const bank::RecordFields& def = bank::wholeRecordFields(kind);
      store::Recordset numbers;
      numbers.open(store::statements::everyRowOf(def.table), b.conn, store::adOpenForwardOnly, store::adLockReadOnly);
      std::vector<std::string> all;
      for (; !numbers.eof(); numbers.moveNext()) all.push_back(numbers.value("numQ").toString());
      numbers.close();
      for (const std::string& n : all) {
        const auto record = bank::readRecord(b.conn, def, n);
        for (const bank::FieldDef& f : def.fields) {
          if (f.type != bank::schema::FieldType::Rtf) continue;
          auto it = record->find(f.name);
          if (it == record->end() || it->second.isNull()) continue;
          doc.clear();
          ui::rtf::readRtf(QByteArray::fromStdString(it->second.toString()), doc);
          QByteArray out;
          QXmlStreamWriter xml(&out);
          ui::rtf::writeXhtml(doc, xml, [](const QByteArray&, const QString&) { return QString(); });
          ++converted;
        }
      }
    }
    benchmark::DoNotOptimize(converted);
  }
}

// One package per pool, as an import takes one pool at a time.
std::vector<std::tuple<Kind, std::string, fs::path>>& poolPackages() {
  static std::vector<std::tuple<Kind, std::string, fs::path>> packages;
  return packages;
}

void exportEveryPool(store::Connection& conn) {
  poolPackages().clear();
  const fs::path dir = fs::temp_directory_path() / "zorbex-bench-qti-pools";
  fs::create_directories(dir);
  for (Kind kind : bank::schema::kAllKinds) {
    std::set<std::string> pools;
    store::Recordset rs;
    rs.open(store::statements::everyRowOf(bank::schema::kindEntry(kind).table), conn, store::adOpenForwardOnly,
            store::adLockReadOnly);
    for (; !rs.eof(); rs.moveNext()) pools.insert(rs.value(bank::schema::fieldFor(kind, Holds::Pool)).toString());
    rs.close();
    for (const std::string& pool : pools) {
      qti::ExportOptions o;
      o.kinds = {kind};
      o.pool = pool;
      const fs::path zip = dir / (std::string(bank::schema::kindEntry(kind).name) + "-" + pool + ".zip");
      qti::exportPackage(conn, zip, o);
      poolPackages().emplace_back(kind, pool, zip);
    }
  }
}

void BM_ExportQti10000PoolByPool(benchmark::State& state) {
  OpenBank b(exchangeBank());
  for (auto _ : state) exportEveryPool(b.conn);
}

void BM_ImportQti10000PoolByPool(benchmark::State& state) {
  if (poolPackages().empty()) {
    OpenBank b(exchangeBank());
    exportEveryPool(b.conn);
  }
  long imported = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path target = freshBank("zorbex-bench-qti-import");
    {
      OpenBank b(target);
      state.ResumeTiming();
      imported = 0;
      for (const auto& [kind, pool, zip] : poolPackages()) {
        qti::ImportOptions o;
        o.kind = kind;
        o.pool = pool;
        imported += qti::importPackage(b.conn, zip, o).imported;
      }
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  if (imported != kQuestions) state.SkipWithError("not every question was imported");
}

BENCHMARK(BM_ReadRowsAndConvertRichText)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportQti10000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportQti10000PoolByPool)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ImportQti10000PoolByPool)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  return bench_support::runWithRatios(argc, argv,
                                      {{"BM_ExportQti10000", "BM_ReadRowsAndConvertRichText"},
                                       {"BM_ImportQti10000PoolByPool", "BM_ExportQti10000PoolByPool"}});
}
