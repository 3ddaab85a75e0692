#include "bank_search.h"

#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include "db_error.h"
#include "field_labels.h"
#include "operation.h"
#include "plain_text.h"
#include "rtf/rtf_reader.h"
#include "rtf/rtf_writer.h"
#include "statements.h"
#include "text_fold.h"

namespace search {

namespace sidx = search::index;
using store::Value;
using bank::schema::FieldType;
using bank::schema::FieldWrite;

namespace {

// Text that the user reads as words: the answer letter and the passage number are written
// with the content but have no place among the searched text.
bool searched(Kind kind, const bank::schema::Field& f) {
  return (f.type == FieldType::Rtf || f.type == FieldType::Text) &&
         (f.write == FieldWrite::Content || f.write == FieldWrite::ContentIfGiven) &&
         !bank::fieldPlace(kind, f.name).empty();
}

FieldType typeOf(Kind kind, const std::string& field) {
  for (const bank::schema::Field& f : bank::schema::kindEntry(kind).fields)
    if (field == f.name) return f.type;
  return FieldType::Text;
}

// The field that names the question's group: its pool, or for essay topics their type.
const char* poolField(Kind kind) { return bank::schema::fieldFor(kind, bank::schema::Holds::Pool); }

// The essay topics' types, as stored and as shown.
constexpr std::pair<const char*, const char*> kEssayTypes[] = {{"A", "Argument"}, {"I", "Issue"}};

// The filter as the index reads it, or nothing when no question can pass it. The index keeps
// an essay topic's type as its stored letter: a pool named as the program shows a type
// ("Argument") stands for the topics of that type alone (other kinds' pools are a letter and
// a number).
std::optional<sidx::Filter> indexFilter(sidx::Filter filter) {
  for (const auto& [stored, shown] : kEssayTypes) {
    if (QString::fromStdString(filter.pool).compare(QLatin1String(shown), Qt::CaseInsensitive) != 0) continue;
    if (!filter.kinds.empty() && std::find(filter.kinds.begin(), filter.kinds.end(), Kind::AWA) == filter.kinds.end())
      return std::nullopt;
    filter.kinds = {Kind::AWA};
    filter.pool = stored;
  }
  return filter;
}

std::vector<std::string> readFields(Kind kind) {
  std::vector<std::string> f = searchedFields(kind);
  f.push_back(poolField(kind));
  return f;
}

// The search's plain text of stored values: one character for each break, so that a place in it
// is the same place in the rich-text box's document, where the Find window marks it.
class PlainText {
 public:
  QString of(Kind kind, const std::string& field, const Value& value) { return maker_.of(typeOf(kind, field), value); }

