#include "server_index.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>

#include "db_error.h"
#include "dialect.h"

namespace search::index {

namespace {

using store::Engine;
using store::Value;

std::string ident(const std::string& name) { return store::quotedName(name); }
std::string fieldIdent(const std::string& name) { return store::fieldIdent(store::Dialect::Postgres, name); }
std::string table(const std::string& name) { return "public." + ident(name); }
std::string literal(const std::string& text) { return store::textLiteral(text); }

// The columns whose change can change what the index holds of a question: its number, its pool
// (or type) and every text column.
std::string watchedColumns(Kind k) {
  std::string cols = fieldIdent("numQ");
  for (const bank::schema::Field& f : bank::schema::kindEntry(k).fields)
    if (f.type == bank::schema::FieldType::Rtf || f.type == bank::schema::FieldType::Text) cols += ", " + fieldIdent(f.name);
  return cols;
}

// The server refuses a lexeme of 2,048 bytes or more; a longer token is kept (and searched) as its
// beginning, cut between characters.
constexpr size_t kLexemeBytes = 2000;
// Nor does it take more than a megabyte of lexemes in one tsvector: a field with more distinct
// tokens than that is indexed by the first ones.
constexpr size_t kVectorBytes = 1000000;
// Places above 16,383 count as 16,383 on the server, and it keeps the first 256 places of a lexeme.
constexpr int kLastPlace = 16383;
constexpr size_t kPlacesPerLexeme = 256;

std::string lexemeOf(std::string_view token) {
  if (token.size() <= kLexemeBytes) return std::string(token);
  size_t n = kLexemeBytes;
  while (n > 0 && (static_cast<unsigned char>(token[n]) & 0xC0) == 0x80) --n;
  return std::string(token.substr(0, n));
}

std::string quotedLexeme(const std::string& lexeme) {
  std::string out = "'";
  for (char c : lexeme) {
    if (c == '\'' || c == '\\') out += c;
    out += c;
  }
  return out + "'";
}

// The tsvector text of blank-separated tokens: each token a lexeme with its places from 1, as
// the search layer cut the text (the server's parser would cut it again by rules of its own).
std::string vectorText(const std::string& words) {
  std::map<std::string, std::vector<int>> places;
  size_t bytes = 0;
  int place = 0;
  for (size_t at = 0; at < words.size();) {
    size_t end = words.find(' ', at);
    if (end == std::string::npos) end = words.size();
    if (end > at) {
      place = std::min(place + 1, kLastPlace);
      std::string lexeme = lexemeOf(std::string_view(words).substr(at, end - at));
      auto it = places.find(lexeme);
      if (it == places.end() && bytes + lexeme.size() <= kVectorBytes) {
        bytes += lexeme.size();
        it = places.emplace(std::move(lexeme), std::vector<int>()).first;
      }
      if (it != places.end() && it->second.size() < kPlacesPerLexeme &&
          (it->second.empty() || it->second.back() != place))
        it->second.push_back(place);
    }
    at = end + 1;
  }
  std::string out;
  for (const auto& [lexeme, at] : places) {
    if (!out.empty()) out += ' ';
    out += quotedLexeme(lexeme);
    for (size_t i = 0; i < at.size(); ++i) out += (i ? "," : ":") + std::to_string(at[i]);
  }
  return out;
}

// A phrase as the server is asked for it: its terms as lexemes.
struct LexemeTerm {
  std::string lexeme;
  bool prefix;
};
using Phrase = std::vector<LexemeTerm>;

// The query's token phrases with each token as the index keeps its lexeme (a long one cut as
// the index cut it).
std::vector<Phrase> phrasesOf(const TermQuery& query) {
  std::vector<Phrase> phrases;
  for (const search::index::Phrase& p : tokenPhrases(query)) {
    Phrase phrase;
    for (const Term& t : p.terms) phrase.push_back({lexemeOf(t.text), t.prefix});
    phrases.push_back(std::move(phrase));
  }
  return phrases;
}

// Every phrase required, each its tokens in a row.
std::string queryText(const std::vector<Phrase>& phrases) {
  std::string out;
  for (const Phrase& p : phrases) {
    if (!out.empty()) out += " & ";
    out += "(";
    for (size_t i = 0; i < p.size(); ++i)
      out += (i ? " <-> " : "") + quotedLexeme(p[i].lexeme) + (p[i].prefix ? ":*" : "");
    out += ")";
  }
  return out;
}

// How often the phrases stand in an entry, from the places of its lexemes that the phrases name
// ("lexeme:1,5 other:2"), as the file's index counts them.
int placesOf(const std::string& lexemePlaces, const std::vector<Phrase>& phrases) {
  std::map<int, std::vector<std::string>> at;
  for (size_t i = 0; i < lexemePlaces.size();) {
    size_t end = lexemePlaces.find(' ', i);
    if (end == std::string::npos) end = lexemePlaces.size();
    const std::string item = lexemePlaces.substr(i, end - i);
    const size_t colon = item.rfind(':');
    if (colon != std::string::npos) {
      const std::string lexeme = item.substr(0, colon);
      for (size_t p = colon + 1; p < item.size();) {
        size_t comma = item.find(',', p);
        if (comma == std::string::npos) comma = item.size();
        at[std::stoi(item.substr(p, comma - p))].push_back(lexeme);
        p = comma + 1;
      }
    }
    i = end + 1;
  }
  auto standsAt = [&](int place, const LexemeTerm& t) {
    auto it = at.find(place);
    if (it == at.end()) return false;
    for (const std::string& l : it->second)
      if (t.prefix ? l.starts_with(t.lexeme) : l == t.lexeme) return true;
    return false;
  };
  int places = 0;
  for (const Phrase& p : phrases)
    for (const auto& entry : at) {
      bool all = true;
      for (size_t k = 0; k < p.size() && all; ++k) all = standsAt(entry.first + static_cast<int>(k), p[k]);
      places += all ? 1 : 0;
    }
  return places;
}

// Editors may not write the index's tables: the entries go in through zx_search_put, which runs
// with the owner's rights, replaces the question's entries, takes the pool from the question row
// itself, and writes nothing for a question that does not exist. One statement for many
// questions: each statement is a round trip to the server.
void putQuestions(Engine& e, const std::vector<std::pair<QuestionRef, std::vector<Entry>>>& questions) {
  if (questions.empty()) return;
  std::string sql = "SELECT count(public.zx_search_put(q.k, q.n, q.f::text[], q.l::bigint[], q.w::text[])) FROM (VALUES ";
  std::vector<Value> params;
  for (const auto& [q, entries] : questions) {
    std::string fields = "{", lengths = "{", words = "{";
    auto element = [](const std::string& text) {
      std::string out = "\"";
      for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
      }
      return out + "\"";
    };
    for (size_t i = 0; i < entries.size(); ++i) {
      const char* sep = i ? "," : "";
      fields += sep + element(entries[i].field);
      lengths += sep + std::to_string(entries[i].length);
      words += sep + element(vectorText(entries[i].words));
    }
    const int n = static_cast<int>(params.size());
    sql += (n ? ", (" : "(");
    for (int i = 1; i <= 5; ++i) sql += (i > 1 ? ", " : "") + e.param(n + i);
    sql += ")";
    params.insert(params.end(), {Value(bank::schema::kindName(q.kind)), Value(q.numQ), Value(fields + "}"),
                                 Value(lengths + "}"), Value(words + "}")});
  }
  e.query(sql + ") AS q(k, n, f, l, w)", params)->next();
}

// Writes the entries of many questions in few statements.
class ServerFiller : public Filler {
 public:
  explicit ServerFiller(Engine& e) : e_(e) {}
  void add(const QuestionRef& q, const std::vector<Entry>& entries) override {
    pending_.emplace_back(q, entries);
    if (pending_.size() >= 128) flush();
  }
  void finish() override { flush(); }

