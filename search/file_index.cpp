#include "file_index.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "dialect.h"

namespace search::index {

namespace {

using store::Engine;
using store::Value;

std::string ident(const std::string& name) { return "[" + name + "]"; }
std::string literal(const std::string& text) { return store::textLiteral(text); }

// The columns whose change can change what the index holds of a question: its number, its
// pool (or type) and every text column.
std::string watchedColumns(Kind k) {
  std::string cols = "numQ";
  for (const bank::schema::Field& f : bank::schema::kindEntry(k).fields)
    if (f.type == bank::schema::FieldType::Rtf || f.type == bank::schema::FieldType::Text) cols += ", " + ident(f.name);
  return cols;
}

std::string triggerName(Kind k, const char* event) {
  return "zx_search_" + std::string(bank::schema::tableName(k)) + "_" + event;
}

// Marks each question that a statement of any program inserts, changes or deletes: the triggers
// of kind k by name, with the text that the file's catalogue keeps of them.
std::vector<std::pair<std::string, std::string>> triggersOf(Kind k) {
  const std::string table = ident(bank::schema::tableName(k));
  // Until the first build there is nothing to keep up to date: the build reads every question.
  auto mark = [&](const char* row) {
    return "INSERT INTO zx_search_marks (kind, numQ) SELECT " + literal(bank::schema::kindName(k)) + ", " + row +
           ".numQ FROM zx_search_state WHERE built = 1; ";
  };
  return {{triggerName(k, "insert"),
           "CREATE TRIGGER " + ident(triggerName(k, "insert")) + " AFTER INSERT ON " + table + " BEGIN " + mark("new") + "END"},
          {triggerName(k, "update"), "CREATE TRIGGER " + ident(triggerName(k, "update")) + " AFTER UPDATE OF " +
                                         watchedColumns(k) + " ON " + table + " BEGIN " + mark("old") + mark("new") + "END"},
          {triggerName(k, "delete"),
           "CREATE TRIGGER " + ident(triggerName(k, "delete")) + " AFTER DELETE ON " + table + " BEGIN " + mark("old") + "END"}};
}

// The places of a hit from the engine's match information 'py' (32-bit words in the
// machine's order): the number of phrases, then for each phrase its matches in the one column.
int placesOf(const std::string& matchinfo) {
  std::vector<std::uint32_t> words(matchinfo.size() / sizeof(std::uint32_t));
  std::memcpy(words.data(), matchinfo.data(), words.size() * sizeof(std::uint32_t));
  int places = 0;
  for (size_t i = 1; i < words.size() && i <= words[0]; ++i) places += static_cast<int>(words[i]);
  return places;
}

// The engine's words table holds only the index, not the words a second time ("contentless"):
// it cannot delete its rows, so an entry written again gets a new docid and the old one is left
// behind, dead (its question's row is gone, so no search returns it).
//
// One row per indexed question says what a search ranks by: its kind, number and pool, and the
// field (a letter) and length of each of its entries. An entry's docid is its question's row number times
// kSlots plus its place among the question's entries, so that neither needs a table or an index
// of its own: on a bank of short choices, rows and index entries per field took more room than
// the words themselves. Question row numbers are never reused, so that a dead entry can never be
// taken for a new one.
constexpr long long kSlots = 16;
const char* const kCreateWords = "CREATE VIRTUAL TABLE IF NOT EXISTS zx_search USING fts4(words, content=\"\", tokenize=simple);";
const char* const kCreateQuestions =
    "CREATE TABLE IF NOT EXISTS zx_search_questions (qid INTEGER PRIMARY KEY AUTOINCREMENT, kind TEXT NOT NULL, "
    "numQ TEXT NOT NULL COLLATE NOCASE, pool TEXT COLLATE NOCASE, fields TEXT NOT NULL, lengths TEXT NOT NULL, "
    "entries INTEGER NOT NULL);";
const char* const kCreateQuestionsIndex =
    "CREATE INDEX IF NOT EXISTS zx_search_questions_number ON zx_search_questions (kind, numQ);";
const char* const kInsertQuestion =
    "INSERT INTO zx_search_questions (kind, numQ, pool, fields, lengths, entries) VALUES (?1, ?2, ?3, ?4, ?5, ?6);";
const char* const kInsertWords = "INSERT INTO zx_search (docid, words) VALUES (?1, ?2);";

// Dead entries slow the searches down a little and take room: once they are more than a
// quarter of all entries written since the last build (and not a handful), the index is built
// again at the next search.
constexpr long long kFewestDeadToRebuild = 1000;

long long integer(Engine& e, const std::string& sql, const std::vector<Value>& params = {}) {
  auto rows = e.query(sql, params);
  return rows->next() ? rows->column(0).toInt() : 0;
}

void runKept(Engine& e, const char* sql, const std::vector<Value>& params) {
  auto rows = e.queryKept(sql, params);
  while (rows->next()) {
  }
}

// A searched field as its question's row names it: one letter, its place among the kind's fields
// ('A' the first), a tenth of the room of its name in a bank of short choices.
char fieldCode(Kind k, const std::string& name) {
  const std::vector<bank::schema::Field>& fields = bank::schema::kindEntry(k).fields;
  for (size_t i = 0; i < fields.size() && i < 58; ++i)
    if (fields[i].name == name) return static_cast<char>('A' + i);
  throw store::DbError(store::err::Generic, "The search index knows no field " + name + " of " + bank::schema::kindName(k) + ".");
}

// The field's name from its letter; empty for a letter that names none.
std::string fieldNamed(Kind k, char code) {
  const std::vector<bank::schema::Field>& fields = bank::schema::kindEntry(k).fields;
  const int i = code - 'A';
  return i >= 0 && static_cast<size_t>(i) < fields.size() ? std::string(fields[static_cast<size_t>(i)].name) : std::string();
}

// Adds the entries of one question with statements the engine keeps for the next question; the
// number of entries written.
long long addEntries(Engine& e, const QuestionRef& q, const std::vector<Entry>& entries) {
  if (entries.empty()) return 0;
  if (entries.size() > static_cast<size_t>(kSlots))
    throw store::DbError(store::err::Generic, "The search index holds at most 16 fields of a question.");
  std::string fields, lengths;
  for (const Entry& entry : entries) {
    fields += fieldCode(q.kind, entry.field);
    lengths += (lengths.empty() ? "" : " ") + std::to_string(entry.length);
  }
  const long long qid =
      e.writeRow(kInsertQuestion,
                 {Value(bank::schema::kindName(q.kind)), Value(q.numQ), Value(entries.front().pool), Value(fields),
                  Value(lengths), Value(static_cast<long long>(entries.size()))},
                 Value())
          .toInt();
  for (size_t slot = 0; slot < entries.size(); ++slot)
    runKept(e, kInsertWords, {Value(qid * kSlots + static_cast<long long>(slot)), Value(entries[slot].words)});
  return static_cast<long long>(entries.size());
}

// The slot's word of a blank-separated list ("12 5").
std::string wordAt(const std::string& list, long long slot) {
  size_t at = 0;
  for (long long i = 0; i < slot && at != std::string::npos; ++i) {
    at = list.find(' ', at);
    if (at != std::string::npos) ++at;
  }
  if (at == std::string::npos) return {};
  return list.substr(at, list.find(' ', at) - at);
}

class FileFiller : public Filler {
 public:
  explicit FileFiller(Engine& e) : e_(e) {
    cacheSize_ = integer(e_, "PRAGMA cache_size;");
    // The whole index is written in one transaction: a large cache keeps its pages from being
    // written out (and encrypted) again and again before the commit.
    e_.script("PRAGMA cache_size = -262144;");
    // The index of the question numbers is made once at the end, from the finished table,
    // instead of growing with every question.
    e_.script("DROP INDEX IF EXISTS zx_search_questions_number;");
  }
  ~FileFiller() override {
    try {
      e_.script("PRAGMA cache_size = " + std::to_string(cacheSize_) + ";");
    } catch (const store::DbError&) {
      // The cache stays large until the connection closes: nothing is lost.
    }
  }
  void add(const QuestionRef& q, const std::vector<Entry>& entries) override { written_ += addEntries(e_, q, entries); }
  void finish() override {
    e_.script(kCreateQuestionsIndex);
    e_.run("UPDATE zx_search_state SET written = written + ?1;", {Value(written_)});
    e_.script("INSERT INTO zx_search (zx_search) VALUES ('optimize');");
  }