 private:
  bank::PlainText maker_{bank::Breaks::OneCharacter};
};

std::vector<sidx::Entry> entriesOf(PlainText& plain, Kind kind, const std::vector<Value>& values) {
  const std::vector<std::string>& fields = searchedFields(kind);
  const std::string pool = values.back().isNull() ? std::string() : values.back().toString();
  std::vector<sidx::Entry> entries;
  for (size_t i = 0; i < fields.size(); ++i) {
    const QString text = plain.of(kind, fields[i], values[i]);
    std::string words = indexWords(text);
    if (words.empty()) continue;
    entries.push_back({fields[i], pool, std::move(words), text.size()});
  }
  return entries;
}

// Questions of one kind as read for a whole build, a few hundred at a time.
struct Batch {
  Kind kind;
  std::vector<std::string> numQs;
  std::vector<std::vector<Value>> values;
};
constexpr size_t kBuildBatch = 500;

// The entries of each question of the batch; runs on a thread of its own, with its own document.
std::vector<std::vector<sidx::Entry>> entriesOf(const Batch& batch) {
  PlainText plain;
  std::vector<std::vector<sidx::Entry>> entries;
  entries.reserve(batch.values.size());
  for (const std::vector<Value>& v : batch.values) entries.push_back(entriesOf(plain, batch.kind, v));
  return entries;
}

void indexWhole(sidx::Index& idx, const Progress& progress) {
  idx.clear();
  long long total = 0, done = 0;
  for (Kind k : bank::schema::kAllKinds) total += idx.countQuestions(k);
  const std::unique_ptr<sidx::Filler> filler = idx.filler();
  int shown = -1;
  // Converting the RTF and writing the index take about as long each: a batch is converted
  // on a second thread while the entries of the batch before it are written here.
  struct Converting {
    std::shared_ptr<const Batch> batch;
    std::future<std::vector<std::vector<sidx::Entry>>> entries;
  };
  auto write = [&](Converting& c) {
    const std::vector<std::vector<sidx::Entry>> entries = c.entries.get();
    for (size_t i = 0; i < entries.size(); ++i) {
      filler->add({c.batch->kind, c.batch->numQs[i]}, entries[i]);
      const int percent = total ? static_cast<int>(++done * 100 / total) : 100;
      if (progress && percent != shown) progress(shown = percent);
    }
  };
  std::optional<Converting> previous;
  auto handOver = [&](Batch& batch) {
    auto read = std::make_shared<const Batch>(std::move(batch));
    batch = Batch{read->kind, {}, {}};
    Converting next{read, std::async(std::launch::async, [read] { return entriesOf(*read); })};
    if (previous) write(*previous);
    previous = std::move(next);
  };
  for (Kind k : bank::schema::kAllKinds) {
    Batch batch{k, {}, {}};
    idx.forEachQuestion(k, readFields(k), [&](const std::string& numQ, const std::vector<Value>& values) {
      batch.numQs.push_back(numQ);
      batch.values.push_back(values);
      if (batch.numQs.size() == kBuildBatch) handOver(batch);
    });
    if (!batch.numQs.empty()) handOver(batch);
  }
  if (previous) write(*previous);
  filler->finish();
  idx.setBuilt();
  if (progress && shown != 100) progress(100);
}

void indexOne(sidx::Index& idx, PlainText& plain, Kind kind, const std::string& numQ) {
  std::vector<sidx::Entry> entries;
  idx.forEachQuestion(
      kind, readFields(kind),
      [&](const std::string&, const std::vector<Value>& values) { entries = entriesOf(plain, kind, values); }, &numQ);
  idx.putEntries({kind, numQ}, entries);
}

void updateWithin(store::Connection& conn, const Progress& progress) {
  sidx::Index& idx = sidx::indexOf(conn);
  idx.keepWhole();
  if (!idx.built()) {
    indexWhole(idx, progress);
    return;
  }
  PlainText plain;
  const std::vector<sidx::QuestionRef> marked = idx.takeMarked();
  for (const sidx::QuestionRef& q : marked) indexOne(idx, plain, q.kind, q.numQ);
  if (!marked.empty() && idx.tooManyDeadEntries()) indexWhole(idx, progress);
}

int fieldOrder(Kind kind, const std::string& field) {
  const std::vector<std::string>& f = searchedFields(kind);
  return static_cast<int>(std::find(f.begin(), f.end(), field) - f.begin());
}

}  // namespace

const std::vector<std::string>& searchedFields(Kind kind) {
  static const std::vector<std::vector<std::string>> all = [] {
    std::vector<std::vector<std::string>> v;
    for (Kind k : bank::schema::kAllKinds) {
      std::vector<std::string> fields;
      for (const bank::schema::Field& f : bank::schema::kindEntry(k).fields)
        if (searched(k, f)) fields.push_back(f.name);
      v.push_back(fields);
    }
    return v;
  }();
  return all[static_cast<size_t>(kind)];
}

QString whereOf(Kind kind, const std::string& field) {
  const std::string place = bank::fieldPlace(kind, field);
  return QString::fromStdString(place.empty() ? field : place);
}

QString poolShown(Kind kind, const std::string& pool) {
  if (kind == Kind::AWA)
    for (const auto& [stored, shown] : kEssayTypes)
      if (pool == stored) return QLatin1String(shown);
  return QString::fromStdString(pool);
}

QString plainTextOf(Kind kind, const std::string& field, const Value& value) {
  PlainText plain;
  return plain.of(kind, field, value);
}

void rebuildIndex(store::Connection& conn, const Progress& progress) {
  sidx::Index& idx = sidx::indexOf(conn);
  store::Transaction t(conn);
  idx.keepWhole();
  indexWhole(idx, progress);
  t.commit();
}

void reindexQuestion(store::Connection& conn, Kind kind, const std::string& numQ) {
  PlainText plain;
  indexOne(sidx::indexOf(conn), plain, kind, numQ);
}

std::vector<Result> rankedHits(store::Connection& conn, const Query& query, const sidx::Filter& filter,
                               const Progress& progress) {
  if (query.empty()) return {};
  if (const std::string tooLong = tooLongQuery(query); !tooLong.empty())
    throw store::DbError(store::err::CommandError, tooLong);
  const std::optional<sidx::Filter> within = indexFilter(filter);
  if (!within) return {};
  std::vector<sidx::Hit> hits;
  {
    store::Transaction t(conn);
    updateWithin(conn, progress);
    hits = sidx::indexOf(conn).matchEntries(termQuery(query), *within);
    t.commit();
  }
  // Sorted by packed keys and an index, the hits themselves moved once: a frequent word has
  // tens of thousands of hits, many of them alike in places, length and kind, and comparing
  // their numbers in the hits themselves took longer than the engine's match.
  struct Order {
    std::uint64_t key;     // most places, then the shorter text, then the kind
    std::uint64_t number;  // the number's first eight bytes, in the order of their comparison
    std::uint32_t at;
    int field;
  };
  std::vector<Order> order(hits.size());
  for (size_t i = 0; i < hits.size(); ++i) {
    const sidx::Hit& h = hits[i];
    const std::uint64_t fewerPlaces = 0xFFFF - static_cast<std::uint64_t>(std::clamp(h.places, 0, 0xFFFF));
    const std::uint64_t length = static_cast<std::uint64_t>(std::clamp<long long>(h.length, 0, (1LL << 40) - 1));
    std::uint64_t number = 0;
    for (size_t k = 0; k < 8; ++k)
      number = number << 8 | (k < h.numQ.size() ? static_cast<unsigned char>(h.numQ[k]) : 0u);
    order[i] = {fewerPlaces << 44 | length << 4 | static_cast<std::uint64_t>(h.kind), number,
                static_cast<std::uint32_t>(i), fieldOrder(h.kind, h.field)};
  }
  std::sort(order.begin(), order.end(), [&](const Order& a, const Order& b) {
    if (a.key != b.key) return a.key < b.key;
    if (a.number != b.number) return a.number < b.number;
    if (hits[a.at].numQ != hits[b.at].numQ) return hits[a.at].numQ < hits[b.at].numQ;
    return a.field != b.field ? a.field < b.field : a.at < b.at;
  });
  std::vector<Result> results;
  results.reserve(hits.size());
  for (const Order& o : order) {
    sidx::Hit& h = hits[o.at];
    results.push_back({h.kind, std::move(h.numQ), std::move(h.pool), std::move(h.field), {}, h.places, {}});
  }
  return results;
}

void markPlaces(store::Connection& conn, std::vector<Result>& results, size_t from, size_t to, const Query& query) {
  to = std::min(to, results.size());
  if (from >= to) return;
  // The index keeps no text: each question of the batch is read once and its fields made
  // into plain text again, as they were when indexed.
  std::map<std::pair<Kind, std::string>, std::vector<Value>> stored;
  for (Kind k : bank::schema::kAllKinds) {
    std::set<std::string> numQs;
    for (size_t i = from; i < to; ++i)
      if (results[i].kind == k) numQs.insert(results[i].numQ);
    sidx::indexOf(conn).forEachQuestionOf(k, searchedFields(k), {numQs.begin(), numQs.end()},
                            [&](const std::string& numQ, const std::vector<Value>& v) { stored[{k, numQ}] = v; });
  }
  PlainText plain;
  for (size_t i = from; i < to; ++i) {
    Result& r = results[i];
    const auto it = stored.find({r.kind, r.numQ});
    r.plain = it == stored.end() ? QString()
                                 : plain.of(r.kind, r.field, it->second[static_cast<size_t>(fieldOrder(r.kind, r.field))]);
    r.ranges = findInText(r.plain, query);
  }
}

std::vector<Result> searchBank(store::Connection& conn, const Query& query, const sidx::Filter& filter,
                               const Progress& progress, const std::function<void(const std::vector<Result>&)>& found) {
  std::vector<Result> results = rankedHits(conn, query, filter, progress);
  for (size_t from = 0, end = 0; from < results.size(); from = end) {
    end = std::min(results.size(), from + (from == 0 ? kFirstBatch : kBatch));
    markPlaces(conn, results, from, end, query);
    if (found)
      found(std::vector<Result>(results.begin() + static_cast<long>(from), results.begin() + static_cast<long>(end)));
  }
  return results;
}

// ----- Replace

namespace {

// The question as Replace finds it again: every field by name, and the whole row to compare
// (a change to any column, the answer or a size too, refuses the replace).
std::optional<bank::Record> storedQuestion(store::Connection& conn, Kind kind, const std::string& numQ,
                                           std::vector<Value>* row) {
  return bank::readRecord(conn, bank::wholeRecordFields(kind), numQ, row);
}

QString oneLine(QString s) {
  for (QChar& c : s)
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t')) c = QLatin1Char(' ');
  return s;
}

// The field's value with the ranges (of its plain text, in text order) replaced by `with`.
Value replacedValue(Kind kind, const std::string& field, const Value& stored, std::vector<Range> ranges,
                    const QString& with) {
  std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.start > b.start; });
  const std::string raw = stored.toString();
  if (typeOf(kind, field) != FieldType::Rtf) {
    QString text = QString::fromStdString(raw);
    for (const Range& r : ranges) text.replace(r.start, r.length, with);
    return Value(text.toStdString());
  }
  // Inside the document, so that every run around a replaced place keeps its format.
  QTextDocument doc;
  ui::rtf::readRtf(QByteArray(raw.data(), static_cast<qsizetype>(raw.size())), doc);
  for (const Range& r : ranges) {
    QTextCursor cursor(&doc);
    cursor.setPosition(r.start + 1);
    const QTextCharFormat format = cursor.charFormat();  // that of the first character replaced
    cursor.setPosition(r.start);
    cursor.setPosition(r.start + r.length, QTextCursor::KeepAnchor);
    cursor.insertText(with, format);
  }
  const QByteArray rtf = ui::rtf::writeRtf(doc);
  return Value(std::string(rtf.constData(), static_cast<size_t>(rtf.size())));
}

}  // namespace

