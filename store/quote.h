#pragma once
// The helpers through which every value goes into a statement text: the quote character
// of the literal is doubled, so a value is data and never ends the literal it stands in.

#include <string>
#include <string_view>

namespace store {

inline std::string sqlText(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

// The same for a value that stands between double quotes.
inline std::string sqlTextInDoubleQuotes(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  for (char c : value) {
    out += c;
    if (c == '"') out += '"';
  }
  return out;
}

}  // namespace store