 private:
  Engine& e_;
  long long cacheSize_ = 0;
  long long written_ = 0;
};

class FileIndex : public Index {
 public:
  explicit FileIndex(Engine& e) : e_(e) {}

  // The bank, not the user database beside it.
  bool appliesTo() override {
    for (Kind k : bank::schema::kAllKinds)
      if (e_.hasTable(bank::schema::tableName(k))) return true;
    return false;
  }
  // The tables and triggers are made at the first search or rebuild (keepWhole), not with the
  // bank: until then the triggers would make each write of a question keep a statement journal
  // of the pages it changes (each one more page to encrypt), in a bank that is never searched.
  void create() override {}
  // Whether the index's tables and triggers are as this program makes them (read from the
  // catalogue: cheap). An index that another program took apart is made again at the next search.
  bool settled() override { return !present() || structureFaults().empty(); }
  // Whatever the version: an index of an earlier layout is recognised by its tables and made
  // anew; a bank without one gets it at its first search.
  void upgrade(int /*from*/) override {
    if (present()) makeWhole();
  }
  std::vector<std::string> problems(int version) override {
    // No index yet is no fault: the first search makes it.
    if (version < 1 || !present()) return {};
    std::vector<std::string> out = structureFaults();
    if (out.empty()) {
      for (const std::string& f : recordFaults()) out.push_back(f);
      const long long strays = strayEntries();
      if (strays > 0)
        out.push_back(std::to_string(strays) + " entries of the search index name questions that do not exist");
    }
    for (std::string& line : out) line = "search index: " + line + " (the next search or 'reindex' builds it again)";
    return out;
  }

