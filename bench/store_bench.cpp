// The free pool-number search: 5,000 count statements through the component (translation
// included) beside one native scan that finds the same set of used pool numbers.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "bench_main.h"
#include "synthetic_bank.h"
#include "recordset.h"
#include "schema.h"
#include "session.h"

using namespace store;
using namespace bank;
namespace fs = std::filesystem;

namespace {

const char* const kTables[] = {"DStbl", "PStbl", "SCtbl", "CRtbl", "RCtbl"};

void BM_FreeNumbers_5000Statements(benchmark::State& state) {
  Connection conn;
  conn.open(schema::bankPath(bench_support::largeBank()).string(), schema::kBankKey);
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
  auto db = bench_support::openBankFile(schema::bankPath(bench_support::largeBank()), true);
  size_t freeCount = 0;
  for (auto _ : state) freeCount = 1000 - bench_support::usedPoolNumbers(*db).size();
  state.counters["free"] = static_cast<double>(freeCount);
}

BENCHMARK(BM_FreeNumbers_5000Statements)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FreeNumbers_SingleScan)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  return bench_support::runWithRatios(argc, argv,
                                      {{"BM_FreeNumbers_5000Statements", "BM_FreeNumbers_SingleScan"}});
}
