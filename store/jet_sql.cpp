#include "jet_sql.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

#include "db_error.h"
#include "sqlite_db.h"
#include "text.h"

namespace store {

namespace {

enum class Tok { Word, Ident, String, Number, Op, End };

struct Token {
  Tok type;
  std::string text;  // words as written; strings unescaped; brackets removed
  std::string key = {};  // words in lower case, for matching keywords
};

[[noreturn]] void commandError(const std::string& what) {
  throw DbError(err::CommandError, "Syntax error in the SQL statement: " + what);
}

bool isWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }

std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  out.reserve(32);
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    if (c == '\'' || c == '"') {
      std::string text;
      size_t j = i + 1;
      for (;;) {
        if (j >= s.size()) commandError("a string is not closed.");
        if (s[j] == static_cast<char>(c)) {
          if (j + 1 < s.size() && s[j + 1] == static_cast<char>(c)) {
            text += s[j];
            j += 2;
            continue;
          }
          break;
        }
        text += s[j++];
      }
      out.push_back({Tok::String, std::move(text)});
      i = j + 1;
      continue;
    }
    if (c == '[') {
      size_t j = s.find(']', i + 1);
      if (j == std::string_view::npos) commandError("a bracketed name is not closed.");
      std::string name(s.substr(i + 1, j - i - 1));
      if (name.empty()) commandError("an empty bracketed name.");
      out.push_back({Tok::Ident, std::move(name)});
      i = j + 1;
      continue;
    }
    if (std::isdigit(c)) {
      size_t j = i;
      while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
      if (j < s.size() && isWordChar(static_cast<unsigned char>(s[j]))) {
        // A name that begins with digits, such as 12to13SC or 13th.
        while (j < s.size() && isWordChar(static_cast<unsigned char>(s[j]))) ++j;
        out.push_back({Tok::Word, std::string(s.substr(i, j - i)), lowerAscii(std::string(s.substr(i, j - i)))});
      } else {
        if (j + 1 < s.size() && s[j] == '.' && std::isdigit(static_cast<unsigned char>(s[j + 1]))) {
          ++j;
          while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
        }
        out.push_back({Tok::Number, std::string(s.substr(i, j - i))});
      }
      i = j;
      continue;
    }
    if (isWordChar(c)) {
      size_t j = i;
      while (j < s.size() && isWordChar(static_cast<unsigned char>(s[j]))) ++j;
      out.push_back({Tok::Word, std::string(s.substr(i, j - i)), lowerAscii(std::string(s.substr(i, j - i)))});
      i = j;
      continue;
    }
    static const char* const twoChar[] = {"<=", ">=", "<>"};
    bool matched = false;
    for (const char* op : twoChar) {
      if (s.substr(i, 2) == op) {
        out.push_back({Tok::Op, op});
        i += 2;
        matched = true;
        break;
      }
    }
    if (matched) continue;
    if (std::string_view("=<>+-*/(),.;&").find(static_cast<char>(c)) != std::string_view::npos) {
      out.push_back({Tok::Op, std::string(1, static_cast<char>(c))});
      ++i;
      continue;
    }
    commandError(std::string("the character '") + static_cast<char>(c) + "' is not understood.");
  }
  out.push_back({Tok::End, ""});
  return out;
}

// Words that end an expression or a list.
bool isClauseWord(const std::string& w) {
  static const char* const words[] = {"from",  "where", "group", "having", "order",
                                      "into",  "set",   "values", "select", "union"};
  for (const char* k : words)
    if (w == k) return true;
  return false;
}

const std::map<std::string, std::string>& functions() {
  // Jet function -> SQLite function with the same meaning for the arguments used.
  static const std::map<std::string, std::string> f = {
      {"count", "count"}, {"sum", "sum"},     {"min", "min"},       {"max", "max"},
      {"avg", "avg"},     {"ucase", "upper"}, {"lcase", "lower"},   {"len", "length"},
      {"mid", "substr"},  {"trim", "trim"},   {"ltrim", "ltrim"},   {"rtrim", "rtrim"},
      {"abs", "abs"}};
  return f;
}

class Translator {
 public:
  Translator(std::string_view jet, const TableResolver& resolve)
      : toks_(tokenize(jet)), resolve_(resolve) {}

  Translation run() {
    Translation t;
    const std::string first = peekWord();
    if (first == "select")
      select(t);
    else if (first == "delete")
      del(t);
    else if (first == "insert")
      insert(t);
    else if (first == "update")
      update(t);
    else
      commandError("a statement must begin with SELECT, DELETE, INSERT or UPDATE.");
    if (isOp(";")) ++pos_;
    if (cur().type != Tok::End) commandError("characters were found after the end of the statement.");
    return t;
  }

