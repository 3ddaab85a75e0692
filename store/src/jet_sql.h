#pragma once
// Jet SQL, as the program and administrators write it, translated into SQLite SQL in one
// place. Statements and expressions are parsed completely; a form whose Jet meaning the
// translation cannot keep fails with an error in the command (-2147217900) that names the
// token, instead of running with another meaning:
//   SELECT [DISTINCT] list [INTO table] FROM table [[AS] alias]
//          [WHERE e] [GROUP BY list [HAVING e]] [ORDER BY e [ASC|DESC], ...]
//   DELETE [*] FROM table [WHERE e]
//   INSERT INTO table [(columns)] {SELECT ... | VALUES (e, ...)}
//   UPDATE table SET column = e, ... [WHERE e]
// with at most one trailing semicolon. Expressions: text in apostrophes or double quotes,
// numbers (2, -2, .5, 1e3), True/False (-1/0), Null, fields (qualified or in brackets),
// + - * / &, comparisons, Like with a quoted pattern, Is [Not] Null, [Not] Between, [Not]
// In (list), Not/And/Or, and the functions Count Sum Min Max Avg UCase LCase Len Mid Trim
// LTrim RTrim Abs. Identifiers may begin with a digit (12to13SC).

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine.h"

namespace store {


// Where a table that a statement names really is.
struct ResolvedTable {
  std::string qualified;  // SQL text that reaches it, e.g. [SCtbl], [zxl1].[tblMemo] or "zx_user"."tblMemo"
  std::string name;       // its name inside its own file
};

// Given a table name as written, where it is; throws DbError when there is no such table.
using TableResolver = std::function<ResolvedTable(const std::string&)>;

enum class StatementKind { Select, SelectInto, Insert, Delete, Update };

struct Translation {
  StatementKind kind = StatementKind::Select;
  std::string sql;
  // What the select contains, as parsed.
  bool distinct = false;
  bool grouped = false;     // GROUP BY
  bool aggregated = false;  // an aggregate function in the list, HAVING or ORDER BY
  // Set for "select * from one table": the rows carry their rowid as the last column
  // (named by kRowidColumn), so that a record set over them can be updated.
  std::optional<ResolvedTable> updatableTable;
};

inline constexpr const char* kRowidColumn = "zx_rowid__";

Translation translateJetSql(std::string_view jet, const TableResolver& resolve, Dialect dialect = Dialect::Sqlite);

}  // namespace store
