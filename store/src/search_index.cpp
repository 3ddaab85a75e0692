#include "search_index.h"

#include <set>

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
    if (f.type == schema::FieldType::Rtf || f.type == schema::FieldType::Text) cols += ", " + sqlIdent(f.name);
  return cols;
}

// Marks each question that a statement of any program inserts, changes or deletes.
void createTriggers(SqliteDb& db, Kind k) {
  const std::string table = schema::tableName(k);
  const std::string name = "zx_search_" + table;
  // Until the first build there is nothing to keep up to date: the build reads every question.
  auto mark = [&](const char* row) {
    return "INSERT INTO zx_search_marks (kind, numQ) SELECT " + sqlLiteral(schema::kindName(k)) + ", " + row +
           ".numQ FROM zx_search_state WHERE built = 1; ";
  };
  db.exec("CREATE TRIGGER IF NOT EXISTS " + sqlIdent(name + "_insert") + " AFTER INSERT ON " + sqlIdent(table) +
          " BEGIN " + mark("new") + "END;");
  db.exec("CREATE TRIGGER IF NOT EXISTS " + sqlIdent(name + "_update") + " AFTER UPDATE OF " + watchedColumns(k) +
          " ON " + sqlIdent(table) + " BEGIN " + mark("old") + mark("new") + "END;");
  db.exec("CREATE TRIGGER IF NOT EXISTS " + sqlIdent(name + "_delete") + " AFTER DELETE ON " + sqlIdent(table) +
          " BEGIN " + mark("old") + "END;");
}

Kind kindNamed(const std::string& name) {
  for (Kind k : schema::kAllKinds)
    if (name == schema::kindName(k)) return k;
  throw DbError(err::Generic, "The search index names an unknown question kind '" + name + "'.");
}

template <typename F>
auto engine(F&& body) {
  try {
    return body();
  } catch (const SqliteFailure& f) {
    throw engineError(f);
  }
}

SqliteDb& dbOf(Connection& conn) { return conn.session().db(); }

// Creates whatever of the index is missing; a new index is built at its first use.
void createSearchTables(SqliteDb& db) {
  // The words go through the engine's simple tokenizer: the search layer has already cut
  // and normalised them, so the index holds exactly its tokens.
  db.exec("CREATE VIRTUAL TABLE IF NOT EXISTS zx_search USING fts4(words, tokenize=simple);");
  db.exec(
      "CREATE TABLE IF NOT EXISTS zx_search_docs (docid INTEGER PRIMARY KEY, kind TEXT NOT NULL, "
      "numQ TEXT NOT NULL COLLATE NOCASE, field TEXT NOT NULL, pool TEXT COLLATE NOCASE, plain TEXT);");
  db.exec("CREATE INDEX IF NOT EXISTS zx_search_docs_question ON zx_search_docs (kind, numQ);");
  db.exec("CREATE TABLE IF NOT EXISTS zx_search_marks (kind TEXT NOT NULL, numQ TEXT);");
  db.exec("CREATE TABLE IF NOT EXISTS zx_search_state (built INTEGER NOT NULL);");
  auto count = db.prepare("SELECT count(*) FROM zx_search_state;");
  count.step();
  if (count.column(0).toInt() == 0)
    db.exec("INSERT INTO zx_search_state (built) VALUES (0);");
  for (Kind k : schema::kAllKinds)
    if (db.tableExists("main", schema::tableName(k))) createTriggers(db, k);
}

}  // namespace

bool searchIndexPresent(Connection& conn) {
  return engine([&] { return dbOf(conn).tableExists("main", "zx_search_state"); });
}

void ensureSearchIndex(Connection& conn) {
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
    if (!missing) return;
  }
  Transaction t(conn);
  engine([&] {
    createSearchTables(dbOf(conn));
    return 0;
  });
  t.commit();
  noteCatalogChanged();
}

bool searchIndexBuilt(Connection& conn) {
  return engine([&] {
    if (!dbOf(conn).tableExists("main", "zx_search_state")) return false;
    auto st = dbOf(conn).prepare("SELECT built FROM zx_search_state;");
    return st.step() && st.column(0).toInt() == 1;
  });
}

void clearSearchIndex(Connection& conn) {
  engine([&] {
    dbOf(conn).exec(
        "DELETE FROM zx_search; DELETE FROM zx_search_docs; DELETE FROM zx_search_marks; "
        "UPDATE zx_search_state SET built = 0;");
    return 0;
  });
}

void setSearchIndexBuilt(Connection& conn) {
  engine([&] {
    dbOf(conn).exec("UPDATE zx_search_state SET built = 1;");
    return 0;
  });
}

std::vector<QuestionRef> takeMarkedQuestions(Connection& conn) {
  return engine([&] {
    std::set<QuestionRef> marked;
    auto st = dbOf(conn).prepare("SELECT DISTINCT kind, numQ FROM zx_search_marks WHERE numQ IS NOT NULL;");
    while (st.step()) marked.insert({kindNamed(st.column(0).toString()), st.column(1).toString()});
    dbOf(conn).exec("DELETE FROM zx_search_marks;");
    return std::vector<QuestionRef>(marked.begin(), marked.end());
  });
}

