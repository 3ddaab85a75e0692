#pragma once
// The search index's tables and triggers on one open file (the bank's creation makes them
// with the rest of a new bank).

#include "sqlite_db.h"

namespace store::search_index {

// Creates whatever of the index is missing; a new index is built at its first use.
void createSearchTables(SqliteDb& db);

}  // namespace store::search_index