 private:
  void flush() {
    putQuestions(e_, pending_);
    pending_.clear();
  }
  Engine& e_;
  std::vector<std::pair<QuestionRef, std::vector<Entry>>> pending_;
};

std::string questionsSelect(Kind kind, const std::vector<std::string>& fields) {
  std::string select = "SELECT numq";
  for (const std::string& f : fields) select += ", " + fieldIdent(f);
  return select + " FROM " + table(bank::schema::tableName(kind)) + " WHERE numq IS NOT NULL";
}

// Visits the rows; gives how many there were and the number of the last.
int visitRows(store::EngineRows& rows, size_t fields, const QuestionVisitor& visit, std::string& last) {
  std::vector<Value> values(fields);
  int n = 0;
  for (; rows.next(); ++n) {
    for (size_t i = 0; i < fields; ++i) values[i] = rows.column(static_cast<int>(i) + 1);
    last = rows.column(0).toString();
    visit(last, values);
  }
  return n;
}

class ServerIndex : public Index {
 public:
  explicit ServerIndex(Engine& e) : e_(e) {}

  // The bank's schema with its question tables, not the user tables' schema.
  bool appliesTo() override {
    for (Kind k : bank::schema::kAllKinds)
      if (!e_.hasTable(bank::schema::tableName(k))) return false;
    return true;
  }
  void create() override { e_.script(serverIndexSql()); }
  // A bank made on the server before it had an index gets one (its owner's rights are needed).
  void upgrade(int /*from*/) override {
    if (!present()) {
      create();
      return;
    }
    e_.script(serverIndexFunctionsSql());
  }
  std::vector<std::string> problems(int version) override {
    if (version >= 1 && !present()) return {"the search index's tables are missing"};
    return {};
  }

