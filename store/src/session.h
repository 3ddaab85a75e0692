#pragma once
// One open bank or user database: its engine (an encrypted file, or a schema on a server), its
// table definitions (local tables and links kept in zx_tabledefs) and, on a file, the linked
// files attached on demand. Shared by the ADO-shaped Connection and the DAO-shaped Database.

#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <string>
#include <vector>

#include "dao.h"
#include "history_context.h"
#include "db_error.h"
#include "engine.h"
#include "jet_sql.h"
#include "text.h"

namespace store {

// Table definitions change only through this process's own sessions (links are refreshed
// at start-up and by the import); each change bumps a generation that every session
// compares before a statement, instead of asking the file on every statement.
void noteCatalogChanged();

class Session {
 public:
  explicit Session(std::unique_ptr<Engine> engine);
  Engine& engine() { return *engine_; }
  // What only a file has (its log, its integrity check, attaching); nullptr for a server.
  FileStorage* file() { return file_; }

  Translation translate(std::string_view jet);
  ResolvedTable resolve(const std::string& name);
  // Every table definition: local tables (zx_ and sqlite_ tables excluded) and links.
  std::vector<TableDefRow> tableDefs();
  // Lets go of a linked file attached for earlier statements (nothing when it is not).
  void detach(const std::string& path);

  // The change history: whether the file keeps one, the tag its writes carry now, and the
  // context row that tells the triggers so, written in each transaction that writes under
  // a tag and removed before its commit.
  void noteKeepsHistory(bool keeps) { keepsHistory_ = keeps; }
  void pushTag(history::Tag& tag);
  void popTag(history::Tag& tag);
  // Runs a write: under a tag and outside any transaction, it begins the transaction of the
  // tag's change (with the context row), which commitTag commits and popTag takes back.
  void writing(const std::function<void()>& body);
  void commitTag(history::Tag& tag);
  void transactionBegun();
  void beforeCommit();
  void afterCommit();
  void afterRollback();

  // The file's schema version at which the search index's tables and triggers were last found
  // whole (-1: never); any program's change to the schema changes the version.
  long long searchIndexCheckedAt() const { return searchIndexCheckedAt_; }
  void noteSearchIndexChecked(long long schemaVersion) { searchIndexCheckedAt_ = schemaVersion; }

 private:
  void refreshCatalogIfChanged();
  void loadCatalog();
  // The local tables in the order they were made.
  std::vector<std::string> localTableNames();
  std::string attach(const ConnectString& c);
  // Where a link's source table is: an attached file's table, or a table of a schema on the server.
  std::string linkedTable(const TableDefRow& link, const std::string& name);

  std::unique_ptr<Engine> engine_;
  FileStorage* file_ = nullptr;  // the engine's file, when it is one
  std::map<std::string, std::string> localTables_;  // lower-case name -> name
  std::map<std::string, TableDefRow> links_;        // lower-case name -> link
  std::map<std::string, std::string> attached_;     // file path -> schema alias
  int attachCount_ = 0;                             // aliases are never reused
  long long catalogSeen_ = -1;
  long long searchIndexCheckedAt_ = -1;
  // Translations of recent statement texts; the free pool-number search runs the same
  // thousands of texts each time. Emptied whenever the table definitions are read again.
  std::unordered_map<std::string, Translation> translations_;
  bool keepsHistory_ = false;
  history::Tag* tag_ = nullptr;
  // The tag whose change is under way now; on a server the engine learns of it too.
  void setTag(history::Tag* tag);
  bool contextWritten_ = false;
  history::Tag* holder_ = nullptr;  // the tag whose change the open transaction is
  void rollbackHeld();
  // The context row through which the triggers learn who writes (a DbError when it fails).
  void writeContext(history::Tag& tag);
  void clearContext();
};


}  // namespace store
