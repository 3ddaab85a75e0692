#pragma once
// The index of a bank on a PostgreSQL server, with the server's own full-text facilities: one row
// per searched field of each question in zx_search, its tokens as a tsvector (each token a lexeme
// at its place, taken as the search made it, so that the server's parser and dictionaries change
// nothing) under a GIN index. PL/pgSQL triggers on every question table mark each question that
// any client inserts, changes or deletes, in that client's transaction.

#include <memory>
#include <string>

#include "search_index.h"

namespace search::index {

// The tables, the trigger function and the triggers of the index (without a transaction of their
// own). The index is empty and not built.
std::string serverIndexSql();
// The functions through which every writer writes the index, and the triggers that mark changed
// questions: made again as this program makes them (an upgrade of an older bank).
std::string serverIndexFunctionsSql();

// The tsquery text of the query: every phrase required, each its terms in a row (<->), a prefix
// term as lexeme:*; every lexeme quoted, so that nothing in a term is tsquery syntax.
std::string serverQueryText(const TermQuery& query);

std::unique_ptr<Index> makeServerIndex(store::Engine& engine);

}  // namespace search::index
