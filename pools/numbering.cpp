#include "numbering.h"

#include <cctype>
#include <cstdio>

#include "statements.h"

namespace pools {

namespace {
std::string padded(long n, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*ld", width, n);
  return buf;
}
}  // namespace

std::string format000(long n) { return padded(n, 3); }
std::string format00(long n) { return padded(n, 2); }

namespace {
bool continuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
}  // namespace

std::string firstChars(const std::string& text, size_t n) {
  size_t pos = 0;
  for (size_t chars = 0; chars < n && pos < text.size(); ++chars) {
    ++pos;
    while (pos < text.size() && continuationByte(text[pos])) ++pos;
  }
  return text.substr(0, pos);
}

std::string poolNumberOf(const std::string& poolName) {
  // Three characters, not bytes: a pool letter may be any character.
  size_t pos = poolName.size();
  for (int chars = 0; chars < 3 && pos > 0; ++chars) {
    --pos;
    while (pos > 0 && continuationByte(poolName[pos])) --pos;
  }
  return poolName.substr(pos);
}

std::string ordinaryQuestionNumber(const std::string& poolNumber, long index) {
  return poolNumber + format00(index);
}

std::string editionQuestionNumber(const std::string& prefix, long running) { return prefix + format000(running); }

bool poolLetterAllowed(const std::string& letter) { return letter != "D" && letter != "O"; }

std::optional<long> wholeNumber(const std::string& text) {
  size_t b = text.find_first_not_of(' ');
  size_t e = text.find_last_not_of(' ');
  if (b == std::string::npos) return std::nullopt;
  std::string t = text.substr(b, e - b + 1);
  size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
  if (i == t.size() || t.size() > 9) return std::nullopt;
  for (size_t k = i; k < t.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(t[k]))) return std::nullopt;
  return std::stol(t);
}

}  // namespace pools
