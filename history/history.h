#pragma once
// The bank's memory of its questions: every change to a question row keeps the row it
// replaces, and every deleted row goes to the trash, in zx_ tables of the bank filled by
// triggers in the same transaction as the change, whoever writes. This program tags its
// writes with the operation, the user and the machine (a ChangeTag); a change without a tag
// came from another program and is kept as such, with its time.
//
// An extension of the bank (extension.h), with one backend per engine: a program that keeps the
// history registers extension() before it opens or makes a bank.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "change_tag.h"
#include "connection.h"
#include "extension.h"
#include "kind_registry.h"
#include "operation.h"
#include "value.h"

namespace history {

namespace schema = bank::schema;
using store::Connection;
using store::Value;

// The history as an extension of the bank, to register with store::registerExtension.
const store::Extension& extension();

// The operation named for a change that another program wrote.
inline const std::string kAnotherProgram = bank::operationName(bank::Operation::AnotherProgram);
// The operations that the history itself performs, as their changes are named.
inline const std::string kRestoreFromHistory = bank::operationName(bank::Operation::RestoreFromHistory);
inline const std::string kUndelete = bank::operationName(bank::Operation::Undelete);

// Tags a change (change_tag.h); the history keeps it under the tag's operation, user and machine.
using store::ChangeTag;

// One kept version of a question: the row as it was before a change, and what changed it.
struct Version {
  long long id = 0;            // the version's number, unique in the bank
  schema::Kind kind = schema::Kind::SC;
  std::string numQ;
  std::string change;          // "update" or "delete"
  std::string at;              // UTC, "YYYY-MM-DD HH:MM:SS.SSS"
  std::string operation;       // "Save", "GO", ..., or kAnotherProgram
  std::string user;
  std::string machine;
  std::vector<std::pair<std::string, Value>> fields;  // every column of the row, numQ first

  const Value* field(const std::string& name) const;
};

// The versions of question numQ of kind, newest first.
std::vector<Version> versions(Connection& conn, schema::Kind kind, const std::string& numQ);
// The version numbered id of question numQ of kind; none when there is no such version.
std::optional<Version> version(Connection& conn, schema::Kind kind, const std::string& numQ, long long id);

// The kinds in which numQ is a question now or has kept versions (the DS and PS edition
// numbers share a range, so a number alone may name two).
std::vector<schema::Kind> kindsOf(Connection& conn, const std::string& numQ);

// Puts version id back over question numQ as one change tagged "Restore from history" (itself
// kept). A question deleted since is not brought back here: that is undelete's work. Throws
// DbError when the version or the question does not exist.
void revert(Connection& conn, schema::Kind kind, const std::string& numQ, long long id);

// What one operation deleted and is still in the trash: a question, or a pool's questions
// deleted by one "Delete Pool".
struct TrashEntry {
  long long batch = 0;  // identifies the entry
  schema::Kind kind = schema::Kind::SC;
  std::string at;
  std::string operation;
  std::string user;
  std::string machine;
  std::string pool;                  // the pool of the questions (of the first, when they differ)
  std::vector<std::string> numbers;  // the deleted question numbers, in order
};

// Everything in the trash, newest first.
std::vector<TrashEntry> trash(Connection& conn);
// The entry that undeletes arg: the newest that holds question number arg, otherwise the
// newest whose questions are of pool arg; with kind given, only entries of that kind.
std::vector<TrashEntry> entriesFor(Connection& conn, const std::string& arg);
// Why entry cannot be restored now (its numbers that are taken, named), or empty.
std::string undeleteProblem(Connection& conn, const TrashEntry& entry);
// Restores every question of entry, whole, as one change tagged "Undelete", and takes the entry
// out of the trash. Refused (DbError, nothing changed) with undeleteProblem's reason.
void undelete(Connection& conn, const TrashEntry& entry);

// Forgets the versions and trash entries kept before date (YYYY-MM-DD, UTC); returns how many
// versions went. DbError for a date not of that form.
long prune(Connection& conn, const std::string& beforeDate);
// Whether text is YYYY-MM-DD naming a day that exists (2025-02-30 does not).
bool isCalendarDate(const std::string& text);

}  // namespace history

// Where the program has always called it.
namespace store {
namespace history = ::history;
}
