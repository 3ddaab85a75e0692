#include "file_index.h"

#include <cstdint>
#include <cstring>
#include <set>

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

// Marks each question that a statement of any program inserts, changes or deletes.
std::string triggersSql(Kind k) {
  const std::string table = ident(bank::schema::tableName(k));
  // Until the first build there is nothing to keep up to date: the build reads every question.
  auto mark = [&](const char* row) {
    return "INSERT INTO zx_search_marks (kind, numQ) SELECT " + literal(bank::schema::kindName(k)) + ", " + row +
           ".numQ FROM zx_search_state WHERE built = 1; ";
  };
  return "CREATE TRIGGER IF NOT EXISTS " + ident(triggerName(k, "insert")) + " AFTER INSERT ON " + table + " BEGIN " +
         mark("new") + "END;\n" + "CREATE TRIGGER IF NOT EXISTS " + ident(triggerName(k, "update")) +
         " AFTER UPDATE OF " + watchedColumns(k) + " ON " + table + " BEGIN " + mark("old") + mark("new") + "END;\n" +
         "CREATE TRIGGER IF NOT EXISTS " + ident(triggerName(k, "delete")) + " AFTER DELETE ON " + table + " BEGIN " +
         mark("old") + "END;\n";
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
// it cannot delete its rows, so an entry written again gets a new docid and the old one is
// left behind, dead (its zx_search_docs row is gone, so no search returns it). The docids of
// zx_search_docs are never reused, so that a dead entry can never be taken for a new one.
const char* const kCreateWords = "CREATE VIRTUAL TABLE IF NOT EXISTS zx_search USING fts4(words, content=\"\", tokenize=simple);";
const char* const kCreateDocs =
    "CREATE TABLE IF NOT EXISTS zx_search_docs (docid INTEGER PRIMARY KEY AUTOINCREMENT, kind TEXT NOT NULL, "
    "numQ TEXT NOT NULL COLLATE NOCASE, field TEXT NOT NULL, pool TEXT COLLATE NOCASE, length INTEGER NOT NULL);";
const char* const kCreateDocsIndex = "CREATE INDEX IF NOT EXISTS zx_search_docs_question ON zx_search_docs (kind, numQ);";
const char* const kInsertDoc = "INSERT INTO zx_search_docs (kind, numQ, field, pool, length) VALUES (?1, ?2, ?3, ?4, ?5);";
const char* const kInsertWords = "INSERT INTO zx_search (docid, words) VALUES (last_insert_rowid(), ?1);";

// Dead entries slow the searches down a little and take room: once they are more than a
// quarter of all entries written since the last build (and not a handful), the index is built
// again at the next search.
constexpr long long kFewestDeadToRebuild = 1000;

long long integer(Engine& e, const std::string& sql) {
  auto rows = e.query(sql);
  return rows->next() ? rows->column(0).toInt() : 0;
}

void runKept(Engine& e, const char* sql, const std::vector<Value>& params) {
  auto rows = e.queryKept(sql, params);
  while (rows->next()) {
  }
}

// Adds the entries of one question with statements the engine keeps for the next question.
void addEntries(Engine& e, const QuestionRef& q, const std::vector<Entry>& entries) {
  const Value kind(bank::schema::kindName(q.kind));
  for (const Entry& entry : entries) {
    runKept(e, kInsertDoc, {kind, Value(q.numQ), Value(entry.field), Value(entry.pool), Value(entry.length)});
    runKept(e, kInsertWords, {Value(entry.words)});
  }
}

class FileFiller : public Filler {
 public:
  explicit FileFiller(Engine& e) : e_(e) {
    cacheSize_ = integer(e_, "PRAGMA cache_size;");
    // The whole index is written in one transaction: a large cache keeps its pages from being
    // written out (and encrypted) again and again before the commit.
    e_.script("PRAGMA cache_size = -262144;");
    // The index of the questions' entries is made once at the end, from the finished table,
    // instead of growing with every entry.
    e_.script("DROP INDEX IF EXISTS zx_search_docs_question;");
  }
  ~FileFiller() override {
    try {
      e_.script("PRAGMA cache_size = " + std::to_string(cacheSize_) + ";");
    } catch (const store::DbError&) {
      // The cache stays large until the connection closes: nothing is lost.
    }
  }
  void add(const QuestionRef& q, const std::vector<Entry>& entries) override { addEntries(e_, q, entries); }
  void finish() override {
    e_.script(kCreateDocsIndex);
    e_.script("INSERT INTO zx_search (zx_search) VALUES ('optimize');");
  }

 private:
  Engine& e_;
  long long cacheSize_ = 0;
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
  bool settled() override { return !present() || !lacksSomething(); }
  // Whatever the version: an index of an earlier layout is recognised by its tables and made
  // anew; a bank without one gets it at its first search.
  void upgrade(int /*from*/) override {
    if (present()) createTables();
  }
  std::vector<std::string> problems(int version) override {
    // No index yet is no fault: the first search makes it.
    if (version < 1 || !present()) return {};
    std::vector<std::string> out;
    for (Kind k : bank::schema::kAllKinds)
      if (e_.hasTable(bank::schema::tableName(k)) && !hasTriggers(k))
        out.push_back(std::string("the search index does not learn of changes to ") + bank::schema::tableName(k) +
                      " (its triggers are missing)");
    return out;
  }

  void keepWhole() override {
    // Each search comes here: the catalogue is looked at again only when some program changed it.
    const long long version = integer(e_, "PRAGMA schema_version;");
    if (version == checkedAt_) return;
    // What this call makes is noted at the next one, once it is certain that it was kept: the
    // caller's transaction could still take it back, and the version with it.
    if (!makeWhole()) checkedAt_ = version;
  }

  bool present() override { return e_.hasTable("zx_search_state"); }

  bool built() override {
    if (!present()) return false;
    auto rows = e_.query("SELECT built FROM zx_search_state;");
    return rows->next() && rows->column(0).toInt() == 1;
  }

  void clear() override {
    // Made anew: deleting its rows one by one would tokenise every one of them again.
    e_.script(std::string("DROP TABLE IF EXISTS zx_search;") + kCreateWords +
              "DELETE FROM zx_search_docs; DELETE FROM sqlite_sequence WHERE name = 'zx_search_docs'; "
              "DELETE FROM zx_search_marks; UPDATE zx_search_state SET built = 0, dead = 0;");
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
    const long long dead = e_.run("DELETE FROM zx_search_docs WHERE kind=?1 AND numQ=?2;",
                                  {Value(bank::schema::kindName(q.kind)), Value(q.numQ)});
    if (dead > 0) runKept(e_, "UPDATE zx_search_state SET dead = dead + ?1;", {Value(dead)});
    addEntries(e_, q, entries);
  }

  bool tooManyDeadEntries() override {
    auto rows = e_.query(
        "SELECT s.dead, coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'zx_search_docs'), 0) FROM zx_search_state s;");
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
        "SELECT d.kind, d.numQ, d.field, d.pool, d.length, matchinfo(s.zx_search, 'py') "
        "FROM zx_search s JOIN zx_search_docs d ON d.docid = s.docid "
        "WHERE s.words MATCH ?1";
    std::vector<Value> params{Value(match)};
    if (!filter.kinds.empty()) {
      sql += " AND d.kind IN (";
      for (size_t i = 0; i < filter.kinds.size(); ++i)
        sql += (i ? ", " : "") + literal(bank::schema::kindName(filter.kinds[i]));
      sql += ")";
    }
    if (!filter.pool.empty()) {
      params.emplace_back(filter.pool);
      sql += " AND d.pool = ?" + std::to_string(params.size());
    }
    if (!filter.numberPrefix.empty()) {
      params.emplace_back(filter.numberPrefix);
      const std::string p = "?" + std::to_string(params.size());
      sql += " AND substr(d.numQ, 1, length(" + p + ")) = " + p + " COLLATE NOCASE";
    }
    auto rows = e_.query(sql + ";", params);
    std::vector<Hit> hits;
    while (rows->next())
      hits.push_back({indexedKind(rows->column(0).toString()), rows->column(1).toString(), rows->column(2).toString(),
                      rows->column(3).toString(), rows->column(4).toInt(), placesOf(rows->column(5).toString())});
    return hits;
  }

 private:
  std::string sqlOf(const char* table) {
    auto rows = e_.query("SELECT sql FROM sqlite_master WHERE name = ?1;", {Value(table)});
    return rows->next() ? rows->column(0).toString() : std::string();
  }

  // An index of an earlier layout (the plain texts kept with it, or its words kept twice) is
  // dropped, to be built again in the present one at the next search: it holds nothing but what
  // the questions give again.
  bool earlierLayout() {
    if (e_.hasTable("zx_search_texts")) return true;
    const std::string words = sqlOf("zx_search");
    const std::string docs = sqlOf("zx_search_docs");
    return (!words.empty() && words.find("content=") == std::string::npos) ||
           (!docs.empty() && (docs.find("AUTOINCREMENT") == std::string::npos || docs.find("length") == std::string::npos));
  }

  // Whether something of the index or its triggers is missing or of an earlier layout.
  bool lacksSomething() {
    if (!present()) return true;
    // A question table made after the index (an import of a kind the bank lacked) gets its
    // triggers too.
    for (Kind k : bank::schema::kAllKinds)
      if (e_.hasTable(bank::schema::tableName(k)) && !hasTriggers(k)) return true;
    return earlierLayout() || sqlOf("zx_search_state").find("dead") == std::string::npos;
  }

  bool hasTriggers(Kind k) {
    return integer(e_, "SELECT count(*) FROM sqlite_master WHERE type='trigger' AND name=" +
                           literal(triggerName(k, "delete")) + ";") > 0;
  }

  // Makes whatever of the index or its triggers is missing (the statements change nothing where
  // they exist), in the caller's transaction; whether anything was.
  bool makeWhole() {
    if (!lacksSomething()) return false;
    createTables();
    return true;
  }

  // Creates whatever of the index is missing; a new index is built at its first use.
  void createTables() {
    e_.script("CREATE TABLE IF NOT EXISTS zx_search_marks (kind TEXT NOT NULL, numQ TEXT);"
              "CREATE TABLE IF NOT EXISTS zx_search_state (built INTEGER NOT NULL);");
    if (sqlOf("zx_search_state").find("dead") == std::string::npos)
      e_.script("ALTER TABLE zx_search_state ADD COLUMN dead INTEGER NOT NULL DEFAULT 0;");
    if (earlierLayout())
      e_.script("DROP TABLE IF EXISTS zx_search; DROP TABLE IF EXISTS zx_search_docs; DROP TABLE IF EXISTS zx_search_texts; "
                "DELETE FROM zx_search_marks; UPDATE zx_search_state SET built = 0;");
    // The docs: what a search ranks by, in small rows that a search with thousands of hits
    // reads quickly.
    e_.script(std::string(kCreateWords) + kCreateDocs + kCreateDocsIndex);
    if (integer(e_, "SELECT count(*) FROM zx_search_state;") == 0) e_.run("INSERT INTO zx_search_state (built) VALUES (0);");
    std::string triggers;
    for (Kind k : bank::schema::kAllKinds)
      if (e_.hasTable(bank::schema::tableName(k))) triggers += triggersSql(k);
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

  // A search with thousands of hits reads one small row of zx_search_docs for each, spread over
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
