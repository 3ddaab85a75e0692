#include "session.h"

#include <atomic>
#include <cctype>
#include <filesystem>

#include "connection.h"
#include "db_error.h"

namespace store {

ConnectString parseConnect(const std::string& connect) {
  ConnectString out;
  size_t i = 0;
  while (i <= connect.size()) {
    size_t end = connect.find(';', i);
    if (end == std::string::npos) end = connect.size();
    std::string part = connect.substr(i, end - i);
    size_t eq = part.find('=');
    if (eq != std::string::npos) {
      std::string key = lowerAscii(part.substr(0, eq));
      std::string value = part.substr(eq + 1);
      if (key == "database") out.database = value;
      if (key == "pwd") out.password = value;
      if (key == "schema") out.schema = value;
    }
    i = end + 1;
  }
  return out;
}

namespace {
std::unique_ptr<Engine> openOurs(const std::string& path, const std::string& key, bool readOnly, ErrorStyle style,
                                   bool createAttached, bool nullWhenHeld) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    std::string text = "'" + path + "' is a folder, not a database file.";
    throw DbError(style == ErrorStyle::Dao ? err::FileNotFound : err::Generic, text);
  }
  if (!std::filesystem::is_regular_file(path, ec)) {
    if (style == ErrorStyle::Dao) throw DbError(err::FileNotFound, "Could not find the file '" + path + "'.");
    throw DbError(err::Generic, "Could not find the file '" + path + "'.");
  }
  auto refused = [&]() -> DbError {
    // A damaged first page reads exactly like a wrong key: name both.
    std::string text = "Not a valid password, or '" + path +
                       "' is not a ZORBEX database file or is damaged (run 'zorbex-bank check' on its folder).";
    return DbError(style == ErrorStyle::Dao ? err::DaoBadPassword : err::BadPassword, text);
  };
  std::unique_ptr<Engine> db;
  try {
    db = openFileEngine(path, key, readOnly, createAttached);
  } catch (const DbError& e) {
    if (nullWhenHeld && e.busy()) return nullptr;
    if (e.fault == EngineFault::NotADatabase || e.fault == EngineFault::Damaged) throw refused();
    if (e.fault == EngineFault::NoEncryption) throw DbError(err::Generic, e.engineMessage);
    if (e.fault == EngineFault::DiskFull)
      throw DbError(err::DiskFull, "The disk is full: '" + path + "' could not be opened. Free some space and try again.");
    throw DbError(err::Generic, "The file '" + path + "' could not be opened: " + e.engineMessage + ".");
  }
  bool ours = false;
  try {
    ours = db->hasTable(kTableDefsTable);
  } catch (const DbError&) {
  }
  if (!ours) throw refused();
  return db;
}
}  // namespace

std::unique_ptr<Engine> openOurFile(const std::string& path, const std::string& key, bool readOnly,
                                      ErrorStyle style, bool createAttached) {
  return openOurs(path, key, readOnly, style, createAttached, false);
}

std::unique_ptr<Engine> openOurFileUnlessHeld(const std::string& path, const std::string& key, ErrorStyle style,
                                                bool createAttached) {
  return openOurs(path, key, false, style, createAttached, true);
}

Session::Session(std::unique_ptr<Engine> engine) : engine_(std::move(engine)), file_(engine_->file()) {}

namespace {
std::atomic<long long> catalogGeneration{0};
constexpr size_t kTranslationCacheSize = 8192;
}  // namespace

void noteCatalogChanged() { ++catalogGeneration; }

void Session::refreshCatalogIfChanged() {
  long long now = catalogGeneration.load();
  if (now != catalogSeen_) {
    loadCatalog();
    catalogSeen_ = now;
  }
}

void Session::loadCatalog() {
  translations_.clear();
  localTables_.clear();
  links_.clear();
  for (const std::string& n : localTableNames()) localTables_[lowerAscii(n)] = n;
  auto lt = engine_->query(std::string("SELECT name, attributes, connect, source_table FROM ") + kTableDefsTable +
                           " WHERE connect IS NOT NULL");
  while (lt->next()) {
    TableDefRow r{lt->column(0).toString(), static_cast<long>(lt->column(1).toInt()), lt->column(2).toString(),
                  lt->column(3).toString()};
    links_[lowerAscii(r.name)] = r;
  }
}