 private:
  const Token& cur() const { return toks_[pos_]; }
  const Token& next() const { return toks_[std::min(pos_ + 1, toks_.size() - 1)]; }
  const std::string& peekWord() const {
    static const std::string none;
    return cur().type == Tok::Word ? cur().key : none;
  }
  bool isWord(const char* w) const { return peekWord() == w; }
  bool isOp(const char* op) const { return cur().type == Tok::Op && cur().text == op; }
  void expectWord(const char* w) {
    if (!isWord(w)) commandError(std::string("'") + w + "' was expected.");
    ++pos_;
  }
  void expectOp(const char* op) {
    if (!isOp(op)) commandError(std::string("'") + op + "' was expected.");
    ++pos_;
  }
  std::string name() {
    if (cur().type != Tok::Word && cur().type != Tok::Ident) commandError("a name was expected.");
    return toks_[pos_++].text;
  }

  // Table in a FROM clause; aliased by the name the statement uses for it.
  std::string tableRef(std::string* writtenName = nullptr) {
    std::string written = name();
    ResolvedTable r = resolve_(written);
    std::string alias = written;
    if (isWord("as")) {
      ++pos_;
      alias = name();
    } else if (cur().type == Tok::Ident || (cur().type == Tok::Word && !isClauseWord(peekWord()) &&
                                            peekWord() != "inner" && peekWord() != "left")) {
      alias = name();
    }
    if (isOp(",") || isWord("inner") || isWord("left") || isWord("right") || isWord("join"))
      commandError("statements over more than one table are not supported.");
    if (writtenName) *writtenName = alias;
    lastResolved_ = r;
    return r.qualified + " AS " + sqlIdent(alias);
  }

  // A table that is written to: no alias in the SQLite of this engine, so qualifiers that
  // name it are mapped to its real name.
  std::string targetTable() {
    std::string written = name();
    ResolvedTable r = resolve_(written);
    qualifierMap_[lowerAscii(written)] = r.name;
    lastResolved_ = r;
    return r.qualified;
  }

  // Column reference or expression up to a clause word, a comma at depth 0, or the end.
  std::string expression(bool stopAtComma, bool stopAtAs = false) {
    std::string out;
    int depth = 0;
    bool any = false;
    for (;;) {
      const Token& t = cur();
      if (t.type == Tok::End) break;
      if (t.type == Tok::Op && t.text == ";") break;
      if (t.type == Tok::Op && t.text == ")" && depth == 0) break;
      if (t.type == Tok::Op && t.text == "," && depth == 0 && stopAtComma) break;
      if (t.type == Tok::Word) {
        const std::string& w = t.key;
        if (depth == 0 && (isClauseWord(w) || w == "asc" || w == "desc" || (stopAtAs && w == "as")))
          break;
        if (depth > 0 && w == "select") commandError("subqueries are not supported.");
      }
      any = true;
      out += piece();
      out += ' ';
      if (t.type == Tok::Op && t.text == "(") ++depth;
      if (t.type == Tok::Op && t.text == ")") --depth;
    }
    if (!any) commandError("an expression was expected.");
    if (depth != 0) commandError("parentheses do not match.");
    if (!out.empty()) out.pop_back();
    return out;
  }

  // One token of an expression, translated; advances.
  std::string piece() {
    const Token& t = toks_[pos_++];
    switch (t.type) {
      case Tok::String:
        return sqlLiteral(t.text);
      case Tok::Number:
        return t.text;
      case Tok::Op:
        if (t.text == "&") return "||";
        if (t.text == "(" || t.text == ")" || t.text == "," || t.text == "*" || t.text == "=" ||
            t.text == "<" || t.text == ">" || t.text == "<=" || t.text == ">=" || t.text == "<>" ||
            t.text == "+" || t.text == "-" || t.text == "/")
          return t.text;
        commandError("'" + t.text + "' is out of place.");
      case Tok::Ident:
        return columnRef(t.text);
      case Tok::Word: {
        const std::string& w = t.key;
        static const char* const keywords[] = {"and", "or", "not", "like", "is",
                                               "null", "in", "between"};
        for (const char* k : keywords)
          if (w == k) return w;
        if (w == "true") return "1";
        if (w == "false") return "0";
        if (isOp("(")) {
          auto f = functions().find(w);
          if (f == functions().end()) commandError("the function '" + t.text + "' is not known.");
          return f->second;
        }
        return columnRef(t.text);
      }
      case Tok::End:
        break;
    }
    commandError("the statement ends too early.");
  }

  std::string columnRef(const std::string& first) {
    if (isOp(".")) {
      ++pos_;
      std::string qualifier = first;
      auto m = qualifierMap_.find(lowerAscii(qualifier));
      if (m != qualifierMap_.end()) qualifier = m->second;
      if (isOp("*")) {
        ++pos_;
        return sqlIdent(qualifier) + ".*";
      }
      return sqlIdent(qualifier) + "." + sqlIdent(name());
    }
    return sqlIdent(first);
  }

