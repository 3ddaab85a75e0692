#pragma once
// The store's own loop over the registered extensions: what opening a bank does for each of them.
// The loops of making, checking, pushing and publishing a bank are public (extension.h).

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

// A bank being opened for writing: refuses one that records an extension that this program did
// not register, or a newer version of one (DbError); then makes a backend for each registered
// extension that lives in it and upgrades, in one transaction, those that the bank records at an
// older version or that are not whole. A bank that cannot be written is left as it is: each
// extension then keeps changes only where its tables and triggers are present.
std::vector<OpenExtension> openExtensions(Engine& engine);

}  // namespace store
