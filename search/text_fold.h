#pragma once
// Text as the search compares it: each character folded (compatibility forms such as
// full-width letters to their plain forms, then case folding), with the place in the
// original text that each folded character comes from; and cut into tokens. Words of
// letters and digits are one token each. Text without spaces (Chinese, Japanese, Korean)
// is cut into overlapping character pairs, with the last character of each run alone, so
// that any part of it can be found: a part of two or more characters as its pairs in a
// row, a single character as the beginning of a token.

#include <QString>
#include <vector>

namespace search {

// A character of the scripts written without spaces (Chinese, Japanese, Korean).
bool isCjk(char32_t c);

struct FoldedText {
  QString text;
  // For each character of text: the range [from, to) of the original it comes from.
  std::vector<int> from, to;
};

FoldedText fold(const QString& original);

struct Token {
  QString text;
  int start = 0, end = 0;  // in the folded text
  bool cjk = false;
  bool runEnd = false;  // a CJK token made of the last character of its run
};

// The tokens of folded text in reading order (for a CJK run: its pairs, then its last
// character alone).
std::vector<Token> tokenize(const FoldedText& folded);

// The words the index keeps of a plain text: its tokens separated by blanks (UTF-8).
std::string indexWords(const QString& plain);

}  // namespace search
