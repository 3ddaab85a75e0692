#include "server_bank.h"

#include <algorithm>
#include <memory>
#include <string>
#include <system_error>

#include "bank_files.h"
#include "db_error.h"
#include "dialect.h"
#include "engine.h"
#include "extension.h"
#include "schema.h"
#include "connection.h"

namespace bank {

// The bank is built of the store's connections, engines and values.
using namespace store;

namespace fs = std::filesystem;

namespace {

// A table of the bank or of the user database, with where it is on each side.
struct Place {
  const schema::TableSpec* table;
  bool user;  // in the user database (on the server: its schema)
};

std::vector<Place> everyTable() {
  std::vector<Place> out;
  for (const auto& t : schema::bankTables()) out.push_back({&t, false});
  for (const auto& t : schema::userTables()) out.push_back({&t, true});
  return out;
}

std::string fieldList(Dialect d, const schema::TableSpec& t) {
  std::string s;
  for (const auto& c : t.columns) s += (s.empty() ? "" : ", ") + fieldIdent(d, c.name);
  return s;
}

std::string serverTable(const Place& p) {
  return tableIdent(Dialect::Postgres, p.user ? kUserSchema : "public") + "." + tableIdent(Dialect::Postgres, p.table->name);
}

using Rows = std::vector<std::vector<Value>>;

Rows readRows(Engine& e, const std::string& table, const schema::TableSpec& t) {
  Rows rows;
  auto rs = e.query("SELECT " + fieldList(e.dialect(), t) + " FROM " + table);
  while (rs->next()) {
    std::vector<Value> row;
    for (int i = 0; i < rs->columnCount(); ++i) row.push_back(rs->column(i));
    rows.push_back(std::move(row));
  }
  return rows;
}

// Rows as sortable texts: the same rows in any order give the same list.
std::vector<std::string> comparable(const Rows& rows) {
  std::vector<std::string> out;
  for (const auto& row : rows) {
    std::string s;
    for (const Value& v : row)
      s += (v.isNull() ? "N" : v.isText() ? "T" : "R") + std::to_string(v.toString().size()) + ":" + v.toString();
    out.push_back(std::move(s));
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The file's engine lets a number field hold an empty text, which no number field of the server
// (nor of Jet) can: it is the empty field, Null.
void emptyNumbersAreNull(Rows& rows, const schema::TableSpec& t) {
  for (auto& row : rows)
    for (size_t i = 0; i < row.size() && i < t.columns.size(); ++i)
      if (t.columns[i].type.rfind("TEXT", 0) != 0 && row[i].isText() && row[i].text().empty()) row[i] = Value();
}

void insertRows(Engine& e, const std::string& table, const schema::TableSpec& t, const Rows& rows) {
  std::string marks;
  for (size_t i = 0; i < t.columns.size(); ++i) marks += (i ? ", " : "") + e.param(static_cast<int>(i + 1));
  const std::string sql = "INSERT INTO " + table + " (" + fieldList(e.dialect(), t) + ") VALUES (" + marks + ")";
  for (const auto& row : rows) e.run(sql, row);
}

void requireSame(const Rows& written, const Rows& readBack, const std::string& table) {
  if (comparable(written) != comparable(readBack))
    throw DbError(err::CopyDiffers, "The copy of the table '" + table + "' is not the same as its source (" +
                                        std::to_string(written.size()) + " rows written, " +
                                        std::to_string(readBack.size()) + " read back); nothing was changed.");
}

// The extensions whose rows a push (or a publish) carries, with their tables as a copy reads them.
struct Carried {
  const Extension* extension;
  std::vector<schema::TableSpec> tables;
};

std::vector<Carried> carriedExtensions(bool push) {
  std::vector<Carried> out;
  for (const Extension* ext : registeredExtensions()) {
    if (!(push ? ext->carriedByPush() : ext->carriedByPublish())) continue;
    out.push_back({ext, ext->tables()});
  }
  return out;
}

// Names the table in a failure while copying it.
template <typename F>
void forTable(const std::string& table, F&& body) {
  try {
    body();
  } catch (const DbError& e) {
    throw DbError(e.number, "The table '" + table + "': " + e.description);
  }
}

}  // namespace

std::vector<CopiedTable> pushBankToServer(const fs::path& folder, const std::string& conninfo) {
  auto bank = openOurFile(schema::bankPath(folder).string(), schema::kBankKey, true, ErrorStyle::Ado);
  auto user = openOurFile(schema::userPath(folder).string(), schema::kUserKey, true, ErrorStyle::Ado);
  // What the bank keeps that this program does not know could not be carried, nor kept after.
  if (std::vector<std::string> unknown = unknownExtensions(*bank, schema::kBankFile); !unknown.empty())
    throw DbError(err::Generic, unknown.front() + "; nothing was copied. Use the newer program.");
  auto server = connectServerEngine(conninfo, "public");
  schema::requireEmptyServerDatabase(*server);
  // Each file read as of one moment.
  bank->beginReading();
  user->beginReading();
  server->begin();
  server->script(schema::serverBankSql());
  createExtensions(*server);
  std::vector<CopiedTable> out;
  auto copy = [&](Engine& file, const Place& p) {
    const bool present = file.hasTable(p.table->name);
    // A bank made without that kind: its table stays empty on the server; a bank that this
    // program never opened for writing has no extension's rows to carry.
    if (!present) return;
    forTable(p.table->name, [&] {
      Rows rows = readRows(file, tableIdent(Dialect::Sqlite, p.table->name), *p.table);
      emptyNumbersAreNull(rows, *p.table);
      insertRows(*server, serverTable(p), *p.table, rows);
      requireSame(rows, readRows(*server, serverTable(p), *p.table), p.table->name);
      out.push_back({p.table->name, static_cast<long long>(rows.size())});
    });
  };
  for (const Place& p : everyTable()) copy(p.user ? *user : *bank, p);
  // The extensions that a push carries come along, under the numbers they had.
  const std::vector<Carried> carried = carriedExtensions(true);
  for (const Carried& c : carried) {
    for (const schema::TableSpec& t : c.tables) copy(*bank, {&t, false});
    c.extension->backendFor(*server)->copied();
  }
  server->commit();
  noteCatalogChanged();
  return out;
}

std::vector<CopiedTable> publishServerBank(const std::string& conninfo, const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) throw DbError(err::Generic, "The folder '" + folder.string() + "' does not exist.");
  schema::userLinkConnect(folder);  // a folder the links cannot name is refused before anything is written
  auto server = connectServerEngine(conninfo, "public");
  requireServerBank(*server);
  // One snapshot of every table, however the editors go on writing meanwhile.
  server->beginReading();
  std::vector<std::pair<Place, Rows>> snapshot;
  for (const Place& p : everyTable())
    forTable(p.table->name, [&] { snapshot.push_back({p, readRows(*server, serverTable(p), *p.table)}); });
  // The extensions that a publish carries, where the server's bank has them.
  const std::vector<Carried> carried = carriedExtensions(false);
  for (const Carried& c : carried)
    for (const schema::TableSpec& t : c.tables)
      if (server->hasTable(t.name))
        forTable(t.name, [&] { snapshot.push_back({{&t, false}, readRows(*server, serverTable({&t, false}), t)}); });
  server->commit();

  StagedPair work(folder);
  schema::createBank(work.path());
  std::vector<CopiedTable> out;
  {
    auto bank = openOurFile(schema::bankPath(work.path()).string(), schema::kBankKey, false, ErrorStyle::Ado);
    auto user = openOurFile(schema::userPath(work.path()).string(), schema::kUserKey, false, ErrorStyle::Ado);
    bank->begin();
    user->begin();
    for (const auto& entry : snapshot) {
      // Named, not bound: a lambda cannot capture a structured binding before clang 16.
      const auto& p = entry.first;
      const auto& rows = entry.second;
      Engine& file = p.user ? *user : *bank;
      forTable(p.table->name, [&] {
        insertRows(file, tableIdent(Dialect::Sqlite, p.table->name), *p.table, rows);
        out.push_back({p.table->name, static_cast<long long>(rows.size())});
      });
    }
    for (const Carried& c : carried) c.extension->backendFor(*bank)->copied();
    bank->commit();
    user->commit();
  }
  // Verified as written: each file read again through a connection of its own.
  for (const auto& entry : snapshot) {
    const auto& p = entry.first;  // named, not bound: captured below
    const auto& rows = entry.second;
    auto file = openOurFile((p.user ? schema::userPath(work.path()) : schema::bankPath(work.path())).string(),
                            p.user ? schema::kUserKey : schema::kBankKey, true, ErrorStyle::Ado);
    forTable(p.table->name, [&] { requireSame(rows, readRows(*file, tableIdent(Dialect::Sqlite, p.table->name), *p.table), p.table->name); });
  }
  for (const auto& [file, key] : {std::pair{schema::bankPath(work.path()), schema::kBankKey},
                                  std::pair{schema::userPath(work.path()), schema::kUserKey}}) {
    FileCheck check = checkFile(file, key, false);
    if (!check.whole())
      throw DbError(err::CopyDiffers, "The published file '" + file.filename().string() + "' fails its check (" +
                                          check.integrity + check.stoppedAt + "); nothing was changed.");
  }
  // Both in place or neither, refused while the folder's bank is open anywhere.
  work.putInPlace();
  return out;
}

}  // namespace bank
