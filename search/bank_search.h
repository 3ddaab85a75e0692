#pragma once
// Search and replace over the whole bank: the searched fields of each kind and their plain
// text, keeping the bank's index up to date, the search itself with its hits ranked, and
// Replace over chosen hits. No windows: the Find window and the bank tool call these.

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "connection.h"
#include "kind_registry.h"
#include "query.h"
#include "question_record.h"
#include "search_index.h"
#include "value.h"

namespace search {

using bank::schema::Kind;

// The fields of a kind that are searched, in stored order: the stem or topic, the passage,
// the statements and the choices.
const std::vector<std::string>& searchedFields(Kind kind);
// Where in a question a field is, as the user reads it: "stem", "passage", "statement 1",
// "choice A", "topic".
QString whereOf(Kind kind, const std::string& field);
// A question's group as the program shows it: its pool, or for an essay topic its type
// ("Argument", "Issue") rather than the letter stored for it.
QString poolShown(Kind kind, const std::string& pool);
// The plain text of a stored field value: RTF through the rich-text reader (a paragraph
// break as one "\n", so that places in it are places in the box's document), other text as
// it is.
QString plainTextOf(Kind kind, const std::string& field, const store::Value& value);

// Called with how much of a long job is done, 0..100.
using Progress = std::function<void(int percent)>;

// Builds the index again from the whole bank.
void rebuildIndex(store::Connection& conn, const Progress& progress = {});
// Indexes one question again (after a write of this program, inside its transaction).
void reindexQuestion(store::Connection& conn, Kind kind, const std::string& numQ);

struct Result {
  Kind kind;
  std::string numQ, pool, field;
  QString plain;              // read by markPlaces
  int places = 0;             // how often the query stands in the field, as the index counts it
  std::vector<Range> ranges;  // where the query stands in plain, found by markPlaces
};

// How many hits the Find window shows at a time (and the tool prints): a first batch of two
// screens, so that the list appears as soon as the engine has answered, then larger ones.
constexpr size_t kFirstBatch = 50;
constexpr size_t kBatch = 200;

// The hits of the query within the filter, best first (a filter's pool may be any pool name
// that poolShown gives): most places found, then the shorter
// text, then by kind and number; their places are not marked yet. The index is brought up to
// date first, in the same transaction, so that no hit is gone and none is missed. Everything
// comes from the index: no hit's text is read for words here.
std::vector<Result> rankedHits(store::Connection& conn, const Query& query, const index::Filter& filter,
                               const Progress& progress = {});
// Reads the plain text of results [from, to) (clipped) from their questions and finds their
// ranges, for the batch about to be shown (a question gone since: no text, no ranges).
void markPlaces(store::Connection& conn, std::vector<Result>& results, size_t from, size_t to, const Query& query);

// The ranked hits with every place marked. `found` receives them in batches (kFirstBatch,
// then kBatch each), each marked just before it is handed over.
std::vector<Result> searchBank(store::Connection& conn, const Query& query, const index::Filter& filter,
                               const Progress& progress = {},
                               const std::function<void(const std::vector<Result>&)>& found = {});

// ----- Replace
// One place to replace, in its question's field as stored when the replace was prepared.
struct Occurrence {
  Kind kind;
  std::string numQ, field;
  Range range;
  QString found;          // the text that stands there
  QString before, after;  // the context around it, on one line, on whole words ("…" where cut)
};

struct ReplacePlan {
  std::vector<Occurrence> occurrences;
  // Each question concerned, as read (the changed-elsewhere check compares its whole row: a
  // change to any field refuses the replace).
  struct Stored {
    Kind kind;
    std::string numQ;
    bank::Record values;           // every field of the kind, by name
    std::vector<store::Value> row;  // every column, in table order
  };
  std::vector<Stored> questions;
};

// Reads the questions of the results as stored now and finds every place of the query in
// their searched fields.
ReplacePlan prepareReplace(store::Connection& conn, const std::vector<Result>& results, const Query& query);

// Writes `with` in place of each accepted occurrence (accepted[i] for occurrence i), in one
// transaction, keeping the formatting of the text around each (the replacement takes the
// format of the first character it replaces). A question changed in any field (not only the
// searched ones) or deleted since the plan was prepared refuses the whole replace: DbError
// naming it, and nothing is written.
// Returns the number of places replaced.
int applyReplace(store::Connection& conn, const ReplacePlan& plan, const std::vector<bool>& accepted,
                 const QString& with);

}  // namespace search
