#pragma once
// What the whole program shares: the connections, the table-present flags, the log tag,
// the current question and pool, and the application folder. main() makes one with the
// executable's folder; tests make one on a temporary folder.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "connection.h"
#include "schema.h"

namespace bank {

struct ProgramState {
  explicit ProgramState(std::filesystem::path folder) : appFolder(std::move(folder)) {}

  std::filesystem::path appFolder;
  std::array<std::int16_t, schema::kAllKinds.size()> flgTable{};  // by schema::Kind
  bool flgAllKinds = false;
  std::string pLogTag;
  std::string currentQNumber;
  std::string currentPool;
  // A bank on a server that the bank tool names itself (a libpq URI); empty: the folder's own
  // choice, its zorbex_server.conf or its bank file.
  std::string serverBank;

  // Each connection object is created on first use; CloseConnections releases it.
  store::Connection& pConn() { return holder(conn_); }
  store::Connection& pConnUser() { return holder(connUser_); }
  void releaseConn() { conn_.reset(); }
  void releaseConnUser() { connUser_.reset(); }
  bool hasTable(schema::Kind k) const { return flgTable[static_cast<size_t>(k)] == 1; }

 private:
  static store::Connection& holder(std::unique_ptr<store::Connection>& c) {
    if (!c) c = std::make_unique<store::Connection>();
    return *c;
  }
  std::unique_ptr<store::Connection> conn_;
  std::unique_ptr<store::Connection> connUser_;
};

}  // namespace bank