  std::vector<std::string> takeRepairNotes() override { return std::exchange(notes_, {}); }

  void keepWhole() override {
    // Each search comes here: the catalogue is looked at again only when some program changed it.
    const long long version = integer(e_, "PRAGMA schema_version;");
    if (version != checkedAt_) {
      // What this call makes is noted at the next one, once it is certain that it was kept: the
      // caller's transaction could still take it back, and the version with it.
      if (!makeWhole()) checkedAt_ = version;
    }
    // Once per connection, the index is held against its own records: entries that another
    // program deleted or added would give missing or phantom hits.
    if (!countsChecked_ && built()) {
      const std::vector<std::string> faults = recordFaults();
      if (!faults.empty()) {
        for (const std::string& f : faults) notes_.push_back(f + ": built again");
        clear();
      }
    }
    countsChecked_ = true;
  }

  // Any of its tables: another program may have dropped some of them.
  bool present() override {
    return e_.hasTable("zx_search_state") || e_.hasTable("zx_search_questions") || e_.hasTable("zx_search");
  }

  bool built() override {
    if (!present()) return false;
    auto rows = e_.query("SELECT built FROM zx_search_state;");
    return rows->next() && rows->column(0).toInt() == 1;
  }

  // Made anew from whatever state its tables are in: deleting its rows one by one would tokenise
  // every one of them again, and another program may have left them in any shape.
  void clear() override {
    e_.script("DROP TABLE IF EXISTS zx_search; DROP TABLE IF EXISTS zx_search_docs; DROP TABLE IF EXISTS zx_search_marks; "
              "DROP TABLE IF EXISTS zx_search_state; DROP TABLE IF EXISTS zx_search_texts; "
              "DROP TABLE IF EXISTS zx_search_questions;");
    createTables();
  }

  void setBuilt() override { e_.run("UPDATE zx_search_state SET built = 1;"); }

  std::vector<QuestionRef> takeMarked() override {
    std::set<QuestionRef> marked;
    auto rows = e_.query("SELECT DISTINCT kind, numQ FROM zx_search_marks WHERE numQ IS NOT NULL;");
    bool any = false;
    while (rows->next()) {
      marked.insert({indexedKind(rows->column(0).toString()), rows->column(1).toString()});
      any = true;
    }
    // Most searches find no marks: a DELETE of nothing would still make the search a write.
    if (!any) any = integer(e_, "SELECT count(*) FROM (SELECT 1 FROM zx_search_marks LIMIT 1);") > 0;
    if (any) e_.run("DELETE FROM zx_search_marks;");
    return std::vector<QuestionRef>(marked.begin(), marked.end());
  }

