#pragma once
// All or nothing for an operation of several statements: begun on construction, kept by
// commit(), rolled back when the scope is left without it (a failure on the way).

#include "connection.h"
#include "session.h"

namespace pools {

class Transaction {
 public:
  explicit Transaction(store::Connection& conn) : db_(conn.session().db()) { run("BEGIN IMMEDIATE;"); }
  ~Transaction() {
    if (open_) {
      try {
        db_.exec("ROLLBACK;");
      } catch (const store::SqliteFailure&) {
        // The engine has already rolled back (a failure that ends the transaction itself).
      }
    }
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void commit() {
    run("COMMIT;");
    open_ = false;
  }

 private:
  void run(const char* sql) {
    try {
      db_.exec(sql);
    } catch (const store::SqliteFailure& f) {
      throw store::engineError(f);
    }
  }
  store::SqliteDb& db_;
  bool open_ = true;
};

}  // namespace pools