  std::string selectList(bool* starOnly) {
    std::string out;
    *starOnly = isOp("*") && next().type == Tok::Word &&
                (next().key == "into" || next().key == "from");
    for (;;) {
      if (isOp("*")) {
        ++pos_;
        out += "*";
      } else {
        out += expression(true, true);
        if (isWord("as")) {
          ++pos_;
          out += " AS " + sqlIdent(name());
        }
      }
      if (!isOp(",")) break;
      ++pos_;
      out += ", ";
    }
    return out;
  }

  std::string tail() {
    std::string out;
    if (isWord("where")) {
      ++pos_;
      out += " WHERE " + expression(false);
    }
    if (isWord("group")) {
      ++pos_;
      expectWord("by");
      out += " GROUP BY " + list();
    }
    if (isWord("having")) {
      ++pos_;
      out += " HAVING " + expression(false);
    }
    if (isWord("order")) {
      ++pos_;
      expectWord("by");
      out += " ORDER BY ";
      for (;;) {
        out += expression(true);
        if (isWord("asc") || isWord("desc")) out += " " + toks_[pos_++].key;
        if (!isOp(",")) break;
        ++pos_;
        out += ", ";
      }
    }
    return out;
  }

  std::string list() {
    std::string out = expression(true);
    while (isOp(",")) {
      ++pos_;
      out += ", " + expression(true);
    }
    return out;
  }

  void select(Translation& t, bool withRowid = true) {
    expectWord("select");
    bool distinct = false;
    if (isWord("distinct")) {
      ++pos_;
      distinct = true;
    }
    bool starOnly = false;
    std::string cols = selectList(&starOnly);
    std::string into;
    if (isWord("into")) {
      ++pos_;
      into = name();
    }
    expectWord("from");
    std::string alias;
    std::string from = tableRef(&alias);
    std::string rest = tail();
    bool plain = !distinct && starOnly && into.empty() && rest.find(" GROUP BY ") == std::string::npos;
    if (plain && withRowid) {
      cols += ", " + sqlIdent(alias) + ".rowid AS " + sqlIdent(kRowidColumn);
      t.updatableTable = lastResolved_;
    }
    std::string sel = std::string("SELECT ") + (distinct ? "DISTINCT " : "") + cols + " FROM " + from + rest;
    if (into.empty()) {
      t.kind = StatementKind::Select;
      t.sql = sel;
    } else {
      t.kind = StatementKind::SelectInto;
      t.sql = "CREATE TABLE " + sqlIdent(into) + " AS " + sel;
    }
  }

  void del(Translation& t) {
    expectWord("delete");
    if (isOp("*")) ++pos_;
    expectWord("from");
    t.kind = StatementKind::Delete;
    t.sql = "DELETE FROM " + targetTable();
    if (isWord("where")) {
      ++pos_;
      t.sql += " WHERE " + expression(false);
    }
  }

  void insert(Translation& t) {
    expectWord("insert");
    expectWord("into");
    t.kind = StatementKind::Insert;
    t.sql = "INSERT INTO " + targetTable();
    if (isOp("(")) {
      ++pos_;
      t.sql += " (" + sqlIdent(name());
      while (isOp(",")) {
        ++pos_;
        t.sql += ", " + sqlIdent(name());
      }
      expectOp(")");
      t.sql += ")";
    }
    if (isWord("values")) {
      ++pos_;
      expectOp("(");
      t.sql += " VALUES (" + list() + ")";
      expectOp(")");
    } else if (isWord("select")) {
      Translation sub;
      select(sub, /*withRowid=*/false);
      if (sub.kind != StatementKind::Select) commandError("INSERT cannot select INTO a table.");
      t.sql += " " + sub.sql;
    } else {
      commandError("INSERT needs SELECT or VALUES.");
    }
  }

  void update(Translation& t) {
    expectWord("update");
    t.kind = StatementKind::Update;
    t.sql = "UPDATE " + targetTable() + " SET ";
    expectWord("set");
    for (;;) {
      std::string col = name();
      if (isOp(".")) {
        ++pos_;
        col = name();
      }
      expectOp("=");
      t.sql += sqlIdent(col) + " = " + expression(true);
      if (!isOp(",")) break;
      ++pos_;
      t.sql += ", ";
    }
    if (isWord("where")) {
      ++pos_;
      t.sql += " WHERE " + expression(false);
    }
  }

  std::vector<Token> toks_;
  size_t pos_ = 0;
  const TableResolver& resolve_;
  std::map<std::string, std::string> qualifierMap_;
  ResolvedTable lastResolved_;
};

}  // namespace

Translation translateJetSql(std::string_view jet, const TableResolver& resolve) {
  return Translator(jet, resolve).run();
}

}  // namespace store
