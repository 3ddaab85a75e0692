#pragma once
// The store's loops over the registered extensions: what making, opening and checking a bank
// does for each of them. Pushing, publishing and compacting loop in their own files.

#include <memory>
#include <string>
#include <vector>

#include "extension.h"

namespace store {

class Engine;

// An extension on an opened bank: its backend, the version the bank records for it, and whether
// it keeps the tagged changes of this session (its tables and triggers are there to do so).
struct OpenExtension {
  const Extension* extension = nullptr;
  std::unique_ptr<ExtensionBackend> backend;
  int version = 0;
  bool keeping = false;
};

// A new bank, in the transaction that makes it: the table of versions, and each extension's
// tables and triggers at its version.
void createExtensions(Engine& engine);

// A bank being opened for writing: refuses one that records an extension that this program did
// not register, or a newer version of one (DbError); then makes a backend for each registered
// extension that lives in it and upgrades, in one transaction, those that the bank records at an
// older version or that are not whole. A bank that cannot be written is left as it is: each
// extension then keeps changes only where its tables and triggers are present.
std::vector<OpenExtension> openExtensions(Engine& engine);

// The extensions that a bank records but this program does not know, or knows at an older
// version only: one line each, naming the file; empty when none.
std::vector<std::string> unknownExtensions(Engine& engine, const std::string& fileName);

// What each registered extension finds amiss in the bank, one line each, naming the file.
std::vector<std::string> extensionProblems(Engine& engine, const std::string& fileName);

}  // namespace store