  void keepWhole() override {
    if (!present()) create();
  }

  bool present() override { return e_.hasTable("zx_search_state"); }

  bool built() override {
    if (!present()) return false;
    auto rows = e_.query("SELECT built FROM public.zx_search_state");
    return rows->next() && rows->column(0).toInt() == 1;
  }

  void clear() override { e_.query("SELECT public.zx_search_clear()")->next(); }

  // Refused by the server while a question has no entry: an index is built over every question.
  void setBuilt() override { e_.query("SELECT public.zx_search_set_built()")->next(); }

  std::vector<QuestionRef> takeMarked() override {
    // Most searches find nothing marked: they hold nothing and wait for no one.
    auto any = e_.query("SELECT EXISTS (SELECT 1 FROM public.zx_search_marks)");
    if (!any->next() || any->column(0).toInt() == 0) return {};
    std::set<QuestionRef> marked;
    auto rows = e_.query("SELECT kind, numq FROM public.zx_search_take_marks()");
    while (rows->next()) marked.insert({indexedKind(rows->column(0).toString()), rows->column(1).toString()});
    return std::vector<QuestionRef>(marked.begin(), marked.end());
  }

  void putEntries(const QuestionRef& q, const std::vector<Entry>& entries) override { putQuestions(e_, {{q, entries}}); }

  bool tooManyDeadEntries() override { return false; }  // the server's index takes its entries out itself

  std::unique_ptr<Filler> filler() override { return std::make_unique<ServerFiller>(e_); }

  void forEachQuestion(Kind kind, const std::vector<std::string>& fields, const QuestionVisitor& visit,
                       const std::string* numQ) override {
    if (!e_.hasTable(bank::schema::tableName(kind))) return;
    const std::string select = questionsSelect(kind, fields);
    std::string last;  // the number of the last question visited
    auto visitPage = [&](store::EngineRows& rows) { return visitRows(rows, fields.size(), visit, last); };
    if (numQ) {
      visitPage(*e_.query(select + " AND numq = $1", {Value(*numQ)}));
      return;
    }
    // In pages, by number: the server hands over a whole result at once, and a kind's rich texts
    // can be far more than the memory a search should take.
    constexpr int kPage = 500;
    const std::string page = " ORDER BY numq LIMIT " + std::to_string(kPage);
    int n = visitPage(*e_.query(select + page));
    while (n == kPage) n = visitPage(*e_.query(select + " AND numq > $1" + page, {Value(last)}));
  }

  void forEachQuestionOf(Kind kind, const std::vector<std::string>& fields, const std::vector<std::string>& numQs,
                         const QuestionVisitor& visit) override {
    if (numQs.empty() || !e_.hasTable(bank::schema::tableName(kind))) return;
    // One statement for the batch: each statement is a round trip to the server.
    std::string sql = questionsSelect(kind, fields) + " AND numq IN (";
    std::vector<Value> params;
    for (const std::string& numQ : numQs) {
      params.emplace_back(numQ);
      sql += (params.size() > 1 ? ", $" : "$") + std::to_string(params.size());
    }
    std::string last;
    visitRows(*e_.query(sql + ")", params), fields.size(), visit, last);
  }

  long long countQuestions(Kind kind) override {
    if (!e_.hasTable(bank::schema::tableName(kind))) return 0;
    auto rows = e_.query("SELECT count(*) FROM " + table(bank::schema::tableName(kind)) + " WHERE numq IS NOT NULL");
    return rows->next() ? rows->column(0).toInt() : 0;
  }

