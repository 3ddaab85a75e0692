#pragma once
// Temporary folders with real bank files for the store tests.

#include <filesystem>
#include <string>

#include <functional>
#include <optional>

#include "connection.h"
#include "db_error.h"
#include "recordset.h"
#include "schema.h"
#include "session.h"
#include "pg_server.h"
#include "temp_dir.h"

namespace testing_support {

inline void openBank(store::Connection& c, const std::filesystem::path& folder) {
  c.setProvider(store::kJetProvider);
  c.setProperty(store::kPasswordProperty, bank::schema::kBankKey);
  c.open(bank::schema::bankPath(folder).string());
}

// A new, empty bank on the engine under test: a file pair in a temporary folder, or a fresh
// database of the test cluster.
class NewBank {
 public:
  explicit NewBank(BankEngine engine) {
    if (engine == BankEngine::File) {
      bank::schema::createBank(dir_.path());
      name_ = bank::schema::bankPath(dir_.path()).string();
    } else {
      server_.emplace();
      bank::schema::createServerBank(server_->uri());
      name_ = server_->uri();
    }
  }
  void open(store::Connection& c) const {
    c.setProperty(store::kPasswordProperty, bank::schema::kBankKey);
    c.open(name_);
  }
  const std::string& name() const { return name_; }

 private:
  TempDir dir_;
  std::optional<ServerDb> server_;
  std::string name_;
};

// Adds a bare question the way pool management does.
inline void addQuestion(store::Connection& c, const std::string& table, const std::string& numQ,
                        const std::string& src) {
  store::Recordset rs;
  rs.open(table, c, store::adOpenKeyset, store::adLockOptimistic);
  rs.addNew();
  rs.setValue("src", src);
  rs.setValue("numQ", numQ);
  rs.setValue("answer", "A");
  rs.update();
  rs.close();
}

// The number of the DbError that f throws, or 0 when it throws none.
inline long errorNumberOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const store::DbError& e) {
    return e.number;
  }
  return 0;
}

// Rows of a statement as "a|b|c" lines, for compact assertions.
inline std::string rowsOf(store::Connection& c, const std::string& sql) {
  store::Recordset rs;
  rs.open(sql, c, store::adOpenDynamic, store::adLockReadOnly);
  std::string out;
  auto names = rs.fieldNames();
  while (!rs.eof()) {
    for (size_t i = 0; i < names.size(); ++i) out += (i ? "|" : "") + rs.value(names[i]).toString();
    out += "\n";
    rs.moveNext();
  }
  rs.close();
  return out;
}

}  // namespace testing_support
