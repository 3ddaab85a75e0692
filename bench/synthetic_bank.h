#pragma once
// The synthetic banks of the benchmarks, built one way for all of them: a fresh folder with a
// bank made by the schema code, questions written by what their fields hold (the kind
// registry names the fields), typical stems of a given length. Also the large bank: 100,000
// questions, 100 under every pool number 000..999, the pool numbers dealt round the five
// multiple-choice tables; and the single native scan that finds the used pool numbers, the
// baseline of the free-number search.

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "connection.h"
#include "kind_registry.h"
#include "recordset.h"
#include "schema.h"
#include "session.h"
#include "sqlite_db.h"

namespace bench_support {

using bank::schema::Holds;
using bank::schema::Kind;
using bank::schema::SizeOf;

// A question's fields by what they hold or by the size they keep; the question number by
// its name, which every table has.
using Row = std::map<std::variant<std::string, Holds, SizeOf>, store::Value>;

inline std::string fieldName(Kind kind, const Row::key_type& key) {
  if (const auto* name = std::get_if<std::string>(&key)) return *name;
  const char* field = std::holds_alternative<Holds>(key) ? bank::schema::fieldFor(kind, std::get<Holds>(key))
                                                         : bank::schema::sizeField(kind, std::get<SizeOf>(key));
  if (!field) throw std::logic_error("a benchmark bank fills a field its kind does not have");
  return field;
}

inline const char* tableOf(Kind kind) { return bank::schema::kindEntry(kind).table; }

// Question number "PPPNN": the pool number and a two-digit running number.
inline std::string questionNumber(int pool, int i) {
  char n[16];
  std::snprintf(n, sizeof n, "%03d%02d", pool, i);
  return n;
}
// Pool name "XPPP".
inline std::string poolName(int pool) { return "X" + questionNumber(pool, 0).substr(0, 3); }

// A typical stem of about the given length in the RTF the editors write: CBT fonts, a marked
// phrase, a quoted word. lead goes first, so that rounds can make each stem different.
inline std::string stemOf(size_t bytes, const std::string& lead = "", bool crlf = true) {
  std::string body = lead;
  const char* sentence = "The committee's report, \\f1 which were released\\f0  yesterday, drew `wide~ notice. ";
  while (body.size() < bytes) body += sentence;
  if (!crlf)
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 CBT;}{\\f1\\fnil\\fcharset0 CBTLINE;}}"
           "\\pard\\f0\\fs23 " + body + "\\par }";
  return "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 CBT;}"
         "{\\f1\\fnil\\fcharset0 CBTLINE;}}\r\n\\viewkind4\\uc1\\pard\\f0\\fs23 " +
         body + "\r\n\\par }\r\n";
}

// A fresh folder under the temporary folder with an empty bank.
inline std::filesystem::path freshBank(const std::string& name) {
  namespace fs = std::filesystem;
  fs::path d = fs::temp_directory_path() / name;
  fs::remove_all(d);
  fs::create_directories(d);
  bank::schema::createBank(d);
  return d;
}

// Writes rows of one kind straight through the engine, one prepared statement per set of
// fields: the fast way to fill a large bank. Call inside BEGIN/COMMIT for speed.
class RowWriter {
 public:
  explicit RowWriter(store::SqliteDb& db) : db_(db) {}
  void add(Kind kind, const Row& row) {
    std::string names, marks;
    std::vector<store::Value> values;
    for (const auto& [key, value] : row) {
      names += (values.empty() ? "" : ", ") + fieldName(kind, key);
      values.push_back(value);
      marks += (values.size() == 1 ? "?" : ", ?") + std::to_string(values.size());
    }
    const std::string sql = std::string("INSERT INTO [") + tableOf(kind) + "] (" + names + ") VALUES (" + marks + ");";
    auto it = statements_.find(sql);
    if (it == statements_.end()) it = statements_.emplace(sql, db_.prepare(sql)).first;
    auto& st = it->second;
    for (size_t i = 0; i < values.size(); ++i) st.bind(static_cast<int>(i) + 1, values[i]);
    st.step();
    st.reset();
  }

 private:
  store::SqliteDb& db_;
  std::map<std::string, store::SqliteStatement> statements_;
};

// Writes one question through a record set, as the program does.
inline void addThroughRecordset(store::Connection& conn, Kind kind, const Row& row) {
  store::Recordset rs;
  rs.open(tableOf(kind), conn, store::adOpenKeyset, store::adLockOptimistic);
  rs.addNew();
  for (const auto& [key, value] : row) rs.setValue(fieldName(kind, key), value);
  rs.update();
  rs.close();
}

// A bank file opened through the engine's wrapper itself, whose statements the builders and the
// baselines keep and step by hand.
inline std::unique_ptr<store::SqliteDb> openBankFile(const std::filesystem::path& bank, bool readOnly) {
  return store::SqliteDb::openExisting(bank.string(), bank::schema::kBankKey, readOnly);
}

// The multiple-choice kinds the pool numbers are dealt round in the large banks.
inline constexpr Kind kDealtKinds[] = {Kind::DS, Kind::PS, Kind::SC, Kind::CR, Kind::RC};

inline const std::filesystem::path& largeBank() {
  static std::filesystem::path dir = [] {
    std::filesystem::path d = freshBank("zorbex-bench-large");
    auto db = bench_support::openBankFile(bank::schema::bankPath(d), false);
    RowWriter w(*db);
    db->script("BEGIN;");
    for (int pool = 0; pool < 1000; ++pool)
      for (int i = 0; i < 100; ++i)
        w.add(kDealtKinds[pool % 5], {{"numQ", questionNumber(pool, i)},
                                      {Holds::Pool, "X" + questionNumber(pool, 0).substr(0, 3)},
                                      {Holds::Answer, std::string("A")}});
    db->script("COMMIT;");
    return d;
  }();
  return dir;
}

// The pool numbers in use, by one UNION scan over the five tables.
inline std::set<std::string> usedPoolNumbers(store::SqliteDb& db) {
  std::set<std::string> used;
  auto q = db.prepare(
      "SELECT substr(numQ, 1, 3) FROM DStbl UNION SELECT substr(numQ, 1, 3) FROM PStbl UNION "
      "SELECT substr(numQ, 1, 3) FROM SCtbl UNION SELECT substr(numQ, 1, 3) FROM CRtbl UNION "
      "SELECT substr(numQ, 1, 3) FROM RCtbl;");
  while (q.step()) used.insert(q.column(0).toString());
  return used;
}

}  // namespace bench_support
