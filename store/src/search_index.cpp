#include "search_index.h"

#include <cstdint>
#include <cstring>
#include <set>

#include "search_index_server.h"
#include "session.h"
#include "sqlite_db.h"

namespace store::search_index {

namespace {

using schema::Kind;

// The columns whose change can change what the index holds of a question: its number, its
// pool (or type) and every text column.
std::string watchedColumns(Kind k) {
  std::string cols = "numQ";
  for (const schema::Field& f : schema::kindEntry(k).fields)
    if (f.type == schema::FieldType::Rtf || f.type == schema::FieldType::Text) cols += ", " + tableIdent(Dialect::Sqlite, f.name);
  return cols;
}

// Marks each question that a statement of any program inserts, changes or deletes.
void createTriggers(SqliteDb& db, Kind k) {
  const std::string table = schema::tableName(k);
  const std::string name = "zx_search_" + table;
  // Until the first build there is nothing to keep up to date: the build reads every question.
  auto mark = [&](const char* row) {
    return "INSERT INTO zx_search_marks (kind, numQ) SELECT " + textLiteral(schema::kindName(k)) + ", " + row +
           ".numQ FROM zx_search_state WHERE built = 1; ";
  };
  db.exec("CREATE TRIGGER IF NOT EXISTS " + tableIdent(Dialect::Sqlite, name + "_insert") + " AFTER INSERT ON " + tableIdent(Dialect::Sqlite, table) +
          " BEGIN " + mark("new") + "END;");
  db.exec("CREATE TRIGGER IF NOT EXISTS " + tableIdent(Dialect::Sqlite, name + "_update") + " AFTER UPDATE OF " + watchedColumns(k) +
          " ON " + tableIdent(Dialect::Sqlite, table) + " BEGIN " + mark("old") + mark("new") + "END;");
  db.exec("CREATE TRIGGER IF NOT EXISTS " + tableIdent(Dialect::Sqlite, name + "_delete") + " AFTER DELETE ON " + tableIdent(Dialect::Sqlite, table) +
          " BEGIN " + mark("old") + "END;");
}

}  // namespace

Kind indexedKind(std::string_view name) {
  if (const std::optional<Kind> k = schema::kindNamed(name)) return *k;
  throw DbError(err::Generic, "The search index names an unknown question kind '" + std::string(name) + "'.");
}

namespace {

template <typename F>
auto engine(F&& body) {
  return body();
}

SqliteDb& dbOf(Connection& conn) { return sqliteFile(conn.session().engine()); }

// The places of a hit from the engine's match information 'py' (32-bit words in the
// machine's order): the number of phrases, then for each phrase its matches in the one column.
int placesOf(std::string_view matchinfo) {
  std::vector<std::uint32_t> words(matchinfo.size() / sizeof(std::uint32_t));
  std::memcpy(words.data(), matchinfo.data(), words.size() * sizeof(std::uint32_t));
  int places = 0;
  for (size_t i = 1; i < words.size() && i <= (words.empty() ? 0 : words[0]); ++i) places += static_cast<int>(words[i]);
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

// Dead entries slow the searches down a little and take room: once they are more than a
// quarter of all entries written since the last build (and not a handful), the index is built
// again at the next search.
constexpr long long kFewestDeadToRebuild = 1000;

std::string sqlOf(SqliteDb& db, const char* table) {
  auto st = db.prepare("SELECT sql FROM sqlite_master WHERE name = ?1;");
  st.bind(1, Value(table));
  return st.step() ? st.column(0).toString() : std::string();
}

// An index of an earlier layout (the plain texts kept with it, or its words kept twice) is
// dropped, to be built again in the present one at the next search: it holds nothing but what
// the questions give again.
bool earlierLayout(SqliteDb& db) {
  if (db.tableExists("main", "zx_search_texts")) return true;
  const std::string words = sqlOf(db, "zx_search");
  const std::string docs = sqlOf(db, "zx_search_docs");
  return (!words.empty() && words.find("content=") == std::string::npos) ||
         (!docs.empty() && (docs.find("AUTOINCREMENT") == std::string::npos || docs.find("length") == std::string::npos));
}

void dropEarlierLayout(SqliteDb& db) {
  db.exec("DROP TABLE IF EXISTS zx_search; DROP TABLE IF EXISTS zx_search_docs; DROP TABLE IF EXISTS zx_search_texts; "
          "DELETE FROM zx_search_marks; UPDATE zx_search_state SET built = 0;");
}

// Creates whatever of the index is missing; a new index is built at its first use.
void createSearchTables(SqliteDb& db) {
  db.exec("CREATE TABLE IF NOT EXISTS zx_search_marks (kind TEXT NOT NULL, numQ TEXT);");
  db.exec("CREATE TABLE IF NOT EXISTS zx_search_state (built INTEGER NOT NULL);");
  if (sqlOf(db, "zx_search_state").find("dead") == std::string::npos)
    db.exec("ALTER TABLE zx_search_state ADD COLUMN dead INTEGER NOT NULL DEFAULT 0;");
  if (earlierLayout(db)) dropEarlierLayout(db);
  db.exec(kCreateWords);
  // What a search ranks by, in small rows that a search with thousands of hits reads quickly.
  db.exec(kCreateDocs);
  db.exec(kCreateDocsIndex);
  auto count = db.prepare("SELECT count(*) FROM zx_search_state;");
  count.step();
  if (count.column(0).toInt() == 0)
    db.exec("INSERT INTO zx_search_state (built) VALUES (0);");
  for (Kind k : schema::kAllKinds)
    if (db.tableExists("main", schema::tableName(k))) createTriggers(db, k);
}

}  // namespace

bool searchIndexPresent(Connection& conn) {
  if (conn.onServer()) return server::present(conn);
  return engine([&] { return dbOf(conn).tableExists("main", "zx_search_state"); });
}

namespace {

long long schemaVersion(SqliteDb& db) {
  auto st = db.prepare("PRAGMA schema_version;");
  st.step();
  return st.column(0).toInt();
}

// Makes whatever of the index or its triggers is missing; whether anything was.
bool makeWhole(Connection& conn) {
  if (searchIndexPresent(conn)) {
    // A question table made after the index (an import of a kind the bank lacked) gets its
    // triggers too; the statements change nothing where they exist.
    bool missing = false;
    engine([&] {
      for (Kind k : schema::kAllKinds) {
        if (!dbOf(conn).tableExists("main", schema::tableName(k))) continue;
        auto st = dbOf(conn).prepare("SELECT count(*) FROM sqlite_master WHERE type='trigger' AND name=?1;");
        st.bind(1, Value("zx_search_" + std::string(schema::tableName(k)) + "_delete"));
        st.step();
        missing = missing || st.column(0).toInt() == 0;
      }
      return 0;
    });
    if (!missing) missing = engine([&] { return earlierLayout(dbOf(conn)) || sqlOf(dbOf(conn), "zx_search_state").find("dead") == std::string::npos; });
    if (!missing) return false;
  }
  Transaction t(conn);
  engine([&] {
    createSearchTables(dbOf(conn));
    return 0;
  });
  t.commit();
  noteCatalogChanged();
  return true;
}

}  // namespace

void ensureSearchIndex(Connection& conn) {
  if (conn.onServer()) return server::ensure(conn);
  // Each search comes here: the catalogue is looked at again only when some program changed it.
  const long long version = engine([&] { return schemaVersion(dbOf(conn)); });
  if (version == conn.session().searchIndexCheckedAt()) return;
  // What this call makes is noted at the next one, once it is certain that it was kept: the
  // caller's transaction could still take it back, and the version with it.
  if (!makeWhole(conn)) conn.session().noteSearchIndexChecked(version);
}

bool searchIndexBuilt(Connection& conn) {
  if (conn.onServer()) return server::built(conn);
  return engine([&] {
    if (!dbOf(conn).tableExists("main", "zx_search_state")) return false;
    auto st = dbOf(conn).prepare("SELECT built FROM zx_search_state;");
    return st.step() && st.column(0).toInt() == 1;
  });
}

void clearSearchIndex(Connection& conn) {
  if (conn.onServer()) return server::clear(conn);
  engine([&] {
    // Made anew: deleting its rows one by one would tokenise every one of them again.
    dbOf(conn).exec("DROP TABLE IF EXISTS zx_search;");
    dbOf(conn).exec(kCreateWords);
    dbOf(conn).exec("DELETE FROM zx_search_docs; DELETE FROM sqlite_sequence WHERE name = 'zx_search_docs'; "
                    "DELETE FROM zx_search_marks; UPDATE zx_search_state SET built = 0, dead = 0;");
    return 0;
  });
}

void setSearchIndexBuilt(Connection& conn) {
  if (conn.onServer()) return server::setBuilt(conn);
  engine([&] {
    dbOf(conn).exec("UPDATE zx_search_state SET built = 1;");
    return 0;
  });
}

std::vector<QuestionRef> takeMarkedQuestions(Connection& conn) {
  if (conn.onServer()) return server::takeMarked(conn);
  return engine([&] {
    std::set<QuestionRef> marked;
    auto st = dbOf(conn).prepare("SELECT DISTINCT kind, numQ FROM zx_search_marks WHERE numQ IS NOT NULL;");
    bool any = false;
    while (st.step()) {
      marked.insert({indexedKind(st.column(0).toString()), st.column(1).toString()});
      any = true;
    }
    // Most searches find no marks: a DELETE of nothing would still make the search a write.
    if (!any) {
      auto rows = dbOf(conn).prepare("SELECT 1 FROM zx_search_marks LIMIT 1;");
      any = rows.step();
    }
    if (any) dbOf(conn).exec("DELETE FROM zx_search_marks;");
    return std::vector<QuestionRef>(marked.begin(), marked.end());
  });
}

// The statements that add a question's entries, made once for a run of questions.
struct Filler::Statements {
  SqliteDb& db;
  SqliteStatement doc, words;

