#pragma once
// The search index of a bank on a PostgreSQL server, with the server's own full-text facilities:
// one row per searched field of each question in zx_search, its tokens as a tsvector (each token
// a lexeme at its place, taken as the search layer made it, so that the server's parser and
// dictionaries change nothing) under a GIN index (a hit's text is made again from its question when it is shown). PL/pgSQL
// triggers on every question table mark each question that any client inserts, changes or
// deletes, in that client's transaction; the marked questions are indexed again before the next
// search. The same calls as the file's index (search_index.h), which hands them over here.

#include <string>
#include <string_view>
#include <vector>

#include "search_index.h"

namespace store::search_index {

// The kind an index row names (it was written by this program: anything else is a fault).
schema::Kind indexedKind(std::string_view name);

}  // namespace store::search_index

namespace store::search_index::server {

// The tables, the trigger function and the triggers of the index, for a bank made on a server
// (without a transaction of their own). The index is empty and not built.
std::string indexSql();

bool present(Connection& conn);
void ensure(Connection& conn);
bool built(Connection& conn);
void clear(Connection& conn);
void setBuilt(Connection& conn);
std::vector<QuestionRef> takeMarked(Connection& conn);
void putEntries(Connection& conn, const QuestionRef& q, const std::vector<Entry>& entries);
void forEachQuestion(Connection& conn, schema::Kind kind, const std::vector<std::string>& fields,
                     const QuestionVisitor& visit, const std::string* numQ);
void forEachQuestionOf(Connection& conn, schema::Kind kind, const std::vector<std::string>& fields,
                       const std::vector<std::string>& numQs, const QuestionVisitor& visit);
long long countQuestions(Connection& conn, schema::Kind kind);
std::vector<Hit> matchEntries(Connection& conn, const std::string& matchExpression, const Filter& filter);

// Writes the entries of many questions in few statements.
class Filler {
 public:
  explicit Filler(Connection& conn) : conn_(conn) {}
  void add(const QuestionRef& q, const std::vector<Entry>& entries);
  void finish() { flush(); }

 private:
  void flush();
  Connection& conn_;
  std::vector<std::pair<QuestionRef, Entry>> pending_;
};

}  // namespace store::search_index::server