std::vector<std::string> Session::localTableNames() {
  std::vector<std::string> names;
  auto rows = file_ ? engine_->query("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' "
                                     "ESCAPE '\\' ORDER BY rowid;")
                    : engine_->query("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                     "WHERE n.nspname = $1 AND c.relkind = 'r' ORDER BY c.oid",
                                     {Value(engine_->schemaName())});
  while (rows->next()) names.push_back(rows->column(0).toString());
  return names;
}

namespace {
std::string attachedPath(const std::string& database) {
  std::error_code ec;
  std::string path = std::filesystem::weakly_canonical(database, ec).string();
  return ec ? database : path;
}
}  // namespace

void Session::detach(const std::string& database) {
  if (!file_) return;
  auto it = attached_.find(attachedPath(database));
  if (it == attached_.end()) return;
  file_->detach(it->second);
  attached_.erase(it);
  translations_.clear();  // they name the alias
}

std::string Session::attach(const ConnectString& c) {
  std::string path = attachedPath(c.database);
  auto it = attached_.find(path);
  if (it != attached_.end()) return it->second;
  // Check the file first: ATTACH would create a missing file.
  openOurFile(path, c.password, true, ErrorStyle::Ado);
  std::string alias = "zxl" + std::to_string(++attachCount_);
  try {
    file_->attach(path, c.password, alias);
  } catch (const DbError& e) {
    throw DbError(err::Generic, "The linked file '" + path + "' could not be attached: " + e.engineMessage + ".");
  }
  attached_[path] = alias;
  return alias;
}

std::string Session::linkedTable(const TableDefRow& link, const std::string& name) {
  ConnectString c = parseConnect(link.connect);
  const std::string& source = link.sourceTable.empty() ? link.name : link.sourceTable;
  if (file_) {
    std::string alias = attach(c);
    if (!file_->hasTableIn(alias, source))
      throw DbError(err::TableNotFound, "The table '" + source + "' that '" + name +
                                            "' links to could not be found in '" + c.database + "'.");
    return tableIdent(Dialect::Sqlite, alias) + "." + tableIdent(Dialect::Sqlite, source);
  }
  // On a server a link names a schema of the same database; a linked file cannot be reached there.
  auto rows = engine_->query("SELECT tablename FROM pg_tables WHERE schemaname = $1 AND lower(tablename) = lower($2)",
                             {Value(c.schema), Value(source)});
  if (c.schema.empty() || !rows->next())
    throw DbError(err::TableNotFound, "The table '" + source + "' that '" + name + "' links to could not be found in " +
                                          (c.schema.empty() ? "a file, which a bank on a server cannot reach"
                                                            : "the schema '" + c.schema + "'") + ".");
  return tableIdent(Dialect::Postgres, c.schema) + "." + tableIdent(Dialect::Postgres, rows->column(0).toString());
}

ResolvedTable Session::resolve(const std::string& name) {
  std::string key = lowerAscii(name);
  const Dialect d = engine_->dialect();
  for (int pass = 0; pass < 2; ++pass) {
    auto local = localTables_.find(key);
    if (local != localTables_.end()) return {tableIdent(d, local->second), local->second};
    auto link = links_.find(key);
    if (link != links_.end()) {
      const std::string& source = link->second.sourceTable.empty() ? link->second.name : link->second.sourceTable;
      return {linkedTable(link->second, name), source};
    }
    if (pass == 0) loadCatalog();  // a table made since the catalog was read
  }
  throw DbError(err::TableNotFound, "The table or query '" + name + "' could not be found.");
}

Translation Session::translate(std::string_view jet) {
  refreshCatalogIfChanged();
  std::string key(jet);
  if (auto hit = translations_.find(key); hit != translations_.end()) return hit->second;
  Translation t = translateJetSql(jet, [this](const std::string& n) { return resolve(n); }, engine_->dialect());
  if (translations_.size() >= kTranslationCacheSize) translations_.clear();
  translations_.emplace(std::move(key), t);
  return t;
}

