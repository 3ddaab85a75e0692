#pragma once
// The bank's full-text index: one entry per searched field of each question (its words as
// the search layer tokenised them, and what a search ranks by), kept in zx_search tables.
// The plain text itself is not kept: a hit's text is made again from the question when the
// hit is shown. Triggers on every question table mark each question that any program
// inserts, changes or deletes; the marked questions are indexed again before the next
// search, so that the index is never stale. The triggers use nothing but the engine's own
// SQL, so that any other program can still write the bank. A bank on a server keeps its index
// with the server's own full-text facilities (search_index_server.h); the calls are the same.
// Knows nothing of RTF or of how words are made: the search layer above gives the words.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "connection.h"
#include "schema.h"
#include "value.h"

namespace store::search_index {

// One searched field of a question, as the index keeps it.
struct Entry {
  std::string field;  // the column: "question", "choiceA", ...
  std::string pool;   // the question's pool (AWA: its type)
  std::string words;  // normalised tokens separated by blanks
  long long length;   // the length of the field's plain text in UTF-16 units
};

// Makes the index's tables and the triggers on every question table the bank has; nothing
// where they exist already. A bank that gets them here still needs its first build.
void ensureSearchIndex(Connection& conn);
bool searchIndexPresent(Connection& conn);
// Whether the index has been built over the whole bank (after that, the marks keep it whole).
bool searchIndexBuilt(Connection& conn);

// ----- writing (inside the caller's transaction)
// Empties the index and its marks and counts it as not built.
void clearSearchIndex(Connection& conn);
void setSearchIndexBuilt(Connection& conn);
// The questions marked as changed since they were indexed, each once; the marks are removed.
struct QuestionRef {
  schema::Kind kind;
  std::string numQ;
  bool operator<(const QuestionRef& o) const { return kind != o.kind ? kind < o.kind : numQ < o.numQ; }
};
std::vector<QuestionRef> takeMarkedQuestions(Connection& conn);
// Replaces the entries of one question (none: it is gone from the index). The entries it
// replaces stay in the engine's words table, dead: no search returns them.
void putEntries(Connection& conn, const QuestionRef& q, const std::vector<Entry>& entries);
// Whether so many entries are dead that the index is better built again (on a file).
bool tooManyDeadEntries(Connection& conn);
namespace server {
class Filler;
}
// Fills an index just emptied by clearSearchIndex, question after question, with its
// statements made once; finish() merges the index into its compact form.
class Filler {
 public:
  explicit Filler(Connection& conn);
  ~Filler();
  Filler(const Filler&) = delete;
  Filler& operator=(const Filler&) = delete;
  void add(const QuestionRef& q, const std::vector<Entry>& entries);
  void finish();

  struct Statements;

 private:
  std::unique_ptr<Statements> st_;
  long long cacheSize_ = 0;
  std::unique_ptr<server::Filler> server_;  // on a bank on a server, instead of st_
};

// ----- reading the questions to index
// Calls back with the number and the values of `fields` of every question of the kind
// (only numQ's when given), in number order; nothing when the bank lacks the table.
using QuestionVisitor = std::function<void(const std::string& numQ, const std::vector<Value>& values)>;
void forEachQuestion(Connection& conn, schema::Kind kind, const std::vector<std::string>& fields,
                     const QuestionVisitor& visit, const std::string* numQ = nullptr);
// The same for each of the questions numbered numQs that exists, with one statement.
void forEachQuestionOf(Connection& conn, schema::Kind kind, const std::vector<std::string>& fields,
                       const std::vector<std::string>& numQs, const QuestionVisitor& visit);
long long countQuestions(Connection& conn, schema::Kind kind);

// ----- searching
struct Filter {
  std::vector<schema::Kind> kinds;  // empty: every kind
  std::string pool;                 // empty: every pool (compared without regard to case)
  std::string numberPrefix;         // empty: every question number
};
struct Hit {
  schema::Kind kind;
  std::string numQ, field, pool;
  long long length;  // of the plain text
  int places;        // how often the expression's phrases stand in the entry's words
};
// Every entry whose words match the engine's full-text expression, within the filter, with
// its places counted by the engine from the index alone (no plain text is read).
std::vector<Hit> matchEntries(Connection& conn, const std::string& matchExpression, const Filter& filter);

}  // namespace store::search_index
