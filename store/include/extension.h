#pragma once
// Features of a bank that keep tables and triggers of their own (the history, the search index)
// are extensions: each declares its tables, makes and upgrades them on each engine from the
// version the bank records for it, says whether a copy of the bank carries its rows, and checks
// itself. Creating, opening, checking, pushing, publishing and compacting a bank loop over the
// extensions registered with the store; neither the store nor the bank's files name them.
//
// Each program registers the extensions it knows once, before it opens or makes a bank. A bank
// that records an extension the program did not register, or a newer version of one, is not
// opened through a Connection: this program would write it without keeping what the extension
// keeps (a history with holes, an index that lies). 'zorbex-bank check' names such a bank's
// extension instead.

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace store {

class Connection;
class Engine;

// The table in which a bank records the version of each extension it holds: made with the bank,
// and added to an older bank by the first writable open that finds an extension to install there.
// A bank without it holds every extension at version 0.
inline constexpr const char* kExtensionsTable = "zx_extensions";

// A table of an extension, as a copy of the bank reads and writes it: its name, and its columns
// with their declarations in the file's engine ("TEXT COLLATE NOCASE", "INTEGER", ...).
struct ExtensionColumn {
  std::string name;
  std::string type;
};
struct ExtensionTable {
  std::string name;
  std::vector<ExtensionColumn> columns;
};

// What this program tags a change with (see ChangeTag): the operation, who wrote it, where, and
// the change's number in the bank.
struct TaggedChange {
  std::string operation;
  std::string user;
  std::string machine;
  long long batch = 0;              // the change's number, taken at its first write (0: none yet)
  bool batchFresh = false;          // taken in the transaction now open (a rollback gives it back)
  TaggedChange* previous = nullptr;  // the change of an enclosing ChangeTag
};

// An extension on one bank of one engine: made once for the engine it is given, so that its
// calls need not ask which engine it is. Failures are DbErrors.
class ExtensionBackend {
 public:
  virtual ~ExtensionBackend() = default;

  // Whether the database is one this extension lives in (a user database may hold none).
  virtual bool appliesTo() = 0;
  // Makes the extension's tables and triggers in a new bank, in the transaction that makes it.
  virtual void create() = 0;
  // Whether what the extension needs is in the bank as it stands, so that it can do its work
  // even where it cannot be upgraded (a file or a role that may not be written).
  virtual bool present() = 0;
  // Whether a bank that records the current version needs nothing done as it is opened for
  // writing: present, and nothing left behind by another program.
  virtual bool settled() { return present(); }
  // Brings the bank from version `from` (0: an older bank, or a part that another program took
  // away) to the current version, adding whatever is missing; in a transaction of the caller's.
  virtual void upgrade(int from) = 0;
  // What is amiss with the extension in a bank that records version `version`, one line each,
  // for 'zorbex-bank check'; empty when nothing is.
  virtual std::vector<std::string> problems(int version) {
    (void)version;
    return {};
  }
  // What this backend found broken by another program and made again since it was last asked
  // (as the bank was opened, or at a search), one line each, to be told to the user.
  virtual std::vector<std::string> takeRepairNotes() { return {}; }

  // Whether the extension keeps what a ChangeTag says of a change. The store then gathers a
  // tagged change's writes in a transaction and calls the two below within it.
  virtual bool keepsChanges() const { return false; }
  // The change's writes begin, or go on under another tag, in the open transaction: the
  // extension tells its triggers who writes (the first call takes the change's number).
  virtual void changeWriting(TaggedChange& change) { (void)change; }
  // No tagged change writes any more in the open transaction: before its commit (committing)
  // or when the last tag ends while it stays open.
  virtual void changeEnded(bool committing) { (void)committing; }

  // After a copy of the bank wrote the extension's tables into this engine's bank (a push or a
  // publish): numbering that must follow the copied rows, say.
  virtual void copied() {}
};

class Extension {
 public:
  virtual ~Extension() = default;
  // The name the bank records it under; never changes.
  virtual std::string name() const = 0;
  // The version this program makes and upgrades to (from 1 on).
  virtual int version() const = 0;
  // The backend for the engine that a bank is on.
  virtual std::unique_ptr<ExtensionBackend> backendFor(Engine& engine) const = 0;
  // The tables whose rows a copy carries, in the order they are copied.
  virtual std::vector<ExtensionTable> tables() const = 0;
  // Whether a push (a bank's files to a server) and a publish (a server's bank to files) carry
  // the extension's rows; one that does not carry them starts empty in the copy.
  virtual bool carriedByPush() const = 0;
  virtual bool carriedByPublish() const = 0;
};

// Registers ext (kept by reference: it must live as long as banks are opened); a second
// extension of the same name replaces the first.
void registerExtension(const Extension& ext);
// Forgets ext (tests that register extensions of their own).
void unregisterExtension(const Extension& ext);
// The registered extensions, in the order of registration.
std::vector<const Extension*> registeredExtensions();
// The registered extension of that name; nullptr when none is.
const Extension* registeredExtension(const std::string& name);

// The extensions that the bank underneath engine records, with their versions, by name.
std::vector<std::pair<std::string, int>> recordedExtensions(Engine& engine);
// The version the bank records for name; 0 when it records none.
int recordedVersion(Engine& engine, const std::string& name);
// Records that the bank holds name at version, making the table of versions when it is missing;
// within a transaction of the caller's.
void recordVersion(Engine& engine, const std::string& name, int version);

// ----- the loops over the registered extensions that making, checking, pushing and publishing a
// bank run (opening one runs its own, inside the store)

// A new bank, in the transaction that makes it: the table of versions, and each extension's
// tables and triggers at its version.
void createExtensions(Engine& engine);

// The extensions that a bank records but this program does not know, or knows at an older
// version only: one line each, naming the file; empty when none.
std::vector<std::string> unknownExtensions(Engine& engine, const std::string& fileName);

// What each registered extension finds amiss in the bank, one line each, naming the file.
std::vector<std::string> extensionProblems(Engine& engine, const std::string& fileName);

// What the extensions of the bank that conn has open made again of what another program broke,
// since this was last asked (the open, a search), one line each, prefixed with the extension's
// name; empty when nothing was.
std::vector<std::string> takeExtensionRepairs(Connection& conn);

// The backend of ext on the bank that conn has open, made when it was opened; nullptr when the
// bank is not one the extension lives in (or ext was not registered then).
ExtensionBackend* extensionBackend(Connection& conn, const Extension& ext);

}  // namespace store