  std::vector<Hit> matchEntries(const TermQuery& query, const Filter& filter) override {
    const std::vector<Phrase> phrases = phrasesOf(query);
    if (phrases.empty()) return {};
    std::set<std::string> exact, prefixes;
    for (const Phrase& p : phrases)
      for (const LexemeTerm& t : p) (t.prefix ? prefixes : exact).insert(t.lexeme);
    auto joined = [](const std::set<std::string>& s) {
      std::string out;
      for (const std::string& x : s) out += (out.empty() ? "" : " ") + x;
      return out;
    };
    // The places of the lexemes the phrases name come back with each hit, from the index alone.
    std::string sql =
        "SELECT s.kind, s.numq, s.field, s.pool, s.length, "
        "(SELECT string_agg(u.lexeme || ':' || array_to_string(u.positions, ','), ' ') FROM unnest(s.words) u "
        "WHERE u.lexeme = ANY (string_to_array($2, ' ')) OR u.lexeme ^@ ANY (string_to_array($3, ' '))) "
        "FROM public.zx_search s WHERE s.words @@ $1::tsquery";
    std::vector<Value> params{Value(queryText(phrases)), Value(joined(exact)), Value(joined(prefixes))};
    if (!filter.kinds.empty()) {
      sql += " AND s.kind IN (";
      for (size_t i = 0; i < filter.kinds.size(); ++i)
        sql += (i ? ", " : "") + literal(bank::schema::kindName(filter.kinds[i]));
      sql += ")";
    }
    if (!filter.pool.empty()) {
      params.emplace_back(filter.pool);
      sql += " AND s.pool = $" + std::to_string(params.size()) + "::citext";
    }
    if (!filter.numberPrefix.empty()) {
      params.emplace_back(filter.numberPrefix);
      const std::string p = "$" + std::to_string(params.size()) + "::text";
      sql += " AND lower(left(s.numq::text, length(" + p + "))) = lower(" + p + ")";
    }
    auto rows = e_.query(sql, params);
    std::vector<Hit> hits;
    while (rows->next())
      hits.push_back({indexedKind(rows->column(0).toString()), rows->column(1).toString(), rows->column(2).toString(),
                      rows->column(3).toString(), rows->column(4).toInt(), placesOf(rows->column(5).toString(), phrases)});
    return hits;
  }

 private:
  Engine& e_;
};

}  // namespace

namespace {

const char* const kTablesSql = R"(
CREATE TABLE public.zx_search (id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, kind text NOT NULL,
  numq citext NOT NULL, field text NOT NULL, pool citext, length bigint NOT NULL, words tsvector NOT NULL);
CREATE INDEX zx_search_words ON public.zx_search USING gin (words);
CREATE INDEX zx_search_question ON public.zx_search (kind, numq);
CREATE TABLE public.zx_search_marks (kind text NOT NULL, numq text NOT NULL);
CREATE TABLE public.zx_search_state (built integer NOT NULL);
INSERT INTO public.zx_search_state (built) VALUES (0);
)";

// Everything that writes the index runs with the owner's rights: editors may not write its
// tables. Every writer (a search bringing it up to date, a rebuild, Replace) holds the one row of
// zx_search_state until its transaction ends, so that two editors indexing the same question at
// once do not both write its entries; writers of questions never wait for it.
const char* const kFunctionsSql = R"(
CREATE OR REPLACE FUNCTION public.zx_search_mark() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
SET search_path = public, pg_temp AS $f$
BEGIN
  IF TG_OP <> 'INSERT' AND OLD.numq IS NOT NULL THEN
    INSERT INTO public.zx_search_marks (kind, numq) VALUES (TG_ARGV[0], OLD.numq);
  END IF;
  IF TG_OP <> 'DELETE' AND NEW.numq IS NOT NULL AND (TG_OP = 'INSERT' OR NEW.numq IS DISTINCT FROM OLD.numq) THEN
    INSERT INTO public.zx_search_marks (kind, numq) VALUES (TG_ARGV[0], NEW.numq);
  END IF;
  RETURN NULL;
END $f$;
CREATE OR REPLACE FUNCTION public.zx_search_take_marks() RETURNS TABLE (kind text, numq text) LANGUAGE plpgsql
SECURITY DEFINER SET search_path = public, pg_temp AS $f$
BEGIN
  -- Most searches find nothing marked: they hold nothing and wait for no one.
  IF NOT EXISTS (SELECT 1 FROM public.zx_search_marks) THEN RETURN; END IF;
  PERFORM 1 FROM public.zx_search_state FOR UPDATE;
  RETURN QUERY DELETE FROM public.zx_search_marks m RETURNING m.kind, m.numq;
