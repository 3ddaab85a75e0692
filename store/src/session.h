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
#include "db_error.h"
#include "engine.h"
#include "extension_loops.h"
#include "jet_sql.h"
#include "text.h"

namespace store {

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

  // The extensions of the bank, made and upgraded as it opens (none for a user database).
  void openExtensions() { extensions_ = store::openExtensions(*engine_); }
  std::vector<OpenExtension>& extensions() { return extensions_; }

  // Tagged changes: the tag the writes carry now, which the extensions that keep changes tell
  // their triggers of in each transaction that writes under a tag, and forget before its commit.
  void pushTag(TaggedChange& tag);
  void popTag(TaggedChange& tag);
  // Runs a write: under a tag and outside any transaction, it begins the transaction of the
  // tag's change (with the context row), which commitTag commits and popTag takes back.
  void writing(const std::function<void()>& body);
  void commitTag(TaggedChange& tag);
  void transactionBegun();
  void beforeCommit();
  void afterCommit();
  void afterRollback();

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
  // Translations of recent statement texts; the free pool-number search runs the same
  // thousands of texts each time. Emptied whenever the table definitions are read again.
  std::unordered_map<std::string, Translation> translations_;
  // After the engine: they write through it.
  std::vector<OpenExtension> extensions_;
  // Whether an extension keeps the tagged changes: only then are a tag's writes gathered.
  bool keepsChanges() const;
  TaggedChange* tag_ = nullptr;
  // The tag whose change is under way now; on a server the engine learns of it too.
  void setTag(TaggedChange* tag);
  bool contextWritten_ = false;
  TaggedChange* holder_ = nullptr;  // the tag whose change the open transaction is
  void rollbackHeld();
  // Tells the extensions who writes in the open transaction (a DbError when it fails), and that
  // nobody does any more.
  void writeContext(TaggedChange& tag);
  void clearContext(bool committing = false);
};


}  // namespace store
