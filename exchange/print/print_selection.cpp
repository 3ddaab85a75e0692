#include "print_selection.h"

#include <algorithm>

#include "engine.h"
#include "recordset.h"
#include "schema.h"
#include "statements.h"

namespace exchange::print {

namespace schema = bank::schema;
namespace statements = store::statements;

namespace {

bool sameText(const std::string& a, const std::string& b) {
  const auto lower = [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::vector<std::string> column(store::Connection& conn, const std::string& sql, const std::string& name) {
  std::vector<std::string> out;
  store::Recordset rs;
  rs.open(sql, conn, store::adOpenForwardOnly, store::adLockReadOnly);
  for (; !rs.eof(); rs.moveNext()) {
    const store::Value v = rs.value(name);
    if (!v.isNull()) out.push_back(v.toString());
  }
  rs.close();
  return out;
}

// An essay topic's "pool" is its type: the letter, or the word the AWA editor lists.
std::vector<std::string> topicTypes(const std::string& pool) {
  if (pool.empty()) return {"A", "I"};
  if (sameText(pool, "A") || sameText(pool, "Argument")) return {"A"};
  if (sameText(pool, "I") || sameText(pool, "Issue")) return {"I"};
  return {};
}

}  // namespace

std::vector<QuestionRef> selectedQuestions(store::Connection& conn, const Selection& selection) {
  std::vector<QuestionRef> out;
  for (Kind kind : schema::kAllKinds) {
    if (!selection.kinds.empty() && std::find(selection.kinds.begin(), selection.kinds.end(), kind) == selection.kinds.end())
      continue;
    const std::string table = schema::tableName(kind);
    if (!conn.engine().hasTable(table)) continue;
    std::vector<std::string> numbers;
    // The essay topics (no lettered choices) are kept by type, not by pool.
    if (!schema::kindEntry(kind).edition) {
      for (const std::string& type : topicTypes(selection.pool)) {
        std::vector<std::string> of = column(conn, statements::topicsOfType(type), "numQ");
        numbers.insert(numbers.end(), of.begin(), of.end());
      }
    } else {
      const std::vector<std::string> pools =
          selection.pool.empty() ? column(conn, statements::poolsInOrder(table), "src") : std::vector{selection.pool};
      for (const std::string& pool : pools) {
        std::vector<std::string> of = column(conn, statements::questionsOfPool(table, pool), "numQ");
        numbers.insert(numbers.end(), of.begin(), of.end());
      }
    }
    for (std::string& n : numbers)
      if (n.starts_with(selection.numberPrefix)) out.push_back({kind, std::move(n)});
  }
  return out;
}

std::string describe(const Selection& selection) {
  std::string kinds;
  for (Kind k : selection.kinds) kinds += (kinds.empty() ? "" : ", ") + std::string(schema::kindName(k));
  std::vector<std::string> parts;
  if (!selection.pool.empty()) parts.push_back("pool " + selection.pool);
  if (!selection.numberPrefix.empty()) parts.push_back("numbers " + selection.numberPrefix + "...");
  std::string narrowed;
  for (const std::string& p : parts) narrowed += (narrowed.empty() ? "" : ", ") + p;
  if (kinds.empty()) kinds = "every kind";
  return narrowed.empty() ? kinds : kinds + ": " + narrowed;
}

}  // namespace exchange::print
