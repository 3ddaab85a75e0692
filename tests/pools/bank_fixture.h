#pragma once
// A new bank in a temporary folder with its connection open, and ways to fill it and to
// read back what the pool and edition operations left in it.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "db_error.h"
#include "recordset.h"
#include "schema.h"
#include "temp_dir.h"

// Adds one record to a table of the bank through a record set, as the editors do.
inline void addRow(store::Connection& conn, const std::string& table, const std::map<std::string, store::Value>& fields) {
  store::Recordset rs;
  rs.open(table, conn, store::adOpenKeyset, store::adLockOptimistic);
  rs.addNew();
  for (const auto& [name, value] : fields) rs.setValue(name, value);
  rs.update();
  rs.close();
}

class PoolsBank : public ::testing::Test {
 protected:
  void SetUp() override {
    bank::schema::createBank(dir.path());
    conn.open(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey);
  }

  void add(const std::string& table, const std::map<std::string, store::Value>& fields) { addRow(conn, table, fields); }
  // Every row of a table, each field as name=value, in numQ order where there is one.
  std::vector<std::map<std::string, std::string>> rows(const std::string& table, const std::string& order = "") {
    store::Recordset rs;
    rs.open("select * from " + table + (order.empty() ? "" : " order by " + order), conn, store::adOpenDynamic,
            store::adLockReadOnly);
    std::vector<std::map<std::string, std::string>> out;
    for (; !rs.eof(); rs.moveNext()) {
      std::map<std::string, std::string> row;
      for (const std::string& n : rs.fieldNames()) {
        store::Value v = rs.value(n);
        row[n] = v.isNull() ? "<Null>" : v.toString();
      }
      out.push_back(row);
    }
    rs.close();
    return out;
  }
  std::map<std::string, std::string> question(const std::string& table, const std::string& numQ) {
    auto all = rows(table + " where numQ='" + numQ + "'");
    return all.empty() ? std::map<std::string, std::string>{} : all[0];
  }
  // The content of the whole bank, to see that a failed operation left it as it was.
  std::vector<std::vector<std::map<std::string, std::string>>> bank() {
    std::vector<std::vector<std::map<std::string, std::string>>> all;
    for (bank::schema::Kind k : bank::schema::kAllKinds) all.push_back(rows(bank::schema::tableName(k), "numQ"));
    for (const char* t : {"12to13SC", "12to13CR", "12to13RC", "12to13DS", "11to12PS", "answerkey13SC"})
      all.push_back(rows(t));
    return all;
  }
  long failureOf(const std::function<void()>& f, std::string* description = nullptr) {
    try {
      f();
    } catch (const store::DbError& e) {
      if (description) *description = e.description;
      return e.number;
    }
    return 0;
  }
  std::vector<std::string> numbers(const std::string& table, const std::string& src) {
    std::vector<std::string> out;
    for (auto& r : rows(table + " where src='" + src + "'", "numQ")) out.push_back(r["numQ"]);
    return out;
  }

  testing_support::TempDir dir;
  store::Connection conn;
};
