#pragma once
// What the user types into the search: words and "quoted phrases", each of which must be in
// a field for it to be a hit. Handed to the index as its terms, and found again in a field's
// plain text to mark the hit.

#include <QString>
#include <string>
#include <vector>

#include "search_index.h"

namespace search {

struct Term {
  QString text;
  bool prefix = false;  // the beginning of a token (a single CJK character at the end)
};

// A word or a phrase: its terms must follow one another.
struct Item {
  std::vector<Term> terms;
};

struct Query {
  std::vector<Item> items;
  bool empty() const { return items.empty(); }
};

// Words separated by blanks; text in double quotes is one phrase (a quote left open runs to
// the end). A word that is itself several tokens ("e-mail", Japanese) is a phrase.
Query parseQuery(const QString& typed);

// The most terms a search takes (every word of a phrase counted) and the most characters in
// them: far beyond what anyone types, and well within what the engines' expression parsers
// take (a longer query ends in their own words, or their stack).
inline constexpr int kMaxQueryTerms = 200;
inline constexpr int kMaxQueryCharacters = 10000;
// Why the query is too long to search for, as a sentence; empty when it is not.
std::string tooLongQuery(const Query& query);

// What the index is asked: every item as a phrase of its terms (UTF-8). No phrases for an
// empty query.
index::TermQuery termQuery(const Query& query);

// A found place in the original text: [start, start + length).
struct Range {
  int start = 0, length = 0;
  bool operator==(const Range&) const = default;
};

// Every place in plain where an item of the query stands, in text order, overlaps merged.
std::vector<Range> findInText(const QString& plain, const Query& query);

// Whether plain may be cut at `at` without cutting a word: at either end, beside a blank, or
// beside a CJK character (text without spaces is cut between any two characters).
bool wordBoundary(const QString& plain, int at);
// Where a piece of context that should start at `from` starts on a whole word: the first word
// boundary from there up to `limit` (the found place), else the one before; blanks skipped.
int startOnWord(const QString& plain, int from, int limit);
// The same for its end at `to`: the last word boundary back to `limit`, else the one after.
int endOnWord(const QString& plain, int to, int limit);

// A piece of a snippet, marked where the query was found.
struct SnippetPart {
  QString text;
  bool marked = false;
};
// A line of context around the first of ranges (about `width` characters), with every range in
// it marked; line breaks and tabs become blanks. It starts and ends on whole words, and a cut
// is shown by "…".
std::vector<SnippetPart> snippet(const QString& plain, const std::vector<Range>& ranges, int width = 120);
// The snippet as one line with the marked parts in «».
QString snippetLine(const std::vector<SnippetPart>& parts);

}  // namespace search