std::vector<TableDefRow> Session::tableDefs() {
  std::vector<TableDefRow> out;
  loadCatalog();  // the links, as they are now
  // Local tables in the order they were made, with the attributes recorded for them; the table
  // of definitions itself is a system object.
  std::map<std::string, long> attributes;
  auto rows = engine_->query(std::string("SELECT name, attributes FROM ") + kTableDefsTable + " WHERE connect IS NULL");
  while (rows->next()) attributes[lowerAscii(rows->column(0).toString())] = static_cast<long>(rows->column(1).toInt());
  for (const std::string& n : localTableNames()) {
    auto a = attributes.find(lowerAscii(n));
    long attr = equalsIgnoringCase(n, kTableDefsTable) ? static_cast<long>(2147483650LL)
                                                       : (a == attributes.end() ? 0 : a->second);
    out.push_back({n, attr, {}, {}});
  }
  for (const auto& [k, link] : links_) out.push_back(link);
  return out;
}

void Session::setTag(TaggedChange* tag) {
  tag_ = tag;
  engine_->setChanging(tag_ != nullptr);
}

void Session::pushTag(TaggedChange& tag) {
  tag.previous = tag_;
  setTag(&tag);
  if (keepsChanges() && engine_->inTransaction()) {
    try {
      writeContext(tag);
    } catch (...) {
      setTag(tag.previous);  // a tag that could not begin is none
      throw;
    }
    contextWritten_ = true;
  }
}

void Session::popTag(TaggedChange& tag) {
  if (tag_ != &tag) return;
  if (holder_ == &tag) rollbackHeld();  // ended without commit: its writes go back
  setTag(tag.previous);
  if (!contextWritten_ || !engine_->inTransaction()) return;
  if (tag_) {
    writeContext(*tag_);
  } else {
    clearContext();
    contextWritten_ = false;
  }
}

void Session::writing(const std::function<void()>& body) {
  if (!tag_ || !keepsChanges()) return body();
  try {
    if (!engine_->inTransaction()) {
      engine_->begin();
      holder_ = tag_;
    }
    if (!contextWritten_) transactionBegun();
    body();
  } catch (...) {
    // A failed write takes the whole change back, its earlier writes included.
    if (holder_) rollbackHeld();
    throw;
  }
}

void Session::commitTag(TaggedChange& tag) {
  if (holder_ != &tag) return;
  if (!engine_->inTransaction()) {  // the engine rolled back already (a full disk does that)
    holder_ = nullptr;
    afterRollback();
    return;
  }
  try {
    beforeCommit();
    engine_->commit();
  } catch (...) {
    rollbackHeld();
    throw;
  }
  holder_ = nullptr;
  afterCommit();
}

void Session::rollbackHeld() {
  holder_ = nullptr;
  try {
    engine_->rollback();
  } catch (const DbError&) {
    // Closing the handle rolls back what is left.
  }
  afterRollback();
}

void Session::transactionBegun() {
  if (!tag_ || !keepsChanges()) return;
  writeContext(*tag_);
  contextWritten_ = true;
}

void Session::beforeCommit() {
  if (!contextWritten_) return;
  clearContext(true);
  contextWritten_ = false;
}

void Session::afterCommit() {
  for (TaggedChange* t = tag_; t; t = t->previous) t->batchFresh = false;
}

void Session::afterRollback() {
  contextWritten_ = false;
  // A change number taken in the transaction went back with it: the next write takes a new one.
  for (TaggedChange* t = tag_; t; t = t->previous)
    if (t->batchFresh) {
      t->batch = 0;
      t->batchFresh = false;
    }
}

bool Session::keepsChanges() const {
  for (const OpenExtension& o : extensions_)
    if (o.keeping && o.backend->keepsChanges()) return true;
  return false;
}

void Session::writeContext(TaggedChange& tag) {
  for (OpenExtension& o : extensions_)
    if (o.keeping && o.backend->keepsChanges()) o.backend->changeWriting(tag);
}

void Session::clearContext(bool committing) {
  for (OpenExtension& o : extensions_)
    if (o.keeping && o.backend->keepsChanges()) o.backend->changeEnded(committing);
}

}  // namespace store
