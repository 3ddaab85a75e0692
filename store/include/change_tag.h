#pragma once
// Tags every write through a connection with the operation that makes it, the user's login name
// and the machine's name, so that the bank's extensions that keep changes (the history) can say
// who changed what. The store knows only that a change has these and a number.

#include <string>

#include "connection.h"

namespace store {

struct TaggedChange;

// Tags every write through conn, while it lives, with operation, the user's login name and the
// machine's name. Tags nest: the inner one names the writes until it ends. All writes under one
// tag form one change (a Save writes layout and content, a "GO" each question twice, and each is
// one change). On a bank with an extension that keeps changes, writes made outside a transaction
// of the connection's own gather in one transaction, which commit() commits; a tag that ends
// without commit takes them back, as a Transaction does.
class ChangeTag {
 public:
  ChangeTag(Connection& conn, std::string operation);
  ~ChangeTag();
  // Commits the writes so far; later writes under the tag begin another transaction of the
  // same change. Throws DbError (the writes are then taken back).
  void commit();
  ChangeTag(const ChangeTag&) = delete;
  ChangeTag& operator=(const ChangeTag&) = delete;

 private:
  Connection& conn_;
  struct State;
  State* state_;
};

}  // namespace store
