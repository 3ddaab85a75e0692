#pragma once
// The bank's full-text index: one entry per searched field of each question (its words as the
// search tokenised them, and what a search ranks by), kept in zx_search tables of the bank. The
// plain text itself is not kept: a hit's text is made again from the question when the hit is
// shown. Triggers on every question table mark each question that any program inserts, changes
// or deletes; the marked questions are indexed again before the next search, so that the index
// is never stale. The triggers use nothing but the engine's own SQL, so that any other program
// can still write the bank.
//
// The index is an extension of the bank (extension()): in a file, made at the first search or
// rebuild (keepWhole), so that a bank never searched pays nothing for its triggers; on a server,
// made with the bank. Never carried by a push or a publish (the copy builds its own from its
// questions at its first search), kept by a compaction. One backend per engine, made
// once by the store as it opens the bank: a bank in a file keeps its index in the file's FTS4
// tables (file_index.h), a bank on a server with the server's own full-text search
// (server_index.h). Both work through the store's public Engine alone. Knows nothing of RTF, of
// Qt or of how words are made: the search above gives the words, and asks with a TermQuery that
// each backend writes in its engine's own syntax.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "connection.h"
#include "engine.h"
#include "extension.h"
#include "kind_registry.h"
#include "schema.h"
#include "value.h"

namespace search::index {

using bank::schema::Kind;

// One searched field of a question, as the index keeps it.
struct Entry {
  std::string field;  // the column: "question", "choiceA", ...
  std::string pool;   // the question's pool (AWA: its type)
  std::string words;  // normalised tokens separated by blanks (UTF-8)
  long long length;   // the length of the field's plain text in UTF-16 units
};

struct QuestionRef {
  Kind kind;
  std::string numQ;
  bool operator<(const QuestionRef& o) const { return kind != o.kind ? kind < o.kind : numQ < o.numQ; }
};

// What a search asks of the index: every phrase must stand in one entry, each its terms in a row.
// A term is a token as the index keeps them (UTF-8, folded); a prefix term stands for every token
// that begins with it. Each backend writes it in its engine's syntax; nothing in a term is syntax.
struct Term {
  std::string text;
  bool prefix = false;
  bool operator==(const Term&) const = default;
};
struct Phrase {
  std::vector<Term> terms;
  bool operator==(const Phrase&) const = default;
};
struct TermQuery {
  std::vector<Phrase> phrases;
  bool operator==(const TermQuery&) const = default;
};

struct Filter {
  std::vector<Kind> kinds;   // empty: every kind
  std::string pool;          // empty: every pool (compared without regard to case)
  std::string numberPrefix;  // empty: every question number
};

struct Hit {
  Kind kind;
  std::string numQ, field, pool;
  long long length;  // of the plain text
  int places;        // how often the query's phrases stand in the entry's words
};

// Calls back with the number and the values of `fields` of each question visited.
using QuestionVisitor = std::function<void(const std::string& numQ, const std::vector<store::Value>& values)>;

// Fills an index just emptied by clear(), question after question, with its statements made
// once; finish() brings the index into its compact form.
class Filler {
 public:
  virtual ~Filler() = default;
  virtual void add(const QuestionRef& q, const std::vector<Entry>& entries) = 0;
  virtual void finish() = 0;
};

// The backend of the index on one bank; present(), appliesTo() and the making and upgrading of
// its tables are those of an extension.
class Index : public store::ExtensionBackend {
 public:
  // ----- its tables
  // Before each search, in its transaction: whatever of the index's tables and triggers another
  // program took away since, or a question table made since (an import of a kind the bank
  // lacked) needs, is made again; nothing where they are whole. An index made here still needs
  // its first build.
  virtual void keepWhole() = 0;
  // Whether the index has been built over the whole bank (after that, the marks keep it whole).
  virtual bool built() = 0;

  // ----- writing (inside the caller's transaction)
  // Empties the index and its marks and counts it as not built.
  virtual void clear() = 0;
  virtual void setBuilt() = 0;
  // The questions marked as changed since they were indexed, each once; the marks are removed.
  virtual std::vector<QuestionRef> takeMarked() = 0;
  // Replaces the entries of one question (none: it is gone from the index).
  virtual void putEntries(const QuestionRef& q, const std::vector<Entry>& entries) = 0;
  // Whether so many replaced entries linger that the index is better built again.
  virtual bool tooManyDeadEntries() = 0;
  virtual std::unique_ptr<Filler> filler() = 0;

  // ----- reading the questions to index
  // The values of `fields` of every question of the kind (only numQ's when given), in number
  // order; nothing when the bank lacks the table.
  virtual void forEachQuestion(Kind kind, const std::vector<std::string>& fields, const QuestionVisitor& visit,
                               const std::string* numQ = nullptr) = 0;
  // The same for each of the questions numbered numQs that exists.
  virtual void forEachQuestionOf(Kind kind, const std::vector<std::string>& fields,
                                 const std::vector<std::string>& numQs, const QuestionVisitor& visit) = 0;
  virtual long long countQuestions(Kind kind) = 0;

  // ----- searching
  // Every entry that the query matches, within the filter, with its places counted from the
  // index alone (no plain text is read). An empty query matches nothing.
  virtual std::vector<Hit> matchEntries(const TermQuery& query, const Filter& filter) = 0;
};

// The query's phrases as the index's tokens, which each backend writes in its syntax: a term is
// cut at every ASCII character that is not a letter or a digit (no token the index keeps holds
// one, and the file's engine cuts its words there too), its ASCII letters in lower case, and a
// prefix term's last piece is the prefix. Empty terms and phrases are left out.
std::vector<Phrase> tokenPhrases(const TermQuery& query);

// The index as an extension of the bank, for each program to register before it opens a bank.
const store::Extension& extension();

// The index of the bank that conn has open: the backend that the store made for its engine as
// it opened the bank. 3704 when conn is closed; a DbError when the database keeps no index (the
// user tables) or the program did not register it.
Index& indexOf(store::Connection& conn);

// The kind an index row names (it was written by this program: anything else is a fault).
Kind indexedKind(std::string_view name);

}  // namespace search::index