ReplacePlan prepareReplace(store::Connection& conn, const std::vector<Result>& results, const Query& query) {
  ReplacePlan plan;
  std::map<std::pair<Kind, std::string>, bool> seen;
  // Only the fields among the results (the hits in view).
  std::set<std::tuple<Kind, std::string, std::string>> inView;
  for (const Result& r : results) inView.insert({r.kind, r.numQ, r.field});
  PlainText plain;
  for (const Result& r : results) {
    if (seen[{r.kind, r.numQ}]) continue;
    seen[{r.kind, r.numQ}] = true;
    std::vector<Value> row;
    std::optional<bank::Record> values = storedQuestion(conn, r.kind, r.numQ, &row);
    if (!values) continue;
    const std::vector<std::string>& fields = searchedFields(r.kind);
    for (size_t i = 0; i < fields.size(); ++i) {
      if (!inView.contains({r.kind, r.numQ, fields[i]})) continue;
      const QString text = plain.of(r.kind, fields[i], values->at(fields[i]));
      const int size = static_cast<int>(text.size());
      for (const Range& range : findInText(text, query)) {
        // About 30 characters each side, on whole words.
        const int end = range.start + range.length;
        const int from = startOnWord(text, std::max(0, range.start - 30), range.start);
        const int to = endOnWord(text, std::min(size, end + 30), end);
        plan.occurrences.push_back({r.kind, r.numQ, fields[i], range, text.mid(range.start, range.length),
                                    (from > 0 ? QStringLiteral("…") : QString()) + oneLine(text.mid(from, range.start - from)),
                                    oneLine(text.mid(end, to - end)) + (to < size ? QStringLiteral("…") : QString())});
      }
    }
    plan.questions.push_back({r.kind, r.numQ, std::move(*values), std::move(row)});
  }
  return plan;
}

