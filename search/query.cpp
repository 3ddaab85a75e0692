#include "query.h"

#include <algorithm>

#include "text_fold.h"

namespace search {

namespace {

// The terms of one typed word or phrase, matched against the tokens that the index holds of
// the same text. A CJK run gives its pairs; when more follows in the phrase the run ends
// there in the text too, so its last character alone follows as well. A single CJK character
// is either that last character (more follows) or the beginning of any token (at the end).
Item itemOf(const QString& typed) {
  Item item;
  const std::vector<Token> tokens = tokenize(fold(typed));
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& tk = tokens[i];
    const bool last = i + 1 == tokens.size();
    if (!tk.cjk) {
      item.terms.push_back({tk.text, false});
    } else if (!tk.runEnd) {
      item.terms.push_back({tk.text, false});
    } else {
      const bool alone = i == 0 || !tokens[i - 1].cjk || tokens[i - 1].runEnd;
      if (!last)
        item.terms.push_back({tk.text, false});
      else if (alone)
        item.terms.push_back({tk.text, true});
    }
  }
  return item;
}

void addItem(Query& q, const QString& typed) {
  Item item = itemOf(typed);
  if (!item.terms.empty()) q.items.push_back(std::move(item));
}

}  // namespace

std::string tooLongQuery(const Query& query) {
  qsizetype terms = 0, characters = 0;
  for (const Item& item : query.items)
    for (const Term& term : item.terms) {
      ++terms;
      characters += term.text.size();
    }
  auto tooMany = [](qsizetype count, int most, const char* what) {
    return "Too long: a search takes at most " + std::to_string(most) + " " + what + "; this one has " +
           std::to_string(count) + ".";
  };
  if (terms > kMaxQueryTerms) return tooMany(terms, kMaxQueryTerms, "words");
  if (characters > kMaxQueryCharacters) return tooMany(characters, kMaxQueryCharacters, "characters");
  return {};
}

Query parseQuery(const QString& typed) {
  Query q;
  QString word;
  bool quoted = false;
  auto flush = [&] {
    addItem(q, word);
    word.clear();
  };
  for (QChar c : typed) {
    if (c == QLatin1Char('"') || c == QChar(0x201C) || c == QChar(0x201D) || c == QChar(0xFF02)) {
      flush();
      quoted = !quoted;
    } else if (!quoted && c.isSpace()) {
      flush();
    } else {
      word += c;
    }
  }
  flush();
  return q;
}

index::TermQuery termQuery(const Query& query) {
  index::TermQuery out;
  for (const Item& item : query.items) {
    index::Phrase phrase;
    for (const Term& term : item.terms) phrase.terms.push_back({term.text.toStdString(), term.prefix});
    out.phrases.push_back(std::move(phrase));
  }
  return out;
}

std::vector<Range> findInText(const QString& plain, const Query& query) {
  const FoldedText folded = fold(plain);
  const std::vector<Token> tokens = tokenize(folded);
  std::vector<std::pair<int, int>> spans;  // in folded text
  for (const Item& item : query.items) {
    const size_t n = item.terms.size();
    for (size_t i = 0; i + n <= tokens.size(); ++i) {
      bool match = true;
      for (size_t k = 0; k < n && match; ++k) {
        const Term& term = item.terms[k];
        match = term.prefix ? tokens[i + k].text.startsWith(term.text) : tokens[i + k].text == term.text;
      }
      if (!match) continue;
      const Term& lastTerm = item.terms[n - 1];
      const Token& lastToken = tokens[i + n - 1];
      const int end = lastTerm.prefix ? lastToken.start + static_cast<int>(lastTerm.text.size()) : lastToken.end;
      spans.emplace_back(tokens[i].start, end);
    }
  }
  std::sort(spans.begin(), spans.end());
  std::vector<Range> ranges;
  for (auto [a, b] : spans) {
    if (b <= a) continue;
    const int start = folded.from[static_cast<size_t>(a)], end = folded.to[static_cast<size_t>(b - 1)];
    if (!ranges.empty() && start <= ranges.back().start + ranges.back().length) {
      Range& r = ranges.back();
      r.length = std::max(r.length, end - r.start);
    } else {
      ranges.push_back({start, end - start});
    }
  }
  return ranges;
}

namespace {

// The character that ends at `at` and the one that starts there (a surrogate pair as one).
char32_t charBefore(const QString& s, int at) {
  if (at >= 2 && s[at - 1].isLowSurrogate() && s[at - 2].isHighSurrogate())
    return QChar::surrogateToUcs4(s[at - 2], s[at - 1]);
  return s[at - 1].unicode();
}
char32_t charAt(const QString& s, int at) {
  if (at + 1 < s.size() && s[at].isHighSurrogate() && s[at + 1].isLowSurrogate())
    return QChar::surrogateToUcs4(s[at], s[at + 1]);
  return s[at].unicode();
}
bool blankOrCjk(char32_t c) { return QChar::isSpace(c) || isCjk(c); }

}  // namespace

bool wordBoundary(const QString& plain, int at) {
  if (at <= 0 || at >= plain.size()) return true;
  if (plain[at].isLowSurrogate() && plain[at - 1].isHighSurrogate()) return false;
  return blankOrCjk(charBefore(plain, at)) || blankOrCjk(charAt(plain, at));
}

int startOnWord(const QString& plain, int from, int limit) {
  int at = from;
  while (at < limit && !wordBoundary(plain, at)) ++at;
  if (!wordBoundary(plain, at))  // the place itself begins inside a word ("e-mail"): its whole word
    for (at = from; !wordBoundary(plain, at);) --at;
  while (at < limit && plain[at].isSpace()) ++at;
  return at;
}

int endOnWord(const QString& plain, int to, int limit) {
  int at = to;
  while (at > limit && !wordBoundary(plain, at)) --at;
  if (!wordBoundary(plain, at))
    for (at = to; !wordBoundary(plain, at);) ++at;
  while (at > limit && plain[at - 1].isSpace()) --at;
  return at;
}

std::vector<SnippetPart> snippet(const QString& plain, const std::vector<Range>& ranges, int width) {
  const int size = static_cast<int>(plain.size());
  int from = 0, to = endOnWord(plain, std::min(size, width), std::min(size, width) / 2);
  if (!ranges.empty()) {
    const Range& first = ranges.front();
    from = startOnWord(plain, std::max(0, first.start - width / 3), first.start);
    to = endOnWord(plain, std::min(size, std::max(from + width, first.start + first.length)), first.start + first.length);
  }
  auto clean = [&](int a, int b) {
    QString s = plain.mid(a, b - a);
    for (QChar& c : s)
      if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t') || c == QChar::LineSeparator ||
          c == QChar::ParagraphSeparator)
        c = QLatin1Char(' ');
    return s;
  };
  std::vector<SnippetPart> parts;
  if (from > 0) parts.push_back({QStringLiteral("…"), false});
  int at = from;
  for (const Range& r : ranges) {
    if (r.start < at || r.start >= to) continue;
    if (r.start > at) parts.push_back({clean(at, r.start), false});
    const int end = std::min(to, r.start + r.length);
    parts.push_back({clean(r.start, end), true});
    at = end;
  }
  if (at < to) parts.push_back({clean(at, to), false});
  if (to < size) parts.push_back({QStringLiteral("…"), false});
  return parts;
}

QString snippetLine(const std::vector<SnippetPart>& parts) {
  QString line;
  for (const SnippetPart& p : parts) line += p.marked ? QStringLiteral("«") + p.text + QStringLiteral("»") : p.text;
  return line;
}

}  // namespace search
