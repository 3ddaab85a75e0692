// Migrating the largest Jet file of the corpus, scaled by repetition (its rows read and
// written that many times over), beside mdb-export of the same tables as many times into
// /dev/null, measured in the same run; and salvaging a copy of it with one page in ten
// damaged, scaled the same way, beside the plain migration.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "bench_main.h"
#include "migrate.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRepeat = 250;

fs::path largestCorpusFile() {
  fs::path dir = fs::path(ZORBEX_CORPUS_DIR) / "mdb", best;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return best;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    auto ext = e.path().extension();
    if ((ext == ".mdb" || ext == ".accdb") && (best.empty() || e.file_size() > fs::file_size(best))) best = e.path();
  }
  return best;
}

const fs::path& source() {
  static const fs::path file = largestCorpusFile();
  return file;
}

std::string shellQuoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

void BM_MigrateScaled(benchmark::State& state) {
  if (source().empty()) return state.SkipWithError("corpus not present");
  fs::path scratch = fs::temp_directory_path() / ("zorbex-jet-bench-" + std::to_string(getpid()));
  size_t rows = 0;
  for (auto _ : state) {
    jet::Database bank;
    bank.file = source();
    for (int i = 0; i < kRepeat; ++i) {
      jet::Database copy = jet::readDatabase(source());
      if (bank.tables.empty()) bank.tables = copy.tables;
      else
        for (size_t t = 0; t < copy.tables.size(); ++t)
          bank.tables[t].rows.insert(bank.tables[t].rows.end(), copy.tables[t].rows.begin(), copy.tables[t].rows.end());
    }
    jet::Database user;
    user.file = source();
    auto result = jet::migrate(bank, user, scratch);
    rows = 0;
    for (const auto& t : result.tables) rows += t.written;
    state.PauseTiming();
    fs::remove_all(scratch);
    state.ResumeTiming();
  }
  state.counters["rows"] = static_cast<double>(rows);
}

// A copy of the source with the kind byte of every tenth page spoilt (the catalogue and
// the header kept, so that there is something to salvage).
const fs::path& damagedSource() {
  static const fs::path file = [] {
    fs::path out = fs::temp_directory_path() / ("zorbex-jet-bench-damaged-" + std::to_string(getpid()) + ".mdb");
    std::ifstream in(source(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const size_t pageSize = bytes.at(0x14) == 0 ? 2048 : 4096;
    for (size_t p = 3; p * pageSize < bytes.size(); ++p) {
      const size_t at = p * pageSize;
      bool catalogue = bytes[at] == 1 && bytes[at + 4] == 2 && bytes[at + 5] == 0 && bytes[at + 6] == 0 && bytes[at + 7] == 0;
      if (p % 10 == 9 && !catalogue) bytes[at] = '\x55';
    }
    std::ofstream(out, std::ios::binary) << bytes;
    return out;
  }();
  return file;
}

void BM_SalvageScaled(benchmark::State& state) {
  if (source().empty()) return state.SkipWithError("corpus not present");
  fs::path scratch = fs::temp_directory_path() / ("zorbex-jet-bench-" + std::to_string(getpid()));
  size_t rows = 0;
  for (auto _ : state) {
    jet::Database bank;
    bank.file = damagedSource();
    size_t lost = 0;
    for (int i = 0; i < kRepeat; ++i) {
      jet::SalvagedDatabase copy = jet::salvageDatabase(damagedSource());
      lost += copy.losses.size();
      if (bank.tables.empty()) bank.tables = copy.database.tables;
      else
        for (size_t t = 0; t < copy.database.tables.size(); ++t)
          bank.tables[t].rows.insert(bank.tables[t].rows.end(), copy.database.tables[t].rows.begin(),
                                     copy.database.tables[t].rows.end());
    }
    jet::Database user;
    user.file = damagedSource();
    auto result = jet::migrate(bank, user, scratch, std::to_string(lost) + " losses\n");
    rows = 0;
    for (const auto& t : result.tables) rows += t.written;
    state.PauseTiming();
    fs::remove_all(scratch);
    state.ResumeTiming();
  }
  state.counters["rows"] = static_cast<double>(rows);
}

void BM_MdbExportScaled(benchmark::State& state) {
  if (source().empty()) return state.SkipWithError("corpus not present");
  std::string tables;
  for (const std::string& t : jet::Reader(source()).tableNames()) tables += " " + shellQuoted(t);
  std::string cmd = "f=" + shellQuoted(source().string()) + "; for i in $(seq " + std::to_string(kRepeat) +
                    "); do for t in" + tables + "; do mdb-export \"$f\" \"$t\"; done; done >/dev/null";
  for (auto _ : state)
    if (std::system(cmd.c_str()) != 0) return state.SkipWithError("mdb-export failed (Debian package mdbtools)");
}

}  // namespace

BENCHMARK(BM_MigrateScaled)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MdbExportScaled)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SalvageScaled)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
  int status = bench_support::runWithRatios(
      argc, argv, {{"BM_MigrateScaled", "BM_MdbExportScaled"}, {"BM_SalvageScaled", "BM_MigrateScaled"}});
  std::error_code ec;
  if (!source().empty()) fs::remove(damagedSource(), ec);
  return status;
}
