#pragma once
// The helpers through which every value goes into a statement text: the quote character
// that encloses the literal is doubled inside it, so a value is data and never ends the
// literal it stands in.

#include <string>
#include <string_view>

namespace store {

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

}  // namespace store