  void putEntries(const QuestionRef& q, const std::vector<Entry>& entries) override {
    const std::vector<Value> key{Value(bank::schema::kindName(q.kind)), Value(q.numQ)};
    const long long dead =
        integer(e_, "SELECT coalesce(sum(entries), 0) FROM zx_search_questions WHERE kind = ?1 AND numQ = ?2;", key);
    if (dead > 0) e_.run("DELETE FROM zx_search_questions WHERE kind = ?1 AND numQ = ?2;", key);
    const long long added = addEntries(e_, q, entries);
    if (dead > 0 || added > 0)
      runKept(e_, "UPDATE zx_search_state SET dead = dead + ?1, written = written + ?2;", {Value(dead), Value(added)});
  }

  bool tooManyDeadEntries() override {
    auto rows = e_.query("SELECT dead, written FROM zx_search_state;");
    if (!rows->next()) return false;
    const long long dead = rows->column(0).toInt(), written = rows->column(1).toInt();
    return dead >= kFewestDeadToRebuild && dead * 4 > written;
  }

  std::unique_ptr<Filler> filler() override { return std::make_unique<FileFiller>(e_); }

  void forEachQuestion(Kind kind, const std::vector<std::string>& fields, const QuestionVisitor& visit,
                       const std::string* numQ) override {
    if (!e_.hasTable(bank::schema::tableName(kind))) return;
    visitRows(*e_.query(questionsSql(kind, fields, numQ != nullptr), numQ ? std::vector<Value>{Value(*numQ)}
                                                                         : std::vector<Value>{}),
              fields.size(), visit);
  }

  void forEachQuestionOf(Kind kind, const std::vector<std::string>& fields, const std::vector<std::string>& numQs,
                         const QuestionVisitor& visit) override {
    if (numQs.empty() || !e_.hasTable(bank::schema::tableName(kind))) return;
    const std::string sql = questionsSql(kind, fields, true);
    for (const std::string& numQ : numQs) visitRows(*e_.queryKept(sql, {Value(numQ)}), fields.size(), visit);
  }

  long long countQuestions(Kind kind) override {
    if (!e_.hasTable(bank::schema::tableName(kind))) return 0;
    return integer(e_, "SELECT count(*) FROM " + ident(bank::schema::tableName(kind)) + " WHERE numQ IS NOT NULL;");
  }

  std::vector<Hit> matchEntries(const TermQuery& query, const Filter& filter) override {
    const std::string match = fileMatchText(query);
    if (match.empty()) return {};
    keepIndexInMemory();
    std::string sql =
        "SELECT q.kind, q.numQ, s.docid % " + std::to_string(kSlots) + ", q.pool, q.fields, q.lengths, "
        "matchinfo(s.zx_search, 'py') FROM zx_search s JOIN zx_search_questions q ON q.qid = s.docid / " +
        std::to_string(kSlots) + " WHERE s.words MATCH ?1";
    std::vector<Value> params{Value(match)};
    if (!filter.kinds.empty()) {
      sql += " AND q.kind IN (";
      for (size_t i = 0; i < filter.kinds.size(); ++i)
        sql += (i ? ", " : "") + literal(bank::schema::kindName(filter.kinds[i]));
      sql += ")";
    }
    if (!filter.pool.empty()) {
      params.emplace_back(filter.pool);
      sql += " AND q.pool = ?" + std::to_string(params.size());
    }
    if (!filter.numberPrefix.empty()) {
      params.emplace_back(filter.numberPrefix);
      const std::string p = "?" + std::to_string(params.size());
      sql += " AND substr(q.numQ, 1, length(" + p + ")) = " + p + " COLLATE NOCASE";
    }
    auto rows = e_.query(sql + ";", params);
    std::vector<Hit> hits;
    while (rows->next()) {
      const Kind kind = indexedKind(rows->column(0).toString());
      const size_t slot = static_cast<size_t>(rows->column(2).toInt());
      const std::string fields = rows->column(4).toString();
      const std::string field = slot < fields.size() ? fieldNamed(kind, fields[slot]) : std::string(),
                        length = wordAt(rows->column(5).toString(), static_cast<long long>(slot));
      // A slot that the question does not fill was written by another program: no entry of ours.
      if (field.empty() || length.empty()) continue;
      hits.push_back({kind, rows->column(1).toString(), field, rows->column(3).toString(), std::stoll(length),
                      placesOf(rows->column(6).toString())});
    }
    return hits;
  }