int applyReplace(store::Connection& conn, const ReplacePlan& plan, const std::vector<bool>& accepted,
                 const QString& with) {
  bank::OperationTag tag(conn, bank::Operation::Replace);
  store::Transaction t(conn);
  int replaced = 0;
  for (const ReplacePlan::Stored& q : plan.questions) {
    // The accepted places of this question, by field.
    std::map<std::string, std::vector<Range>> byField;
    for (size_t i = 0; i < plan.occurrences.size(); ++i) {
      const Occurrence& o = plan.occurrences[i];
      if (i < accepted.size() && accepted[i] && o.kind == q.kind && o.numQ == q.numQ) byField[o.field].push_back(o.range);
    }
    if (byField.empty()) continue;
    // Held until the commit, so that no other editor changes it between the check and the write.
    conn.holdRows(store::statements::questionSource(bank::schema::tableName(q.kind), q.numQ));
    std::vector<Value> now;
    const bool exists = storedQuestion(conn, q.kind, q.numQ, &now).has_value();
    const std::string name = std::string(bank::schema::kindName(q.kind)) + " question " + q.numQ;
    if (!exists)
      throw store::DbError(store::err::Generic,
                           name + " no longer exists: another program has deleted it since the search. Nothing was replaced.");
    if (now != q.row)
      throw store::DbError(store::err::Generic,
                           name + " was changed by another program since the search. Nothing was replaced; search again.");
    std::vector<std::pair<std::string, Value>> changed;
    for (auto& [field, ranges] : byField) {
      replaced += static_cast<int>(ranges.size());
      changed.emplace_back(field, replacedValue(q.kind, field, q.values.at(field), ranges, with));
    }
    bank::writeFields(conn, bank::schema::tableName(q.kind), q.numQ, changed);
    reindexQuestion(conn, q.kind, q.numQ);
  }
  t.commit();
  tag.commit();
  return replaced;
}

}  // namespace search
