#pragma once
// The large bank of the benchmarks: 100,000 questions, 100 under every pool number
// 000..999, the pool numbers dealt round the five multiple-choice tables; and the single
// native scan that finds the used pool numbers, the baseline of the free-number search.

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "schema.h"
#include "session.h"
#include "sqlite_db.h"

namespace bench_support {

inline const std::filesystem::path& largeBank() {
  static std::filesystem::path dir = [] {
    namespace fs = std::filesystem;
    using store::Value;
    fs::path d = fs::temp_directory_path() / "zorbex-bench-large";
    fs::remove_all(d);
    fs::create_directories(d);
    store::schema::createBank(d);
    auto db = store::openOurFile(store::schema::bankPath(d).string(), store::schema::kBankKey, false,
                                 store::ErrorStyle::Ado);
    const char* tables[] = {"DStbl", "PStbl", "SCtbl", "CRtbl", "RCtbl"};
    db->script("BEGIN;");
    for (int pool = 0; pool < 1000; ++pool) {
      auto ins = db->prepare(std::string("INSERT INTO [") + tables[pool % 5] + "] (numQ, src, answer) VALUES (?1, ?2, 'A');");
      for (int i = 0; i < 100; ++i) {
        char n[8], src[8];
        std::snprintf(n, sizeof n, "%03d%02d", pool, i);
        std::snprintf(src, sizeof src, "X%03d", pool);
        ins.bind(1, Value(std::string(n)));
        ins.bind(2, Value(std::string(src)));
        ins.step();
        ins.reset();
      }
    }
    db->script("COMMIT;");
    return d;
  }();
  return dir;
}

// The pool numbers in use, by one UNION scan over the five tables.
inline std::set<std::string> usedPoolNumbers(store::SqliteDb& db) {
  std::set<std::string> used;
  auto q = db.prepare(
      "SELECT substr(numQ, 1, 3) FROM DStbl UNION SELECT substr(numQ, 1, 3) FROM PStbl UNION "
      "SELECT substr(numQ, 1, 3) FROM SCtbl UNION SELECT substr(numQ, 1, 3) FROM CRtbl UNION "
      "SELECT substr(numQ, 1, 3) FROM RCtbl;");
  while (q.step()) used.insert(q.column(0).toString());
  return used;
}

}  // namespace bench_support