void putEntries(Connection& conn, const QuestionRef& q, const std::vector<Entry>& entries) {
  engine([&] {
    SqliteDb& db = dbOf(conn);
    const Value kind(schema::kindName(q.kind));
    auto old = db.prepare("SELECT docid FROM zx_search_docs WHERE kind=?1 AND numQ=?2;");
    old.bind(1, kind);
    old.bind(2, Value(q.numQ));
    std::vector<long long> docids;
    while (old.step()) docids.push_back(old.column(0).toInt());
    auto dropWords = db.prepare("DELETE FROM zx_search WHERE docid=?1;");
    for (long long id : docids) {
      dropWords.bind(1, Value(id));
      dropWords.step();
      dropWords.reset();
    }
    auto dropDocs = db.prepare("DELETE FROM zx_search_docs WHERE kind=?1 AND numQ=?2;");
    dropDocs.bind(1, kind);
    dropDocs.bind(2, Value(q.numQ));
    dropDocs.step();

    auto doc = db.prepare("INSERT INTO zx_search_docs (kind, numQ, field, pool, plain) VALUES (?1, ?2, ?3, ?4, ?5);");
    auto words = db.prepare("INSERT INTO zx_search (docid, words) VALUES (?1, ?2);");
    for (const Entry& e : entries) {
      doc.bind(1, kind);
      doc.bind(2, Value(q.numQ));
      doc.bind(3, Value(e.field));
      doc.bind(4, Value(e.pool));
      doc.bind(5, Value(e.plain));
      doc.step();
      doc.reset();
      words.bind(1, Value(db.lastInsertRowid()));
      words.bind(2, Value(e.words));
      words.step();
      words.reset();
    }
    return 0;
  });
}

struct Filler::Statements {
  SqliteDb& db;
  SqliteStatement doc, words;
};

Filler::Filler(Connection& conn) {
  engine([&] {
    SqliteDb& db = dbOf(conn);
    st_.reset(new Statements{db,
                             db.prepare("INSERT INTO zx_search_docs (kind, numQ, field, pool, plain) VALUES (?1, ?2, ?3, ?4, ?5);"),
                             db.prepare("INSERT INTO zx_search (docid, words) VALUES (?1, ?2);")});
    return 0;
  });
}

Filler::~Filler() = default;

void Filler::add(const QuestionRef& q, const std::vector<Entry>& entries) {
  engine([&] {
    const Value kind(schema::kindName(q.kind));
    for (const Entry& e : entries) {
      st_->doc.bind(1, kind);
      st_->doc.bind(2, Value(q.numQ));
      st_->doc.bind(3, Value(e.field));
      st_->doc.bind(4, Value(e.pool));
      st_->doc.bind(5, Value(e.plain));
      st_->doc.step();
      st_->doc.reset();
      st_->words.bind(1, Value(st_->db.lastInsertRowid()));
      st_->words.bind(2, Value(e.words));
      st_->words.step();
      st_->words.reset();
    }
    return 0;
  });
}

void Filler::finish() {
  engine([&] {
    st_->db.exec("INSERT INTO zx_search (zx_search) VALUES ('optimize');");
    return 0;
  });
}

void forEachQuestion(Connection& conn, Kind kind, const std::vector<std::string>& fields, const QuestionVisitor& visit,
                     const std::string* numQ) {
  engine([&] {
    SqliteDb& db = dbOf(conn);
    if (!db.tableExists("main", schema::tableName(kind))) return 0;
    std::string sql = "SELECT numQ";
    for (const std::string& f : fields) sql += ", " + sqlIdent(f);
    sql += " FROM " + sqlIdent(schema::tableName(kind)) + " WHERE numQ IS NOT NULL";
    sql += numQ ? " AND numQ = ?1;" : " ORDER BY numQ;";
    auto st = db.prepare(sql);
    if (numQ) st.bind(1, Value(*numQ));
    std::vector<Value> values(fields.size());
    while (st.step()) {
      for (size_t i = 0; i < fields.size(); ++i) values[i] = st.column(static_cast<int>(i) + 1);
      visit(st.column(0).toString(), values);
    }
    return 0;
  });
}

long long countQuestions(Connection& conn, Kind kind) {
  return engine([&]() -> long long {
    SqliteDb& db = dbOf(conn);
    if (!db.tableExists("main", schema::tableName(kind))) return 0;
    auto st = db.prepare("SELECT count(*) FROM " + sqlIdent(schema::tableName(kind)) + " WHERE numQ IS NOT NULL;");
    st.step();
    return st.column(0).toInt();
  });
}

std::vector<Hit> matchEntries(Connection& conn, const std::string& matchExpression, const Filter& filter) {
  return engine([&] {
    std::string sql =
        "SELECT d.kind, d.numQ, d.field, d.pool, d.plain FROM zx_search s JOIN zx_search_docs d ON d.docid = s.docid "
        "WHERE s.words MATCH ?1";
    if (!filter.kinds.empty()) {
      sql += " AND d.kind IN (";
      for (size_t i = 0; i < filter.kinds.size(); ++i) sql += (i ? ", " : "") + sqlLiteral(schema::kindName(filter.kinds[i]));
      sql += ")";
    }
    if (!filter.pool.empty()) sql += " AND d.pool = ?2";
    if (!filter.numberPrefix.empty()) sql += " AND substr(d.numQ, 1, length(?3)) = ?3 COLLATE NOCASE";
    auto st = dbOf(conn).prepare(sql + ";");
    st.bind(1, Value(matchExpression));
    if (!filter.pool.empty()) st.bind(2, Value(filter.pool));
    if (!filter.numberPrefix.empty()) st.bind(3, Value(filter.numberPrefix));
    std::vector<Hit> hits;
    while (st.step())
      hits.push_back({kindNamed(st.column(0).toString()), st.column(1).toString(), st.column(2).toString(),
                      st.column(3).toString(), st.column(4).toString()});
    return hits;
  });
}

}  // namespace store::search_index
