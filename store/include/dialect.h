#pragma once
// The SQL that each engine speaks, and the one place where names and values are put into a
// statement text in it. Every value goes between quotes with the quote character doubled inside
// it, so that a value is data and never ends the literal it stands in; every name goes between
// the dialect's name quotes, so that it stays a name.

#include <string>
#include <string_view>

#include "text.h"

namespace store {

// The SQL that an engine speaks: the embedded file's or the server's.
enum class Dialect { Sqlite, Postgres };

namespace detail {
inline std::string doubled(std::string_view value, char quote) {
  std::string out;
  out.reserve(value.size() + 2);
  for (char c : value) {
    out += c;
    if (c == quote) out += quote;
  }
  return out;
}
}  // namespace detail

// A value placed between apostrophes: '...' + sqlText(v) + '...'.
inline std::string sqlText(std::string_view value) { return detail::doubled(value, '\''); }

// A value placed between double quotes: "..." + sqlTextInDoubleQuotes(v) + "...".
inline std::string sqlTextInDoubleQuotes(std::string_view value) { return detail::doubled(value, '"'); }

// A text literal, the same in both dialects: 'text' with apostrophes doubled.
inline std::string textLiteral(std::string_view text) { return "'" + sqlText(text) + "'"; }

// Any name in double quotes, the standard form that both engines read, with double quotes inside
// it doubled: whatever the name holds (brackets, quotes, semicolons) stays a name.
inline std::string quotedName(std::string_view name) { return "\"" + sqlTextInDoubleQuotes(name) + "\""; }

// A table's name in the SQL of the dialect: [name] for the file's engine (as the program's own
// statements write it), "name" for the server.
inline std::string tableIdent(Dialect d, const std::string& name) {
  return d == Dialect::Sqlite ? "[" + name + "]" : quotedName(name);
}

// A field's name: on the server field names are kept in lower case, so that the Jet names of any
// case reach them.
inline std::string fieldIdent(Dialect d, const std::string& name) {
  return tableIdent(d, d == Dialect::Sqlite ? name : lowerAscii(name));
}

}  // namespace store