  void add(const QuestionRef& q, const std::vector<Entry>& entries) {
    const Value kind(schema::kindName(q.kind));
    for (const Entry& e : entries) {
      doc.bind(1, kind);
      doc.bind(2, Value(q.numQ));
      doc.bind(3, Value(e.field));
      doc.bind(4, Value(e.pool));
      doc.bind(5, Value(e.length));
      doc.step();
      doc.reset();
      words.bind(1, Value(db.lastInsertRowid()));
      words.bind(2, Value(e.words));
      words.step();
      words.reset();
    }
  }
};

namespace {

Filler::Statements statementsOf(SqliteDb& db) {
  return {db, db.prepare("INSERT INTO zx_search_docs (kind, numQ, field, pool, length) VALUES (?1, ?2, ?3, ?4, ?5);"),
          db.prepare("INSERT INTO zx_search (docid, words) VALUES (?1, ?2);")};
}

}  // namespace

void putEntries(Connection& conn, const QuestionRef& q, const std::vector<Entry>& entries) {
  if (conn.onServer()) return server::putEntries(conn, q, entries);
  engine([&] {
    SqliteDb& db = dbOf(conn);
    auto drop = db.prepareKept("DELETE FROM zx_search_docs WHERE kind=?1 AND numQ=?2;");
    drop.bind(1, Value(schema::kindName(q.kind)));
    drop.bind(2, Value(q.numQ));
    drop.step();
    if (const long long dead = db.changes(); dead > 0) {
      auto count = db.prepareKept("UPDATE zx_search_state SET dead = dead + ?1;");
      count.bind(1, Value(dead));
      count.step();
    }
    Filler::Statements st = statementsOf(db);
    st.add(q, entries);
    return 0;
  });
}

bool tooManyDeadEntries(Connection& conn) {
  if (conn.onServer()) return false;  // the server's index takes its entries out itself
  return engine([&] {
    SqliteDb& db = dbOf(conn);
    auto st = db.prepare(
        "SELECT s.dead, coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'zx_search_docs'), 0) FROM zx_search_state s;");
    if (!st.step()) return false;
    const long long dead = st.column(0).toInt(), written = st.column(1).toInt();
    return dead >= kFewestDeadToRebuild && dead * 4 > written;
  });
}

Filler::Filler(Connection& conn) {
  if (conn.onServer()) {
    server_ = std::make_unique<server::Filler>(conn);
    return;
  }
  engine([&] {
    SqliteDb& db = dbOf(conn);
    auto size = db.prepare("PRAGMA cache_size;");
    size.step();
    cacheSize_ = size.column(0).toInt();
    // The whole index is written in one transaction: a large cache keeps its pages from being
    // written out (and encrypted) again and again before the commit.
    db.exec("PRAGMA cache_size = -262144;");
    // The index of the questions' entries is made once at the end, from the finished table,
    // instead of growing with every entry.
    db.exec("DROP INDEX IF EXISTS zx_search_docs_question;");
    st_.reset(new Statements(statementsOf(db)));
    return 0;
  });
}

Filler::~Filler() {
  if (!st_) return;
  try {
    st_->db.exec("PRAGMA cache_size = " + std::to_string(cacheSize_) + ";");
  } catch (const DbError&) {
    // The cache stays large until the connection closes: nothing is lost.
  }
}

void Filler::add(const QuestionRef& q, const std::vector<Entry>& entries) {
  if (server_) return server_->add(q, entries);
  engine([&] {
    st_->add(q, entries);
    return 0;
  });
}

void Filler::finish() {
  if (server_) return server_->finish();
  engine([&] {
    st_->db.exec(kCreateDocsIndex);
    st_->db.exec("INSERT INTO zx_search (zx_search) VALUES ('optimize');");
    return 0;
  });
}

namespace {

std::string questionsSql(Kind kind, const std::vector<std::string>& fields, bool oneNumber) {
  std::string sql = "SELECT numQ";
  for (const std::string& f : fields) sql += ", " + tableIdent(Dialect::Sqlite, f);
  sql += " FROM " + tableIdent(Dialect::Sqlite, schema::tableName(kind)) + " WHERE numQ IS NOT NULL";
  return sql + (oneNumber ? " AND numQ = ?1;" : " ORDER BY numQ;");
}

void visitRows(SqliteStatement& st, size_t fields, const QuestionVisitor& visit) {
  std::vector<Value> values(fields);
  while (st.step()) {
    for (size_t i = 0; i < fields; ++i) values[i] = st.column(static_cast<int>(i) + 1);
    visit(st.column(0).toString(), values);
  }
}

}  // namespace

void forEachQuestion(Connection& conn, Kind kind, const std::vector<std::string>& fields, const QuestionVisitor& visit,
                     const std::string* numQ) {
  if (conn.onServer()) return server::forEachQuestion(conn, kind, fields, visit, numQ);
  engine([&] {
    SqliteDb& db = dbOf(conn);
    if (!db.tableExists("main", schema::tableName(kind))) return 0;
    auto st = db.prepare(questionsSql(kind, fields, numQ != nullptr));
    if (numQ) st.bind(1, Value(*numQ));
    visitRows(st, fields.size(), visit);
    return 0;
  });
}

void forEachQuestionOf(Connection& conn, Kind kind, const std::vector<std::string>& fields,
                       const std::vector<std::string>& numQs, const QuestionVisitor& visit) {
  if (conn.onServer()) return server::forEachQuestionOf(conn, kind, fields, numQs, visit);
  engine([&] {
    SqliteDb& db = dbOf(conn);
    if (numQs.empty() || !db.tableExists("main", schema::tableName(kind))) return 0;
    auto st = db.prepare(questionsSql(kind, fields, true));
    for (const std::string& numQ : numQs) {
      st.bind(1, Value(numQ));
      visitRows(st, fields.size(), visit);
      st.reset();
    }
    return 0;
  });
}

long long countQuestions(Connection& conn, Kind kind) {
  if (conn.onServer()) return server::countQuestions(conn, kind);
  return engine([&]() -> long long {
    SqliteDb& db = dbOf(conn);
    if (!db.tableExists("main", schema::tableName(kind))) return 0;
    auto st = db.prepare("SELECT count(*) FROM " + tableIdent(Dialect::Sqlite, schema::tableName(kind)) + " WHERE numQ IS NOT NULL;");
    st.step();
    return st.column(0).toInt();
  });
}

namespace {

// A search with thousands of hits reads one small row of zx_search_docs for each, spread over
// the whole table. The engine's default cache holds two megabytes, too little for that
// table of a large bank, so that every search would read and decrypt it again; with a
// larger cache the searches after the first find it in memory. Raised only, never lowered.
void keepIndexInMemory(SqliteDb& db) {
  constexpr long long kBytes = 64LL << 20;
  auto size = db.prepare("PRAGMA cache_size;");
  size.step();
  const long long n = size.column(0).toInt();
  auto pageSize = db.prepare("PRAGMA page_size;");
  pageSize.step();
  const long long bytes = n < 0 ? -n * 1024 : n * pageSize.column(0).toInt();
  if (bytes < kBytes) db.exec("PRAGMA cache_size = -" + std::to_string(kBytes / 1024) + ";");
}

}  // namespace

std::vector<Hit> matchEntries(Connection& conn, const std::string& matchExpression, const Filter& filter) {
  if (conn.onServer()) return server::matchEntries(conn, matchExpression, filter);
  return engine([&] {
    keepIndexInMemory(dbOf(conn));
    std::string sql =
        "SELECT d.kind, d.numQ, d.field, d.pool, d.length, matchinfo(s.zx_search, 'py') "
        "FROM zx_search s JOIN zx_search_docs d ON d.docid = s.docid "
        "WHERE s.words MATCH ?1";
    if (!filter.kinds.empty()) {
      sql += " AND d.kind IN (";
      for (size_t i = 0; i < filter.kinds.size(); ++i) sql += (i ? ", " : "") + textLiteral(schema::kindName(filter.kinds[i]));
      sql += ")";
    }
    if (!filter.pool.empty()) sql += " AND d.pool = ?2";
    if (!filter.numberPrefix.empty()) sql += " AND substr(d.numQ, 1, length(?3)) = ?3 COLLATE NOCASE";
    auto st = dbOf(conn).prepare(sql + ";");
    st.bind(1, Value(matchExpression));
    if (!filter.pool.empty()) st.bind(2, Value(filter.pool));
    if (!filter.numberPrefix.empty()) st.bind(3, Value(filter.numberPrefix));
    std::vector<Hit> hits;
    // Read in place: a frequent word has tens of thousands of hits.
    while (st.step())
      hits.push_back({indexedKind(st.columnBytes(0)), std::string(st.columnBytes(1)), std::string(st.columnBytes(2)),
                      std::string(st.columnBytes(3)), st.column(4).toInt(), placesOf(st.columnBytes(5))});
    return hits;
  });
}

}  // namespace store::search_index
