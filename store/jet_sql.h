#pragma once
// Jet SQL, as the program writes it, translated into SQLite SQL in one place.
// Only the forms below are known; anything else fails with an error in the command
// (-2147217900) instead of being passed on half-understood:
//   SELECT [DISTINCT] list [INTO table] FROM table [[AS] alias]
//          [WHERE e] [GROUP BY list] [HAVING e] [ORDER BY e [ASC|DESC], ...]
//   DELETE [*] FROM table [WHERE e]
//   INSERT INTO table [(columns)] {SELECT ... | VALUES (e, ...)}
//   UPDATE table SET column = e, ... [WHERE e]
// with at most one trailing semicolon. Strings may stand in apostrophes or double
// quotes; identifiers may begin with a digit (12to13SC) or stand in brackets.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace store {

// Where a table that a statement names really is.
struct ResolvedTable {
  std::string qualified;  // SQL text that reaches it, e.g. [SCtbl] or [zxl1].[tblMemo]
  std::string name;       // its name inside its own file
};

// Given a table name as written, where it is; throws DbError when there is no such table.
using TableResolver = std::function<ResolvedTable(const std::string&)>;

enum class StatementKind { Select, SelectInto, Insert, Delete, Update };

struct Translation {
  StatementKind kind = StatementKind::Select;
  std::string sql;
  // Set for "select * from one table": the rows carry their rowid as the last column
  // (named by kRowidColumn), so that a record set over them can be updated.
  std::optional<ResolvedTable> updatableTable;
};

inline constexpr const char* kRowidColumn = "zx_rowid__";

Translation translateJetSql(std::string_view jet, const TableResolver& resolve);

}  // namespace store
