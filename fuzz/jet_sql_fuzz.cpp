// libFuzzer target for the Jet SQL translator. The property: a statement is either
// refused (an error in the command, or a table that does not exist), or what it is
// translated into is accepted by the engine when prepared against a bank of the real
// schema. Failures that only name something the bank lacks (an unknown field, which Jet
// would ask for as a parameter; a table that SELECT INTO would make twice; a column count
// that the table decides) are meanings, not translation faults. Nothing is run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "connection.h"
#include "db_error.h"
#include "extension.h"
#include "history.h"
#include "schema.h"
#include "session.h"
#include "sqlite_db.h"

namespace {

store::Connection& bankConnection() {
  static store::Connection* conn = [] {
    char pattern[] = "/tmp/zx_jet_fuzz_XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) std::abort();
    store::registerExtension(history::extension());  // its triggers are on the tables, as in the program
    bank::schema::createBank(dir);
    auto* c = new store::Connection;
    c->open(bank::schema::bankPath(dir).string(), bank::schema::kBankKey);
    return c;
  }();
  return *conn;
}

bool startsWith(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

bool isMeaningFailure(const std::string& m) {
  return startsWith(m, "no such column: ") || m.find(" has no column named ") != std::string::npos || (startsWith(m, "table ") && m.find("already exists") != std::string::npos) ||
         m.find(" columns but ") != std::string::npos || m.find(" values for ") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string jet(reinterpret_cast<const char*>(data), size);
  store::Session& session = bankConnection().session();
  store::Translation t;
  try {
    t = session.translate(jet);
  } catch (const store::DbError& e) {
    if (e.number == store::err::CommandError || e.number == store::err::TableNotFound) return 0;
    std::fprintf(stderr, "refused with %ld: %s\n", e.number, e.description.c_str());
    std::abort();
  }
  try {
    store::sqliteFile(session.engine()).prepare(t.sql);
  } catch (const store::DbError& f) {
    if (isMeaningFailure(f.engineMessage)) return 0;
    std::fprintf(stderr, "the engine refused the translation\n  jet: %s\n  sql: %s\n  engine: %s\n", jet.c_str(),
                 t.sql.c_str(), f.engineMessage.c_str());
    std::abort();
  }
  return 0;
}
