#pragma once
// Other banks for the import tests to read from.

#include <filesystem>
#include <string>
#include <vector>

#include "connection.h"
#include "schema.h"

namespace testing_support {

// A bank in its own folder whose SC table holds three questions of each given pool.
inline std::filesystem::path makeSource(const std::filesystem::path& dir, const std::vector<std::string>& pools,
                                        int first = 777) {
  bank::schema::createBank(dir);
  store::Connection c;
  c.open(bank::schema::bankPath(dir).string(), bank::schema::kBankKey);
  int n = first;
  for (const std::string& pool : pools) {
    for (int i = 1; i <= 3; ++i)
      c.execute("insert into SCtbl (numQ, src, question) values ('" + std::to_string(n) + "0" + std::to_string(i) +
                "', '" + pool + "', 'stem');");
    ++n;
  }
  return bank::schema::bankPath(dir);
}

}  // namespace testing_support
