#pragma once
// The one helper through which every value goes into a statement text: the quote that
// encloses the literal (an apostrophe unless told otherwise) is doubled, so a value is data
// and never ends the literal it stands in.

#include <string>
#include <string_view>

namespace store {

inline std::string sqlText(std::string_view value, char quote = '\'') {
  std::string out;
  out.reserve(value.size() + 2);
  for (char c : value) {
    out += c;
    if (c == quote) out += quote;
  }
  return out;
}

}  // namespace store
