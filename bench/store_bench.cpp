// The free pool-number search: 5,000 count statements through the component (translation
// included) beside one native scan that finds the same set of used prefixes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "bench_main.h"
#include "recordset.h"
#include "schema.h"
#include "session.h"

using namespace store;
namespace fs = std::filesystem;

namespace {

const char* const kTables[] = {"DStbl", "PStbl", "SCtbl", "CRtbl", "RCtbl"};

// 100,000 questions: every pool number 000..999 holds 100 questions in one of the five
// multiple-choice tables, except every seventh number, left free.
const fs::path& syntheticBank() {
  static fs::path folder = [] {
    fs::path dir = fs::temp_directory_path() / "zorbex-bench-bank";
    fs::remove_all(dir);
    fs::create_directories(dir);
    schema::createBank(dir);
    auto db = openOurFile(schema::bankPath(dir).string(), schema::kBankKey, false, ErrorStyle::Ado);
    db->exec("BEGIN;");
    int rows = 0;
    for (int pool = 0; pool < 1000 && rows < 100000; ++pool) {
      if (pool % 7 == 3) continue;
      std::string table = kTables[pool % 5];
      auto st = db->prepare("INSERT INTO [" + table + "] (numQ, src, answer) VALUES (?1, ?2, 'A');");
      for (int i = 0; i < 100 && rows < 100000; ++i, ++rows) {
        char num[8], src[8];
        std::snprintf(num, sizeof num, "%03d%02d", pool, i);
        std::snprintf(src, sizeof src, "X%03d", pool);
        st.bind(1, Value(std::string(num)));
        st.bind(2, Value(std::string(src)));
        st.step();
        st.reset();
      }
    }
    db->exec("COMMIT;");
    return dir;
  }();
  return folder;
}

void BM_FreeNumbers_5000Statements(benchmark::State& state) {
  Connection conn;
  conn.open(schema::bankPath(syntheticBank()).string(), schema::kBankKey);
  size_t freeCount = 0;
  for (auto _ : state) {
    freeCount = 0;
    for (int n = 0; n < 1000; ++n) {
      char prefix[4];
      std::snprintf(prefix, sizeof prefix, "%03d", n);
      bool taken = false;
      for (const char* table : kTables) {
        Recordset rs;
        rs.open(std::string("select count(*) as numQCount from ") + table + " where " + table + ".numQ Like '" +
                    prefix + "%';",
                conn);
        if (rs.value("numQCount").toInt() != 0) taken = true;
        rs.close();
      }
      if (!taken) ++freeCount;
    }
  }
  state.counters["free"] = static_cast<double>(freeCount);
}

void BM_FreeNumbers_SingleScan(benchmark::State& state) {
  auto db = openOurFile(schema::bankPath(syntheticBank()).string(), schema::kBankKey, true, ErrorStyle::Ado);
  size_t freeCount = 0;
  for (auto _ : state) {
    std::set<std::string> used;
    auto st = db->prepare(
        "SELECT substr(numQ, 1, 3) FROM DStbl UNION SELECT substr(numQ, 1, 3) FROM PStbl UNION "
        "SELECT substr(numQ, 1, 3) FROM SCtbl UNION SELECT substr(numQ, 1, 3) FROM CRtbl UNION "
        "SELECT substr(numQ, 1, 3) FROM RCtbl;");
    while (st.step()) used.insert(st.column(0).toString());
    freeCount = 1000 - used.size();
  }
  state.counters["free"] = static_cast<double>(freeCount);
}

BENCHMARK(BM_FreeNumbers_5000Statements)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FreeNumbers_SingleScan)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  return bench_support::runWithRatios(argc, argv,
                                      {{"BM_FreeNumbers_5000Statements", "BM_FreeNumbers_SingleScan"}});
}
