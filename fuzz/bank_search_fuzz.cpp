// libFuzzer target for a bank that another program, holding the key, has filled with junk: the
// input is a list of writes of arbitrary values into the search index's tables (its FTS4
// shadow tables among them), the history's tables and the schema's text, made through the
// engine on a copy of a demo bank that has history and a built index. Then the bank tool's
// commands run on it in-process: search, history, trash, check. Each may report damage or
// rebuild the index; none may crash, hang, throw past its handler or run away with memory.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "commands.h"
#include "extension.h"
#include "history.h"
#include "schema.h"
#include "search_index.h"

namespace fs = std::filesystem;

namespace {

fs::path base() {
  static const fs::path p = fs::temp_directory_path() / ("bank_search_fuzz." + std::to_string(getpid()));
  return p;
}
fs::path templateDir() { return base() / "template"; }
fs::path workDir() { return base() / "work"; }

struct Column {
  std::string table;
  std::string name;  // "rowid" among them
};
std::vector<std::string> tables;    // every zx_ table, the index's shadow tables included
std::vector<Column> columns;        // of those tables
std::vector<std::string> schemaNames;  // every object of the schema whose text may be replaced

class Input {
 public:
  Input(const uint8_t* data, size_t size) : p_(data), n_(size) {}
  bool empty() const { return n_ == 0; }
  uint8_t byte() {
    if (!n_) return 0;
    --n_;
    return *p_++;
  }
  std::string bytes() {
    size_t len = byte();
    len = len < n_ ? len : n_;
    std::string s(reinterpret_cast<const char*>(p_), len);
    p_ += len;
    n_ -= len;
    return s;
  }

 private:
  const uint8_t* p_;
  size_t n_;
};

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

void bindValue(sqlite3_stmt* st, int i, Input& in) {
  switch (in.byte() % 5) {
    case 0: sqlite3_bind_null(st, i); break;
    case 1: {
      long long v = 0;
      for (int k = 0; k < 8; ++k) v = (v << 8) | in.byte();
      sqlite3_bind_int64(st, i, v);
      break;
    }
    case 2: sqlite3_bind_double(st, i, static_cast<double>(static_cast<int8_t>(in.byte())) * 1.5e3); break;
    case 3: {
      const std::string s = in.bytes();
      sqlite3_bind_text(st, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
      break;
    }
    default: {
      const std::string s = in.bytes();
      sqlite3_bind_blob(st, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
  }
}

// Runs one statement, binding ?1 from the input when it has one; a refusal is fine.
void run(sqlite3* db, const std::string& sql, Input* in = nullptr) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return;
  if (in && sqlite3_bind_parameter_count(st) > 0) bindValue(st, 1, *in);
  while (sqlite3_step(st) == SQLITE_ROW) {
  }
  sqlite3_finalize(st);
}

sqlite3* openKeyed(const fs::path& file) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_key(db, bank::schema::kBankKey, static_cast<int>(std::strlen(bank::schema::kBankKey)));
  return db;
}

void names() {
  sqlite3* db = openKeyed(bank::schema::bankPath(templateDir()));
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT type, name, sql LIKE 'CREATE VIRTUAL%' FROM sqlite_master "
                     "WHERE name LIKE 'zx%' OR type = 'trigger' ORDER BY name",
                     -1, &st, nullptr);
  while (sqlite3_step(st) == SQLITE_ROW) {
    const std::string type = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
    schemaNames.push_back(name);
    if (type == "table" && !sqlite3_column_int(st, 2)) tables.push_back(name);
  }
  sqlite3_finalize(st);
  for (const std::string& t : tables) {
    columns.push_back({t, "rowid"});
    sqlite3_prepare_v2(db, ("PRAGMA table_info(" + quoted(t) + ")").c_str(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) columns.push_back({t, reinterpret_cast<const char*>(sqlite3_column_text(st, 1))});
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
}

void junk(const uint8_t* data, size_t size) {
  sqlite3* db = openKeyed(bank::schema::bankPath(workDir()));
  Input in(data, size);
  run(db, "BEGIN");
  for (int ops = 0; !in.empty() && ops < 64; ++ops) {
    const uint8_t op = in.byte() % 4;
    const Column& c = columns[in.byte() % columns.size()];
    const std::string row = "(SELECT rowid FROM " + quoted(c.table) + " LIMIT 1 OFFSET " + std::to_string(in.byte() % 8) + ")";
    switch (op) {
      case 0: run(db, "UPDATE " + quoted(c.table) + " SET " + quoted(c.name) + " = ?1 WHERE rowid = " + row, &in); break;
      case 1: run(db, "INSERT INTO " + quoted(c.table) + "(" + quoted(c.name) + ") VALUES (?1)", &in); break;
      case 2: run(db, "DELETE FROM " + quoted(c.table) + " WHERE rowid = " + row); break;
      default: {
        const std::string& name = schemaNames[in.byte() % schemaNames.size()];
        run(db, "PRAGMA writable_schema = ON");
        run(db, "UPDATE sqlite_master SET sql = ?1 WHERE name = '" + name + "'", &in);
        run(db, "PRAGMA writable_schema = OFF");
      }
    }
  }
  run(db, "COMMIT");
  sqlite3_close(db);
}

void copyTemplate() {
  fs::remove_all(workDir());
  fs::copy(templateDir(), workDir());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  store::registerExtension(history::extension());
  store::registerExtension(search::index::extension());
  fs::remove_all(base());
  fs::create_directories(base());
  const std::string t = templateDir().string();
  // A demo bank with one question changed (a kept version) and its index built.
  if (bank_tool::cmdCreate({"--demo", t}) != 0 ||
      bank_tool::cmdSql({t, "update SCtbl set question='{\\rtf1\\ansi The quokka sleeps}' where numQ='01201'"}) != 0 ||
      bank_tool::cmdSearch({t, "quokka"}) != 0) {
    std::fprintf(stderr, "the demo bank could not be made\n");
    std::abort();
  }
  names();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  copyTemplate();
  junk(data, size);
  const std::string w = workDir().string();
  bank_tool::cmdSearch({w, "quokka", "sleeps"});
  bank_tool::cmdHistory({w, "01201", "--kind", "SC"});
  bank_tool::cmdTrash({w});
  bank_tool::cmdCheck({w});
  return 0;
}
