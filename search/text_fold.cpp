#include "text_fold.h"

#include <string>

namespace search {

bool isCjk(char32_t c) {
  return (c >= 0x3040 && c <= 0x30FF) ||    // Hiragana, Katakana (with the prolonged sound mark)
         (c >= 0x31F0 && c <= 0x31FF) ||    // Katakana phonetic extensions
         c == 0x3005 || c == 0x3006 ||      // iteration and closing marks
         (c >= 0x3400 && c <= 0x4DBF) ||    // CJK extension A
         (c >= 0x4E00 && c <= 0x9FFF) ||    // CJK unified ideographs
         (c >= 0xF900 && c <= 0xFAFF) ||    // compatibility ideographs
         (c >= 0xAC00 && c <= 0xD7AF) ||    // Hangul syllables
         (c >= 0x20000 && c <= 0x3FFFF);    // the supplementary ideographs
}

namespace {

bool isWordChar(char32_t c) {
  if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

void append(FoldedText& out, const QString& s, int from, int to) {
  out.text += s;
  for (qsizetype i = 0; i < s.size(); ++i) {
    out.from.push_back(from);
    out.to.push_back(to);
  }
}

}  // namespace

FoldedText fold(const QString& original) {
  FoldedText out;
  out.text.reserve(original.size());
  out.from.reserve(static_cast<size_t>(original.size()));
  out.to.reserve(static_cast<size_t>(original.size()));
  for (qsizetype i = 0; i < original.size();) {
    const QChar c = original[i];
    const int at = static_cast<int>(i);
    if (c.unicode() < 0x80) {  // the common case, without building strings
      out.text += c.toLower();
      out.from.push_back(at);
      out.to.push_back(at + 1);
      ++i;
      continue;
    }
    const qsizetype len = (c.isHighSurrogate() && i + 1 < original.size() && original[i + 1].isLowSurrogate()) ? 2 : 1;
    QString folded = original.mid(i, len).normalized(QString::NormalizationForm_KC).toCaseFolded();
    // Qt folds one character to one; the sharp s is the one full folding that readers expect.
    folded.replace(QChar(0x00DF), QLatin1String("ss"));
    append(out, folded, at, at + static_cast<int>(len));
    i += len;
  }
  return out;
}

std::vector<Token> tokenize(const FoldedText& folded) {
  std::vector<Token> tokens;
  const QString& t = folded.text;
  // Code points with their places, so that surrogate pairs count as one character.
  struct Char {
    char32_t c;
    int at, size;
  };
  std::vector<Char> chars;
  chars.reserve(static_cast<size_t>(t.size()));
  for (qsizetype i = 0; i < t.size();) {
    if (t[i].isHighSurrogate() && i + 1 < t.size() && t[i + 1].isLowSurrogate()) {
      chars.push_back({QChar::surrogateToUcs4(t[i], t[i + 1]), static_cast<int>(i), 2});
      i += 2;
    } else {
      chars.push_back({t[i].unicode(), static_cast<int>(i), 1});
      ++i;
    }
  }
  auto text = [&](size_t a, size_t b) {  // chars [a, b)
    return t.mid(chars[a].at, chars[b - 1].at + chars[b - 1].size - chars[a].at);
  };
  auto endOf = [&](size_t k) { return chars[k].at + chars[k].size; };
  for (size_t i = 0; i < chars.size();) {
    if (isCjk(chars[i].c)) {
      size_t j = i;
      while (j < chars.size() && isCjk(chars[j].c)) ++j;
      for (size_t k = i; k + 1 < j; ++k) tokens.push_back({text(k, k + 2), chars[k].at, endOf(k + 1), true, false});
      tokens.push_back({text(j - 1, j), chars[j - 1].at, endOf(j - 1), true, true});
      i = j;
    } else if (isWordChar(chars[i].c)) {
      size_t j = i;
      while (j < chars.size() && isWordChar(chars[j].c) && !isCjk(chars[j].c)) ++j;
      tokens.push_back({text(i, j), chars[i].at, endOf(j - 1), false, false});
      i = j;
    } else {
      ++i;
    }
  }
  return tokens;
}

namespace {

// Plain ASCII text, the most common by far, needs neither folding tables nor places: its
// tokens are its runs of letters and digits, in lower case.
bool asciiWords(const QString& plain, std::string& words) {
  words.reserve(static_cast<size_t>(plain.size()));
  bool inWord = false;
  for (QChar qc : plain) {
    const char16_t c = qc.unicode();
    if (c >= 0x80) return false;
    const bool wordChar = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (wordChar && !inWord && !words.empty()) words += ' ';
    if (wordChar) words += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    inWord = wordChar;
  }
  return true;
}

}  // namespace

std::string indexWords(const QString& plain) {
  if (std::string ascii; asciiWords(plain, ascii)) return ascii;
  QString words;
  for (const Token& tk : tokenize(fold(plain))) {
    if (!words.isEmpty()) words += QLatin1Char(' ');
    words += tk.text;
  }
  return words.toStdString();
}

}  // namespace search