 private:
  // The stored text of every table, index and trigger of the file, by name: one read of the
  // catalogue for everything a check compares.
  using Catalogue = std::map<std::string, std::string>;
  Catalogue catalogue() {
    Catalogue out;
    auto rows = e_.query("SELECT name, sql FROM sqlite_master WHERE sql IS NOT NULL;");
    while (rows->next()) out[rows->column(0).toString()] = rows->column(1).toString();
    return out;
  }
  static std::string sqlOf(const Catalogue& cat, const std::string& name) {
    const auto found = cat.find(name);
    return found == cat.end() ? std::string() : found->second;
  }

  // An index of an earlier layout (the plain texts kept with it, its words kept twice, or a row
  // per entry) is dropped, to be built again in the present one at the next search: it holds
  // nothing but what the questions give again.
  static bool earlierLayout(const Catalogue& cat) {
    if (cat.count("zx_search_texts") || cat.count("zx_search_docs")) return true;
    const std::string words = sqlOf(cat, "zx_search");
    return !words.empty() && words.find("content=") == std::string::npos;
  }

  // What of the index's tables and triggers is missing or not as this program makes it, one
  // line each (an earlier layout counts as missing: it is made anew without a word).
  std::vector<std::string> structureFaults() {
    const Catalogue cat = catalogue();
    if (earlierLayout(cat) || (cat.count("zx_search_state") && sqlOf(cat, "zx_search_state").find("written") == std::string::npos))
      return {"an earlier layout"};
    std::vector<std::string> out;
    for (const char* t : {"zx_search_state", "zx_search_marks", "zx_search_questions", "zx_search", "zx_search_segments",
                          "zx_search_segdir", "zx_search_docsize", "zx_search_stat"})
      if (!cat.count(t)) out.push_back(std::string("the table ") + t + " was missing");
    if (!out.empty()) return out;
    if (integer(e_, "SELECT count(*) FROM zx_search_state;") != 1) out.push_back("the table zx_search_state holds other rows");
    for (Kind k : bank::schema::kAllKinds) {
      // A question table made after the index (an import of a kind the bank lacked) gets its
      // triggers too.
      if (!e_.hasTable(bank::schema::tableName(k))) continue;
      for (const auto& [name, sql] : triggersOf(k)) {
        const std::string stored = sqlOf(cat, name);
        if (stored != sql)
          out.push_back("the trigger " + name + (stored.empty() ? " was missing" : " did not mark changes as this program's does"));
      }
    }
    return out;
  }

  // Whether the entries agree with the index's own count of them: every entry written since the
  // last build is in the words table (which cannot forget one) and, unless replaced since, named
  // by its question's row. Another program's deleted or added entries break one of the two.
  std::vector<std::string> recordFaults() {
    auto rows = e_.query(
        "SELECT (SELECT coalesce(sum(entries), 0) FROM zx_search_questions), (SELECT count(*) FROM zx_search_docsize), "
        "written, dead FROM zx_search_state;");
    if (!rows->next()) return {};
    const long long live = rows->column(0).toInt(), words = rows->column(1).toInt(), written = rows->column(2).toInt(),
                    dead = rows->column(3).toInt();
    std::vector<std::string> out;
    if (live != written - dead)
      out.push_back("the search index holds " + std::to_string(live) + " entries where it wrote " +
                    std::to_string(written - dead));
    if (words != written)
      out.push_back("the search index's words table holds " + std::to_string(words) + " entries where it wrote " +
                    std::to_string(written));
    return out;
  }

  // Entries of questions that the bank does not hold (for 'check': it reads every entry).
  long long strayEntries() {
    std::string exists;
    for (Kind k : bank::schema::kAllKinds)
      if (e_.hasTable(bank::schema::tableName(k)))
        exists += std::string(exists.empty() ? "" : " OR ") + "(d.kind = " + literal(bank::schema::kindName(k)) +
                  " AND EXISTS (SELECT 1 FROM " + ident(bank::schema::tableName(k)) + " q WHERE q.numQ = d.numQ))";
    // A question deleted since the last search is marked: its entries go at the next one.
    return integer(e_, "SELECT coalesce(sum(entries), 0) FROM zx_search_questions d WHERE NOT (" +
                           (exists.empty() ? "0" : exists) +
                           ") AND NOT EXISTS (SELECT 1 FROM zx_search_marks m WHERE m.kind = d.kind AND m.numQ = d.numQ);");
  }