END $f$;
CREATE OR REPLACE FUNCTION public.zx_search_clear() RETURNS void LANGUAGE plpgsql SECURITY DEFINER
SET search_path = public, pg_temp AS $f$
BEGIN
  PERFORM 1 FROM public.zx_search_state FOR UPDATE;
  DELETE FROM public.zx_search;
  DELETE FROM public.zx_search_marks;
  UPDATE public.zx_search_state SET built = 0;
END $f$;
)";

// The server cannot read rich text, so the words come from the client; what it can check, it
// does: the question must exist, its pool is read from its row, and a question without words
// gets an empty entry, so that an index is counted as built only once every question has one.
std::string putFunctionSql() {
  std::string cases, missing;
  for (Kind k : bank::schema::kAllKinds) {
    const std::string kind = literal(bank::schema::kindName(k)), t = table(bank::schema::tableName(k));
    cases += "    WHEN " + kind + " THEN SELECT true, q." + fieldIdent(bank::schema::fieldFor(k, bank::schema::Holds::Pool)) +
             "::text INTO there, p FROM " + t + " q WHERE q.numq = n::citext;\n";
    missing += std::string(missing.empty() ? "" : "    OR ") + "EXISTS (SELECT 1 FROM " + t +
               " q WHERE q.numq IS NOT NULL AND NOT EXISTS (SELECT 1 FROM public.zx_search s WHERE s.kind = " + kind +
               " AND s.numq = q.numq) AND NOT EXISTS (SELECT 1 FROM public.zx_search_marks m WHERE m.kind = " + kind +
               " AND m.numq = q.numq::text))\n";
  }
  return R"(
CREATE OR REPLACE FUNCTION public.zx_search_put(k text, n text, f text[], l bigint[], w text[]) RETURNS integer
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $f$
DECLARE there boolean; p text;
BEGIN
  IF cardinality(f) <> cardinality(l) OR cardinality(f) <> cardinality(w) THEN
    RAISE EXCEPTION 'zx_search_put: % fields, % lengths, % word lists', cardinality(f), cardinality(l), cardinality(w);
  END IF;
  PERFORM 1 FROM public.zx_search_state FOR UPDATE;
  DELETE FROM public.zx_search s WHERE s.kind = k AND s.numq = n::citext;
  CASE k
)" + cases + R"(    ELSE RAISE EXCEPTION 'zx_search_put: no kind %', k;
  END CASE;
  IF there IS NULL THEN RETURN 0; END IF;
  IF cardinality(f) = 0 THEN
    INSERT INTO public.zx_search (kind, numq, field, pool, length, words) VALUES (k, n, '', p, 0, ''::tsvector);
  ELSE
    INSERT INTO public.zx_search (kind, numq, field, pool, length, words)
      SELECT k, n, e.f, p, e.l, e.w::tsvector FROM unnest(f, l, w) AS e(f, l, w);
  END IF;
  RETURN 1;
END $f$;
-- A question written by another client during the build is marked, and indexed at the next search.
CREATE OR REPLACE FUNCTION public.zx_search_set_built() RETURNS void LANGUAGE plpgsql SECURITY DEFINER
SET search_path = public, pg_temp AS $f$
BEGIN
  PERFORM 1 FROM public.zx_search_state FOR UPDATE;
  IF )" + missing + R"(  THEN
    RAISE EXCEPTION 'the search index lacks questions of the bank; it is not counted as built';
  END IF;
  UPDATE public.zx_search_state SET built = 1;
END $f$;
)";
}

}  // namespace

std::string serverIndexFunctionsSql() {
  std::string sql = std::string(kFunctionsSql) + putFunctionSql();
  // Marks are written whether or not the index was ever built: a question written while the first
  // build reads the bank is then indexed again at the next search, whichever commits first.
  for (Kind k : bank::schema::kAllKinds) {
    const std::string t = table(bank::schema::tableName(k));
    sql += "DROP TRIGGER IF EXISTS zx_search_mark ON " + t + ";\n";
    sql += "CREATE TRIGGER zx_search_mark AFTER INSERT OR DELETE OR UPDATE OF " + watchedColumns(k) + " ON " + t +
           " FOR EACH ROW EXECUTE FUNCTION public.zx_search_mark(" + literal(bank::schema::kindName(k)) + ");\n";
  }
  return sql;
}

std::string serverIndexSql() { return kTablesSql + serverIndexFunctionsSql(); }

std::string serverQueryText(const TermQuery& query) { return queryText(phrasesOf(query)); }

std::unique_ptr<Index> makeServerIndex(Engine& engine) { return std::make_unique<ServerIndex>(engine); }

}  // namespace search::index
