// Compaction of a bank of about 40 MB with half its rows deleted, beside a plain copy of
// the same file; the compacted size is printed as a share of the original.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_main.h"
#include "synthetic_bank.h"
#include "bank_files.h"
#include "schema.h"
#include "session.h"

namespace fs = std::filesystem;

namespace {

const fs::path& halfDeletedBank() {
  static fs::path dir = [] {
    using namespace bench_support;
    fs::path d = freshBank("zorbex-bench-compact");
    auto db = bench_support::openBankFile(bank::schema::bankPath(d), false);
    const std::string stem(3600, 'x');
    RowWriter w(*db);
    db->script("BEGIN;");
    for (int i = 0; i < 10000; ++i) {
      const std::string n = questionNumber(i / 100, i % 100);
      w.add(Kind::SC, {{"numQ", n}, {Holds::Pool, poolName(i / 100)}, {Holds::Stem, stem + n},
                       {Holds::ChoiceA, std::string("a")}});
    }
    db->script("COMMIT;");
    db->script("DELETE FROM SCtbl WHERE (CAST(substr(numQ, 1, 3) AS INTEGER) % 2) = 1;");
    db->script("PRAGMA wal_checkpoint(TRUNCATE);");
    return d;
  }();
  return dir;
}

fs::path freshWorkCopy() {
  fs::path work = fs::temp_directory_path() / "zorbex-bench-compact-work";
  fs::remove_all(work);
  fs::create_directories(work);
  for (const char* f : {bank::schema::kBankFile, bank::schema::kUserFile})
    fs::copy_file(halfDeletedBank() / f, work / f);
  return work;
}

void BM_Compact40MBHalfDeleted(benchmark::State& state) {
  const double input = static_cast<double>(fs::file_size(bank::schema::bankPath(halfDeletedBank())));
  double output = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::path work = freshWorkCopy();
    state.ResumeTiming();
    bank::compactBank(work);
    state.PauseTiming();
    output = static_cast<double>(fs::file_size(bank::schema::bankPath(work)));
    state.ResumeTiming();
  }
  state.counters["input_MB"] = input / 1e6;
  state.counters["output_share"] = output / input;
}

void BM_PlainCopyOfTheSameFile(benchmark::State& state) {
  const fs::path from = bank::schema::bankPath(halfDeletedBank());
  const fs::path to = fs::temp_directory_path() / "zorbex-bench-compact-copy.mdb";
  for (auto _ : state) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  }
  fs::remove(to);
}

BENCHMARK(BM_Compact40MBHalfDeleted)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainCopyOfTheSameFile)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  return bench_support::runWithRatios(argc, argv, {{"BM_Compact40MBHalfDeleted", "BM_PlainCopyOfTheSameFile"}});
}
