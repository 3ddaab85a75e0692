#pragma once
// The store's own side of the history: the zx_ tables and triggers, made with a new bank and
// added the first time this program opens an older one for writing, and the change context
// row through which the triggers learn who writes.

#include <string>
#include <vector>

#include "schema.h"
#include "engine.h"

namespace store::history {

// What the writes of a connection are tagged with while a ChangeTag lives.
struct Tag {
  std::string operation;
  std::string user;
  std::string machine;
  long long batch = 0;      // the change's number, taken at its first write
  bool batchFresh = false;  // taken in the transaction now open (a rollback gives it back)
  Tag* previous = nullptr;  // the tag of an enclosing ChangeTag
};

// Makes the history's tables and triggers (a new bank, in the transaction that makes it).
void createHistory(Engine& db);
// Adds what is missing of them to a bank that has question tables; true when the file keeps a
// history (false for a user database). A file that cannot be written is left as it is.
bool ensureHistory(Engine& db);
// Within an open transaction: the context row that the triggers read, for tag.
void writeContext(Engine& db, Tag& tag);
// Within an open transaction: no context row (before the commit).
void clearContext(Engine& db);

// The same on a bank on a server: the statements that make the history (with a new bank),
// adding what is missing when a connection opens it (false when the role may not), and the
// change context of the open transaction.
std::string serverHistorySql();
bool ensureServerHistory(Engine& db);
void writeServerContext(Engine& e, Tag& tag);
void clearServerContext(Engine& e);
// The history's tables, as a copy of a bank reads them (zx_history first, then the kept rows of
// each kind), and what makes the server's numbers follow the copied ones.
const std::vector<schema::TableSpec>& historyTables();
std::string serverHistoryNumbersSql();

}  // namespace store::history
