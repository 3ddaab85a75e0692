#pragma once
// Reads QTI items, from a content package or a single item file, into one pool of the bank:
// single-response choice items with up to five choices as questions of a multiple-choice
// kind, extended-text items as essay topics. All or nothing, in one transaction kept in the
// history as "Import"; with `skip`, what cannot be represented is left out and listed.

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "connection.h"
#include "kind_registry.h"

namespace exchange::qti {

struct ImportOptions {
  bank::schema::Kind kind = bank::schema::Kind::SC;  // for choice items that are not this program's DS
  std::string pool;                                  // the pool (an essay topic's type for AWA)
  bool skip = false;
};

// An item that was not imported, and why.
struct LeftOut {
  std::string item;
  std::string reason;
};

struct ImportResult {
  long imported = 0;
  std::vector<std::string> numbers;  // the new questions' numbers, in the package's order
  std::vector<LeftOut> leftOut;      // with skip only
};

// Nothing was imported: the package or an item cannot be read or represented. what() names
// each item with its reason.
struct ImportRefused : std::runtime_error {
  ImportRefused(const std::string& why, std::vector<LeftOut> items = {});
  std::vector<LeftOut> items;
};

using ImportProgress = std::function<void(long done, long total)>;

// Imports the package (a zip) or the single item (an XML file) at source. Throws ImportRefused,
// or store::DbError when the bank refuses the write (nothing is then imported either).
ImportResult importPackage(store::Connection& conn, const std::filesystem::path& source, const ImportOptions& options,
                           const ImportProgress& progress = {});

// The pools that this program's export of a package took its questions from, each with its
// kind, in the package's order; none for another tool's package or a single item. Throws
// ImportRefused when the package cannot be read.
std::vector<std::pair<bank::schema::Kind, std::string>> poolsInPackage(const std::filesystem::path& source);

// What an import did, as the window and the tool tell it.
std::string importReport(const ImportResult& r);

}  // namespace exchange::qti