  // Makes whatever of the index or its triggers is missing or changed, in the caller's
  // transaction; whether anything was. Where a trigger was missing or changed, changes may have
  // gone unmarked: the index is built again. A missing table takes the whole index with it.
  bool makeWhole() {
    const std::vector<std::string> faults = structureFaults();
    if (faults.empty()) return false;
    // An index made for the first time, or anew from an earlier layout, was not broken.
    const bool earlier = faults.front() == "an earlier layout" || !present();
    if (!earlier)
      for (const std::string& f : faults) notes_.push_back(f + ": made again, and the index built again");
    bool tables = earlier;
    for (const std::string& f : faults) tables = tables || f.starts_with("the table");
    if (tables) {
      clear();
    } else {
      createTriggers();
      e_.run("UPDATE zx_search_state SET built = 0;");
    }
    return true;
  }

  // The index's tables, empty and not built, and its triggers.
  void createTables() {
    e_.script("CREATE TABLE zx_search_marks (kind TEXT NOT NULL, numQ TEXT);"
              "CREATE TABLE zx_search_state (built INTEGER NOT NULL, written INTEGER NOT NULL DEFAULT 0, "
              "dead INTEGER NOT NULL DEFAULT 0);"
              "INSERT INTO zx_search_state (built) VALUES (0);");
    e_.script(std::string(kCreateWords) + kCreateQuestions + kCreateQuestionsIndex);
    createTriggers();
  }

  void createTriggers() {
    const Catalogue cat = catalogue();
    std::string triggers;
    for (Kind k : bank::schema::kAllKinds)
      if (e_.hasTable(bank::schema::tableName(k)))
        for (const auto& [name, sql] : triggersOf(k))
          if (sqlOf(cat, name) != sql) triggers += "DROP TRIGGER IF EXISTS " + ident(name) + "; " + sql + ";\n";
    if (!triggers.empty()) e_.script(triggers);
  }

  static std::string questionsSql(Kind kind, const std::vector<std::string>& fields, bool oneNumber) {
    std::string sql = "SELECT numQ";
    for (const std::string& f : fields) sql += ", " + ident(f);
    sql += " FROM " + ident(bank::schema::tableName(kind)) + " WHERE numQ IS NOT NULL";
    return sql + (oneNumber ? " AND numQ = ?1;" : " ORDER BY numQ;");
  }

  static void visitRows(store::EngineRows& rows, size_t fields, const QuestionVisitor& visit) {
    std::vector<Value> values(fields);
    while (rows.next()) {
      for (size_t i = 0; i < fields; ++i) values[i] = rows.column(static_cast<int>(i) + 1);
      visit(rows.column(0).toString(), values);
    }
  }

  // A search with thousands of hits reads one small row of zx_search_questions for each, spread over
  // the whole table. The engine's default cache holds two megabytes, too little for that
  // table of a large bank, so that every search would read and decrypt it again; with a
  // larger cache the searches after the first find it in memory. Raised only, never lowered.
  void keepIndexInMemory() {
    constexpr long long kBytes = 64LL << 20;
    const long long n = integer(e_, "PRAGMA cache_size;");
    const long long bytes = n < 0 ? -n * 1024 : n * integer(e_, "PRAGMA page_size;");
    if (bytes < kBytes) e_.script("PRAGMA cache_size = -" + std::to_string(kBytes / 1024) + ";");
  }

  Engine& e_;
  // The file's schema version at which the index's tables and triggers were last found whole
  // (-1: never); any program's change to the schema changes the version.
  long long checkedAt_ = -1;
  bool countsChecked_ = false;
  std::vector<std::string> notes_;
};

}  // namespace

std::string fileMatchText(const TermQuery& query) {
  std::string expr;
  for (const Phrase& phrase : tokenPhrases(query)) {
    expr += expr.empty() ? "\"" : " \"";
    for (size_t i = 0; i < phrase.terms.size(); ++i)
      expr += (i ? " " : "") + phrase.terms[i].text + (phrase.terms[i].prefix ? "*" : "");
    expr += '"';
  }
  return expr;
}

std::unique_ptr<Index> makeFileIndex(Engine& engine) { return std::make_unique<FileIndex>(engine); }

}  // namespace search::index
