#pragma once
// The throwaway PostgreSQL cluster of the tests, and a fresh database in it for each test.
// The suite starts the cluster once (a CTest fixture) and names its folder in the state file;
// a test program run by hand without it starts its own for the process and stops it at the end.
// A cluster that cannot start fails the test: a server test never skips.

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace testing_support {

// The folder of the cluster's socket.
inline const std::string& pgSocketFolder() {
  struct Cluster {
    std::string folder;
    std::string ownState;  // set when this process started the cluster itself
    Cluster() {
      std::ifstream shared(ZORBEX_PG_STATE_FILE);
      if (shared && std::getline(shared, folder) && std::filesystem::exists(folder + "/data")) return;
      ownState = std::filesystem::temp_directory_path() / ("zorbex-pg-state-" + std::to_string(getpid()));
      std::string cmd = std::string(ZORBEX_PG_SCRIPT) + " start " + ownState + " >/dev/null";
      if (std::system(cmd.c_str()) != 0) throw std::runtime_error("the test cluster could not start: " + cmd);
      std::ifstream own(ownState);
      std::getline(own, folder);
    }
    ~Cluster() {
      if (ownState.empty()) return;
      std::string cmd = std::string(ZORBEX_PG_SCRIPT) + " stop " + ownState + " >/dev/null";
      if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "the test cluster did not stop: %s\n", cmd.c_str());
    }
  };
  static Cluster cluster;
  return cluster.folder;
}

inline std::string pgUri(const std::string& database) {
  return "postgresql:///" + database + "?host=" + pgSocketFolder() + "&user=postgres";
}

// Runs one administrative statement on the cluster's maintenance database.
inline void pgAdmin(const std::string& sql) {
  PGconn* c = PQconnectdb(pgUri("postgres").c_str());
  std::string failure;
  if (PQstatus(c) != CONNECTION_OK) {
    failure = PQerrorMessage(c);
  } else {
    PGresult* r = PQexec(c, sql.c_str());
    if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK) failure = PQresultErrorMessage(r);
    PQclear(r);
  }
  PQfinish(c);
  if (!failure.empty()) throw std::runtime_error(sql + ": " + failure);
}

// The two engines a bank can live on: an encrypted file, or a PostgreSQL server.
enum class BankEngine { File, Server };

inline std::string engineName(const ::testing::TestParamInfo<BankEngine>& info) {
  return info.param == BankEngine::File ? "File" : "Server";
}

// A new, empty database for one test, dropped afterwards.
class ServerDb {
 public:
  ServerDb() {
    static std::atomic<int> count{0};
    name_ = "zx_test_" + std::to_string(getpid()) + "_" + std::to_string(++count);
    pgAdmin("CREATE DATABASE " + name_);
  }
  ~ServerDb() {
    try {
      pgAdmin("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
    }
  }
  ServerDb(const ServerDb&) = delete;
  ServerDb& operator=(const ServerDb&) = delete;
  const std::string& name() const { return name_; }
  std::string uri() const { return pgUri(name_); }

 private:
  std::string name_;
};

}  // namespace testing_support
