#pragma once
// The index of a bank in a file: an FTS4 table of the entries' words, a table of what a search
// ranks by, marks written by SQL triggers on every question table, and one row of state.

#include <memory>
#include <string>

#include "search_index.h"

namespace search::index {

// The FTS4 MATCH text of the query's token phrases (tokenPhrases): each phrase in double quotes,
// a prefix term ending in '*'. The tokens hold no quote, asterisk or blank: nothing in a term is
// read as syntax.
std::string fileMatchText(const TermQuery& query);

std::unique_ptr<Index> makeFileIndex(store::Engine& engine);

}  // namespace search::index
