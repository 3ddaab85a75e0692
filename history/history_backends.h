#pragma once
// The history's own side, shared by its files: the names of its tables, how its statements name
// tables and fields on each engine, and its backend on a bank file and on a server.

#include <memory>
#include <string>
#include <vector>

#include "engine.h"
#include "extension.h"
#include "kind_registry.h"
#include "schema.h"

namespace history {

// The kept rows of a kind: the version's number, then the question table's columns.
std::string rowsTable(schema::Kind k);

// A table's name in a statement, and a field's (the server keeps field names in lower case).
std::string tableIdent(store::Dialect d, const std::string& name);
std::string fieldIdent(store::Dialect d, const std::string& name);
// A text of our own as a literal in a statement.
std::string literal(const std::string& text);
std::string lower(std::string s);

// The history's tables as a copy of a bank reads them: zx_history first, then the kept rows of
// each kind.
std::vector<store::ExtensionTable> historyTables();

std::unique_ptr<store::ExtensionBackend> fileBackend(store::Engine& e);
std::unique_ptr<store::ExtensionBackend> serverBackend(store::Engine& e);

}  // namespace history
