#include "jet_sql.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <map>
#include <set>
#include <vector>

#include "db_error.h"
#include "text.h"

namespace store {

namespace {

[[noreturn]] void commandError(const std::string& what) {
  throw DbError(err::CommandError, "Syntax error in the SQL statement: " + what);
}

// ---------------------------------------------------------------------------------------
// Tokens

enum class Tok { Word, Ident, String, Number, Date, Op, End };

struct Token {
  Tok type;
  std::string text;      // words and numbers as written; strings unescaped; brackets removed
  std::string key = {};  // words in lower case, for matching keywords
};

bool isWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Length of an exponent "e[+-]digits" at s[i], or 0.
size_t exponentAt(std::string_view s, size_t i) {
  if (i >= s.size() || (s[i] != 'e' && s[i] != 'E')) return 0;
  size_t j = i + 1;
  if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
  if (j >= s.size() || !isDigit(s[j])) return 0;
  while (j < s.size() && isDigit(s[j])) ++j;
  return j - i;
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// Words of the dialect, and Jet words whose forms are not translated: never names unless
// they stand in brackets.
bool isReserved(const std::string& w) {
  static const std::set<std::string> words = {
      "select", "from",  "where",  "group",  "by",     "having", "order",      "into",    "set",
      "values", "insert", "update", "delete", "and",    "or",     "not",        "like",    "is",
      "null",   "in",    "between", "as",    "asc",    "desc",   "distinct",   "distinctrow",
      "top",    "percent", "union", "all",   "join",   "inner",  "left",       "right",   "outer",
      "full",   "on",    "exists", "any",    "some",   "mod",    "xor",        "eqv",     "imp",
      "true",   "false", "transform", "pivot", "parameters", "with", "create", "drop",   "alter",
      "table",  "escape", "case",  "when",   "then",   "else",   "end",        "cast",    "collate",
      "glob",   "regexp", "match", "limit",  "offset", "except", "intersect",  "procedure"};
  return words.count(w) != 0;
}

std::vector<Token> tokenize(std::string_view s) {
  // The engine reads a statement up to its first NUL: whatever followed would be dropped.
  if (s.find('\0') != std::string_view::npos) commandError("the statement holds a NUL character.");
  std::vector<Token> out;
  out.reserve(32);
  size_t i = 0;
  auto word = [&](size_t from, size_t to) {
    std::string w(s.substr(from, to - from));
    out.push_back({Tok::Word, w, lowerAscii(w)});
  };
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
      if (name.find('[') != std::string::npos)
        commandError("the name [" + name + "] holds a character that a name cannot hold.");
      out.push_back({Tok::Ident, std::move(name)});
      i = j + 1;
      continue;
    }
    if (c == '#') {
      size_t j = s.find('#', i + 1);
      if (j == std::string_view::npos) commandError("a date is not closed.");
      out.push_back({Tok::Date, std::string(s.substr(i, j - i + 1))});
      i = j + 1;
      continue;
    }
    // A number: 2, 2.5, .5, 2., 1e3, 1.5E-3. A leading dot after a name is a qualifier's.
    const bool afterName = !out.empty() && (out.back().type == Tok::Ident ||
                                            (out.back().type == Tok::Word && !isReserved(out.back().key)));
    if (isDigit(static_cast<char>(c)) || (c == '.' && !afterName && i + 1 < s.size() && isDigit(s[i + 1]))) {
      size_t j = i;
      while (j < s.size() && isDigit(s[j])) ++j;
      bool fraction = false;
      if (j < s.size() && s[j] == '.' && !(j + 1 < s.size() && isWordChar(static_cast<unsigned char>(s[j + 1])) &&
                                           !isDigit(s[j + 1]))) {
        fraction = true;
        ++j;
        while (j < s.size() && isDigit(s[j])) ++j;
      }
      j += exponentAt(s, j);
      if (j < s.size() && isWordChar(static_cast<unsigned char>(s[j]))) {
        // A name that begins with digits, such as 12to13SC or 13th.
        if (fraction) {
          size_t k = j;
          while (k < s.size() && isWordChar(static_cast<unsigned char>(s[k]))) ++k;
          commandError(quoted(s.substr(i, k - i)) + " is neither a number nor a name.");
        }
        while (j < s.size() && isWordChar(static_cast<unsigned char>(s[j]))) ++j;
        word(i, j);
      } else {
        out.push_back({Tok::Number, std::string(s.substr(i, j - i))});
      }
      i = j;
      continue;
    }
    if (isWordChar(c)) {
      size_t j = i;
      while (j < s.size() && isWordChar(static_cast<unsigned char>(s[j]))) ++j;
      word(i, j);
      i = j;
      continue;
    }
    if (c == '&' && i + 2 < s.size() && (s[i + 1] == 'h' || s[i + 1] == 'H' || s[i + 1] == 'o' || s[i + 1] == 'O') &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      size_t j = i + 2;
      while (j < s.size() && isWordChar(static_cast<unsigned char>(s[j]))) ++j;
      commandError("the number " + quoted(s.substr(i, j - i)) + " is not supported; write it in decimal.");
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
    if (c < 0x20) commandError("a control character is not understood.");
    commandError("the character " + quoted(std::string(1, static_cast<char>(c))) + " is not understood.");
  }
  out.push_back({Tok::End, ""});
  return out;
}

// ---------------------------------------------------------------------------------------
// Expression tree

enum class Type { Text, Number, Bool, Null, Any };  // Any: a field, known when the statement runs

enum class Kind { Text, Number, BoolLit, Null, Column, Call, Neg, Not, Arith, Logic, Compare, Like, IsNull, Between, In, Group };

struct Node {
  Kind kind;
  Type type;
  std::string text;       // literal, number, operator, column name or SQLite function name
  std::string qualifier;  // of a column
  bool negated = false;   // NOT LIKE, IS NOT NULL, NOT BETWEEN, NOT IN
  bool star = false;      // count(*)
  int depth = 1;
  std::vector<Node> kids;
  bool tableQualifier = false;  // the qualifier is the real name of the table written to, not an alias
};

struct Function {
  const char* jet;
  const char* sqlite;
  int minArgs, maxArgs;
  bool aggregate;
  Type result;
};

const Function* findFunction(const std::string& lowerName) {
  static const Function f[] = {
      {"count", "count", 1, 1, true, Type::Number},  {"sum", "sum", 1, 1, true, Type::Number},
      {"min", "min", 1, 1, true, Type::Any},         {"max", "max", 1, 1, true, Type::Any},
      {"avg", "avg", 1, 1, true, Type::Number},      {"ucase", "upper", 1, 1, false, Type::Text},
      {"lcase", "lower", 1, 1, false, Type::Text},   {"len", "length", 1, 1, false, Type::Number},
      {"mid", "substr", 2, 3, false, Type::Text},    {"trim", "trim", 1, 1, false, Type::Text},
      {"ltrim", "ltrim", 1, 1, false, Type::Text},   {"rtrim", "rtrim", 1, 1, false, Type::Text},
      {"abs", "abs", 1, 1, false, Type::Number}};
  for (const Function& x : f)
    if (lowerName == x.jet) return &x;
  return nullptr;
}

constexpr int kMaxDepth = 200;        // of the parse, well inside the stack
constexpr int kMaxTreeDepth = 500;    // of a chain, inside the engine's expression depth
constexpr int kMaxSqlNesting = 24;    // of parentheses in the output, inside the engine's parser stack
constexpr size_t kMaxList = 255;   // fields of a Jet table or query

bool isBareColumn(const Node& n) {
  if (n.kind == Kind::Group) return isBareColumn(n.kids[0]);
  return n.kind == Kind::Column;
}

// Rendered SQL with the precedence of its outermost operator in SQLite, so that operands
// are put in parentheses only where SQLite would read them otherwise: the engine's parser
// has a small stack, and a long chain must not nest. (The server reads every form below with
// these parentheses the same way: what binds less tightly there, such as ||, never stands as
// an operand of what binds more.)
struct Sql {
  std::string text;
  int prec;
};
constexpr int kAtom = 100, kUnary = 90, kConcat = 80, kMul = 70, kAdd = 60, kBit = 50, kLess = 40, kEqual = 35,
              kNot = 30, kAnd = 20, kOr = 10;

std::string wrap(const Sql& s, int parent, bool right) {
  return (s.prec < parent || (right && s.prec == parent)) ? "(" + s.text + ")" : s.text;
}

// The operands of a chain of & from left to right.
void concatOperands(const Node& n, std::vector<const Node*>& out) {
  if (n.kind == Kind::Arith && n.text == "&") {
    concatOperands(n.kids[0], out);
    out.push_back(&n.kids[1]);
  } else {
    out.push_back(&n);
  }
}

// Writes the expression tree in the SQL of one engine, with the Jet meaning.
class Renderer {
 public:
  explicit Renderer(Dialect d) : d_(d), server_(d == Dialect::Postgres) {}

  std::string columnSql(const Node& n) const {
    std::string q;
    if (!n.qualifier.empty()) q = (n.tableQualifier ? tableIdent(d_, n.qualifier) : fieldIdent(d_, n.qualifier)) + ".";
    return q + fieldIdent(d_, n.text);
  }

  // Text compares without regard to case: fields carry that in their collation (the server's
  // in their case-insensitive type), other text operands are given it.
  std::string compared(const Node& n, const Node& other, int parent, bool right) const {
    Sql s = valueOf(n);
    if (server_) {
      // A quoted text beside a field takes the field's type; other text is made case-insensitive.
      bool cast = !isBareColumn(n) && ((n.type == Type::Text && !(n.kind == Kind::Text && isBareColumn(other))) ||
                                       (n.type == Type::Any && other.type == Type::Text));
      return cast ? "CAST(" + s.text + " AS citext)" : wrap(s, parent, right);
    }
    if (!isBareColumn(n) && !isBareColumn(other) && (n.type == Type::Text || n.type == Type::Any ||
                                                     other.type == Type::Text || other.type == Type::Any))
      return (s.prec == kAtom ? s.text : "(" + s.text + ")") + " COLLATE NOCASE";
    return wrap(s, parent, right);
  }

  // A condition as Jet's value of it: -1 (True) or 0 (False).
  Sql truthValue(const Node& n) const {
    if (server_) return {"-CAST(" + conditionOf(n).text + " AS integer)", kUnary};
    return {"-(" + conditionOf(n).text + ")", kUnary};
  }

  // The value of a node as Jet gives it: conditions are -1 (True) or 0 (False).
  Sql valueOf(const Node& n) const {
    switch (n.kind) {
      case Kind::Text:
        return {textLiteral(n.text), kAtom};
      case Kind::Number:
        return {n.text, kAtom};
      case Kind::BoolLit:
        return {n.text, n.text[0] == '-' ? kUnary : kAtom};
      case Kind::Null:
        return {"NULL", kAtom};
      case Kind::Column:
        return {columnSql(n), kAtom};
      case Kind::Call: {
        if (n.star) return {n.text + "(*)", kAtom};
        std::string s = n.text + "(";
        for (size_t i = 0; i < n.kids.size(); ++i) s += (i ? ", " : "") + valueOf(n.kids[i]).text;
        return {s + ")", kAtom};
      }
      case Kind::Group:
        return {"( " + valueOf(n.kids[0]).text + " )", kAtom};
      case Kind::Neg:
        return {"-" + wrap(valueOf(n.kids[0]), kUnary, true), kUnary};
      case Kind::Arith: {
        const Node& a = n.kids[0];
        const Node& b = n.kids[1];
        if (n.text == "&") {
          std::vector<const Node*> parts;
          concatOperands(n, parts);
          if (server_) return {concatOnServer(parts, 0, parts.size()), kAtom};
          // The engine takes at most 127 arguments to a function: longer chains nest.
          std::string s;
          for (size_t i = 0; i < parts.size(); ++i) {
            if (i % 100 == 0) s = i == 0 ? "zx_concat(" : "zx_concat(" + s + "), ";
            s += (i % 100 ? ", " : "") + valueOf(*parts[i]).text;
          }
          return {s + ")", kAtom};
        }
        if (n.text == "/")
          return {"CAST(" + valueOf(a).text + (server_ ? " AS double precision) / " : " AS REAL) / ") +
                      wrap(valueOf(b), kMul, true),
                  kMul};
        if (server_ && n.type == Type::Null) return {"NULL", kAtom};  // Null + anything; the server types no bare Null
        if (n.text == "+" && n.type == Type::Text)
          return {wrap(valueOf(a), kConcat, false) + " || " + wrap(valueOf(b), kConcat, true), kConcat};
        if (n.text == "+" && n.type == Type::Any) return {"zx_add(" + valueOf(a).text + ", " + valueOf(b).text + ")", kAtom};
        const int p = n.text == "*" ? kMul : kAdd;
        return {wrap(valueOf(a), p, false) + " " + n.text + " " + wrap(valueOf(b), p, true), p};
      }
      case Kind::Logic:
        if (n.type == Type::Bool) return truthValue(n);
        // Jet's And and Or work bit by bit on numbers.
        return {wholeNumber(n.kids[0], false) + (n.text == "AND" ? " & " : " | ") + wholeNumber(n.kids[1], true), kBit};
      case Kind::Not:
        if (n.type == Type::Bool) return truthValue(n);
        return {"~" + (server_ ? wholeNumber(n.kids[0], true) : wrap(valueOf(n.kids[0]), kUnary, true)), kUnary};
      case Kind::Compare:
      case Kind::Like:
      case Kind::IsNull:
      case Kind::Between:
      case Kind::In:
        return truthValue(n);
    }
    return {};
  }

  // The node as the condition of a WHERE or HAVING clause.
  Sql conditionOf(const Node& n) const {
    switch (n.kind) {
      case Kind::Compare: {
        const int p = (n.text == "=" || n.text == "<>") ? kEqual : kLess;
        return {compared(n.kids[0], n.kids[1], p, false) + " " + n.text + " " + compared(n.kids[1], n.kids[0], p, true), p};
      }
      case Kind::Like: {
        // Jet's Like ignores case; the server's would take a backslash as an escape.
        std::string left = server_ && !isBareColumn(n.kids[0]) ? "CAST(" + valueOf(n.kids[0]).text + " AS citext)"
                                                               : wrap(valueOf(n.kids[0]), kEqual, false);
        return {left + (n.negated ? " NOT LIKE " : " LIKE ") + valueOf(n.kids[1]).text + (server_ ? " ESCAPE ''" : ""),
                kEqual};
      }
      case Kind::IsNull:
        return {wrap(valueOf(n.kids[0]), kEqual, false) + (n.negated ? " IS NOT NULL" : " IS NULL"), kEqual};
      case Kind::Between:
        return {compared(n.kids[0], n.kids[1], kEqual, false) + (n.negated ? " NOT BETWEEN " : " BETWEEN ") +
                    wrap(valueOf(n.kids[1]), kEqual, true) + " AND " + wrap(valueOf(n.kids[2]), kEqual, true),
                kEqual};
      case Kind::In: {
        std::string s = compared(n.kids[0], n.kids[1], kEqual, false) + (n.negated ? " NOT IN (" : " IN (");
        for (size_t i = 1; i < n.kids.size(); ++i) s += (i > 1 ? ", " : "") + valueOf(n.kids[i]).text;
        return {s + ")", kEqual};
      }
      case Kind::Logic: {
        if (n.type != Type::Bool) return numberAsCondition(n);
        const int p = n.text == "AND" ? kAnd : kOr;
        return {wrap(conditionOf(n.kids[0]), p, false) + " " + n.text + " " + wrap(conditionOf(n.kids[1]), p, true), p};
      }
      case Kind::Not:
        if (n.type != Type::Bool) return numberAsCondition(n);
        return {"NOT " + wrap(conditionOf(n.kids[0]), kNot, true), kNot};
      case Kind::Group:
        return {"( " + conditionOf(n.kids[0]).text + " )", kAtom};
      default:
        return numberAsCondition(n);
    }
  }

 private:
  // A number where a condition stands: true unless 0 (the file's engine reads it so itself).
  Sql numberAsCondition(const Node& n) const {
    if (!server_) return valueOf(n);
    return {wrap(valueOf(n), kEqual, false) + " <> 0", kEqual};
  }

  // An operand of a bit-by-bit And, Or or Not: the server's work on whole numbers only.
  std::string wholeNumber(const Node& n, bool right) const {
    if (server_) return "CAST(" + valueOf(n).text + " AS bigint)";
    return wrap(valueOf(n), kBit, right);
  }

  // Jet's & on the server: Null counts as empty text, and only when every operand is Null is the
  // result Null. The server takes at most 100 arguments to a function: longer chains nest.
  std::string concatOnServer(const std::vector<const Node*>& parts, size_t from, size_t to) const {
    constexpr size_t kMaxArgs = 100;
    std::string args;
    size_t i = from;
    if (to - from > kMaxArgs) {
      args = concatOnServer(parts, from, to - (kMaxArgs - 1));
      i = to - (kMaxArgs - 1);
    }
    for (; i < to; ++i) args += (args.empty() ? "" : ", ") + valueOf(*parts[i]).text;
    return "CASE WHEN num_nonnulls(" + args + ") = 0 THEN NULL ELSE concat(" + args + ") END";
  }

  Dialect d_;
  bool server_;
};

// The deepest nesting of parentheses in generated SQL, outside literals and names.
int parenthesisDepth(const std::string& sql) {
  int depth = 0, deepest = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'') {
      i = sql.find('\'', i + 1);
      while (i != std::string::npos && i + 1 < sql.size() && sql[i + 1] == '\'') i = sql.find('\'', i + 2);
      if (i == std::string::npos) break;
    } else if (c == '[') {
      i = sql.find(']', i + 1);
      if (i == std::string::npos) break;
    } else if (c == '"') {
      i = sql.find('"', i + 1);
      while (i != std::string::npos && i + 1 < sql.size() && sql[i + 1] == '"') i = sql.find('"', i + 2);
      if (i == std::string::npos) break;
    } else if (c == '(') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ')') {
      --depth;
    }
  }
  return deepest;
}

// ---------------------------------------------------------------------------------------
// Statements

enum class Clause { Plain, Selected };  // aggregates may stand only in the second

class Translator {
 public:
  Translator(std::string_view jet, const TableResolver& resolve, Dialect d)
      : toks_(tokenize(jet)), resolve_(resolve), d_(d), render_(d) {}

  Translation run() {
    Translation t;
    const std::string first = peekWord();
    if (first == "select")
      select(t, /*withRowid=*/true);
    else if (first == "delete")
      del(t);
    else if (first == "insert")
      insert(t);
    else if (first == "update")
      update(t);
    else
      commandError("a statement must begin with SELECT, DELETE, INSERT or UPDATE, not " + describe(cur()) + ".");
    if (isOp(";")) ++pos_;
    if (cur().type != Tok::End) commandError(describe(cur()) + " was found after the end of the statement.");
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

  static std::string describe(const Token& t) {
    switch (t.type) {
      case Tok::End:
        return "the end of the statement";
      case Tok::String:
        return "the text " + quoted(t.text);
      case Tok::Ident:
        return "[" + t.text + "]";
      default:
        return quoted(t.text);
    }
  }
  [[noreturn]] void unexpected(const std::string& expected) const {
    commandError(expected + " was expected, but " + describe(cur()) + " was found.");
  }
  void expectWord(const char* w) {
    if (!isWord(w)) unexpected(std::string("'") + w + "'");
    ++pos_;
  }
  void expectOp(const char* op) {
    if (!isOp(op)) unexpected(std::string("'") + op + "'");
    ++pos_;
  }
  std::string name() {
    if (cur().type == Tok::Ident) return toks_[pos_++].text;
    if (cur().type != Tok::Word || isReserved(cur().key)) unexpected("a name");
    return toks_[pos_++].text;
  }

  // ----- expressions

  Node node(Kind k, Type t, std::string text, std::vector<Node> kids = {}) {
    Node n{k, t, std::move(text), {}, false, false, 1, std::move(kids), false};
    for (const Node& c : n.kids) n.depth = std::max(n.depth, c.depth + 1);
    if (n.depth > kMaxTreeDepth) commandError("the expression is too long.");
    return n;
  }

  static bool isNumeric(Type t) { return t == Type::Number || t == Type::Bool || t == Type::Null; }

  Node expr() { return orExpr(); }

  Node logic(const char* op, Node a, Node b) {
    for (const Node* x : {&a, &b})
      if (x->type == Type::Text) commandError("'" + std::string(op) + "' cannot join text.");
    Type t = (a.type == Type::Bool && b.type == Type::Bool) ? Type::Bool : Type::Number;
    return node(Kind::Logic, t, op, {std::move(a), std::move(b)});
  }

  Node orExpr() {
    Node left = andExpr();
    while (isWord("or")) {
      ++pos_;
      left = logic("OR", std::move(left), andExpr());
    }
    return left;
  }

  Node andExpr() {
    Node left = notExpr();
    while (isWord("and")) {
      ++pos_;
      left = logic("AND", std::move(left), notExpr());
    }
    return left;
  }

  // Every nesting passes through here or unary(); the parse itself must not run out of stack.
  struct Nesting {
    explicit Nesting(int& n) : n_(n) {
      if (++n_ > kMaxDepth) commandError("the expression is nested too deeply.");
    }
    ~Nesting() { --n_; }
    int& n_;
  };

  Node notExpr() {
    Nesting guard(nesting_);
    if (!isWord("not")) return comparison();
    ++pos_;
    Node inner = notExpr();
    if (inner.type == Type::Text) commandError("'not' cannot stand before text.");
    Type t = inner.type == Type::Bool ? Type::Bool : Type::Number;
    return node(Kind::Not, t, "NOT", {std::move(inner)});
  }

  Node comparison() {
    Node left = concat();
    for (;;) {
      if (cur().type == Tok::Op && (cur().text == "=" || cur().text == "<>" || cur().text == "<" ||
                                    cur().text == ">" || cur().text == "<=" || cur().text == ">=")) {
        std::string op = toks_[pos_++].text;
        left = node(Kind::Compare, Type::Bool, op, {std::move(left), concat()});
        continue;
      }
      bool negated = false;
      if (isWord("not") && (next().key == "like" || next().key == "between" || next().key == "in") &&
          next().type == Tok::Word) {
        ++pos_;
        negated = true;
      }
      if (isWord("like")) {
        ++pos_;
        Node pattern = concat();
        if (pattern.kind != Kind::Text)
          commandError("the pattern of 'like' must be a text in quotes.");
        if (pattern.text.find('[') != std::string::npos)
          commandError("the pattern " + quoted(pattern.text) + " holds a character list ([...]), which is not supported.");
        left = node(Kind::Like, Type::Bool, "LIKE", {std::move(left), std::move(pattern)});
      } else if (isWord("between")) {
        ++pos_;
        Node low = concat();
        expectWord("and");
        left = node(Kind::Between, Type::Bool, "BETWEEN", {std::move(left), std::move(low), concat()});
      } else if (isWord("in")) {
        ++pos_;
        expectOp("(");
        if (isWord("select")) commandError("subqueries are not supported.");
        std::vector<Node> kids;
        kids.push_back(std::move(left));
        for (;;) {
          kids.push_back(expr());
          if (kids.size() > kMaxList) commandError("the list is too long.");
          if (!isOp(",")) break;
          ++pos_;
        }
        expectOp(")");
        left = node(Kind::In, Type::Bool, "IN", std::move(kids));
      } else if (!negated && isWord("is")) {
        ++pos_;
        if (isWord("not")) {
          ++pos_;
          negated = true;
        }
        expectWord("null");
        left = node(Kind::IsNull, Type::Bool, "IS NULL", {std::move(left)});
      } else {
        if (negated) unexpected("'like', 'between' or 'in'");
        return left;
      }
      left.negated = negated;
    }
  }

  Node concat() {
    Node left = additive();
    while (isOp("&")) {
      ++pos_;
      left = node(Kind::Arith, Type::Text, "&", {std::move(left), additive()});
    }
    return left;
  }

  Node arith(const std::string& op, Node a, Node b) {
    Type t = Type::Number;
    if (op == "+") {
      // Jet joins two texts with +, adds numbers, and decides for fields when it runs.
      if (a.type == Type::Null || b.type == Type::Null)
        t = Type::Null;
      else if (a.type == Type::Text && b.type == Type::Text)
        t = Type::Text;
      else if (isNumeric(a.type) && isNumeric(b.type))
        t = Type::Number;
      else
        t = Type::Any;
    } else {
      for (const Node* x : {&a, &b})
        if (x->type == Type::Text) commandError("'" + op + "' cannot take text.");
    }
    return node(Kind::Arith, t, op, {std::move(a), std::move(b)});
  }

  Node additive() {
    Node left = multiplicative();
    while (isOp("+") || isOp("-")) {
      std::string op = toks_[pos_++].text;
      left = arith(op, std::move(left), multiplicative());
    }
    return left;
  }

  Node multiplicative() {
    Node left = unary();
    while (isOp("*") || isOp("/")) {
      std::string op = toks_[pos_++].text;
      left = arith(op, std::move(left), unary());
    }
    return left;
  }

  Node unary() {
    Nesting guard(nesting_);
    if (isOp("-")) {
      ++pos_;
      Node inner = unary();
      if (inner.type == Type::Text) commandError("'-' cannot stand before text.");
      Type t = inner.type == Type::Null ? Type::Null : (inner.type == Type::Any ? Type::Any : Type::Number);
      return node(Kind::Neg, t, "-", {std::move(inner)});
    }
    if (isOp("+")) {
      ++pos_;
      return unary();
    }
    return primary();
  }

  static std::string normalNumber(const std::string& n) {
    // SQLite reads 2, 2.5 and 1e3 as Jet does; ".5" and "2." are given their zero digits.
    std::string s = n;
    if (s[0] == '.') s = "0" + s;
    size_t dot = s.find('.');
    if (dot != std::string::npos && (dot + 1 == s.size() || !isDigit(s[dot + 1]))) s.insert(dot + 1, "0");
    return s;
  }

  Node primary() {
    const Token& t = cur();
    switch (t.type) {
      case Tok::String:
        ++pos_;
        return node(Kind::Text, Type::Text, t.text);
      case Tok::Number:
        ++pos_;
        return node(Kind::Number, Type::Number, normalNumber(t.text));
      case Tok::Date:
        commandError("the date " + t.text + " cannot be used: the bank keeps no date fields.");
      case Tok::Ident: {
        ++pos_;
        if (isOp("(")) commandError("[" + t.text + "] is not a function.");
        return column(t.text);
      }
      case Tok::Word: {
        const std::string& w = t.key;
        if (w == "true" || w == "false") {
          ++pos_;
          return node(Kind::BoolLit, Type::Bool, w == "true" ? "-1" : "0");
        }
        if (w == "null") {
          ++pos_;
          return node(Kind::Null, Type::Null, "NULL");
        }
        if (next().type == Tok::Op && next().text == "(" && !isReserved(w)) return call();
        if (isReserved(w)) unexpected("an expression");
        ++pos_;
        return column(t.text);
      }
      case Tok::Op:
        if (t.text == "(") {
          ++pos_;
          if (isWord("select")) commandError("subqueries are not supported.");
          Node inner = expr();
          expectOp(")");
          Type ty = inner.type;
          return node(Kind::Group, ty, "()", {std::move(inner)});
        }
        break;
      case Tok::End:
        break;
    }
    unexpected("an expression");
  }

  Node column(const std::string& first) {
    Node n = node(Kind::Column, Type::Any, first);
    if (isOp(".")) {
      ++pos_;
      auto m = qualifierMap_.find(lowerAscii(first));
      n.qualifier = m != qualifierMap_.end() ? m->second : first;
      n.tableQualifier = m != qualifierMap_.end();
      n.text = name();
    }
    // The engine would read these as the row's own number, which Jet tables do not have.
    const std::string key = lowerAscii(n.text);
    if (key == "rowid" || key == "oid" || key == "_rowid_" || key == kRowidColumn)
      commandError("'" + n.text + "' is not a field of the bank's tables.");
    ++columnsSeen_;
    if (!insideAggregate_ && sink_) sink_->push_back(lowerAscii(n.text));
    return n;
  }

  Node call() {
    const Token& t = toks_[pos_++];
    const Function* f = findFunction(t.key);
    if (!f) commandError("the function '" + t.text + "' is not known.");
    expectOp("(");
    if (f->aggregate) {
      if (clause_ == Clause::Plain) commandError("the aggregate '" + t.text + "' cannot stand in this clause.");
      if (insideAggregate_) commandError("the aggregate '" + t.text + "' cannot stand inside another.");
      aggregated_ = true;
    }
    Node n = node(Kind::Call, f->result, f->sqlite);
    if (f->aggregate && std::string(f->jet) == "count" && isOp("*")) {
      ++pos_;
      n.star = true;
      expectOp(")");
      return n;
    }
    const bool outer = insideAggregate_;
    insideAggregate_ = insideAggregate_ || f->aggregate;
    std::vector<Node> args;
    if (!isOp(")")) {
      for (;;) {
        args.push_back(expr());
        if (!isOp(",")) break;
        ++pos_;
      }
    }
    insideAggregate_ = outer;
    expectOp(")");
    if (static_cast<int>(args.size()) < f->minArgs || static_cast<int>(args.size()) > f->maxArgs)
      commandError("the function '" + t.text + "' was given " + std::to_string(args.size()) + " arguments.");
    Node out = node(Kind::Call, f->result, f->sqlite, std::move(args));
    return out;
  }

  // A condition of WHERE or HAVING.
  std::string conditionClause() {
    Node n = expr();
    if (n.type == Type::Text) commandError("a condition was expected, but the clause is text.");
    return render_.conditionOf(n).text;
  }

  // ----- tables

  // Table in a FROM clause; aliased by the name the statement uses for it.
  std::string tableRef(std::string* writtenName) {
    std::string written = name();
    ResolvedTable r = resolve_(written);
    std::string alias = written;
    if (isWord("as")) {
      ++pos_;
      alias = name();
    } else if (cur().type == Tok::Ident || (cur().type == Tok::Word && !isReserved(peekWord()))) {
      alias = name();
    }
    if (isOp(",") || isWord("inner") || isWord("left") || isWord("right") || isWord("join"))
      commandError("statements over more than one table are not supported.");
    *writtenName = alias;
    lastResolved_ = r;
    return r.qualified + " AS " + fieldIdent(d_, alias);
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

  // ----- SELECT

  // Expressions of GROUP BY or ORDER BY: a bare number would mean a column position here.
  Node sortKey() {
    const long before = columnsSeen_;
    Node n = expr();
    if (columnsSeen_ == before) commandError("a sort or group key must name a field.");
    return n;
  }

  std::string selectList(bool* starOnly) {
    std::string out;
    *starOnly = isOp("*") && next().type == Tok::Word && (next().key == "into" || next().key == "from");
    int unnamed = 0;
    for (size_t items = 1;; ++items) {
      if (items > kMaxList) commandError("the list is too long.");
      const Token& after = toks_[std::min(pos_ + 2, toks_.size() - 1)];
      if (isOp("*")) {
        ++pos_;
        out += "*";
        sink_->push_back("*");
      } else if ((cur().type == Tok::Word || cur().type == Tok::Ident) && next().type == Tok::Op &&
                 next().text == "." && after.type == Tok::Op && after.text == "*") {
        std::string q = name();
        pos_ += 2;
        auto m = qualifierMap_.find(lowerAscii(q));
        out += (m != qualifierMap_.end() ? tableIdent(d_, m->second) : fieldIdent(d_, q)) + ".*";
        sink_->push_back("*");
      } else {
        Node n = expr();
        out += render_.valueOf(n).text;
        if (isWord("as")) {
          ++pos_;
          out += " AS " + tableIdent(d_, name());  // the name as written: what callers read
        } else if (!isBareColumn(n)) {
          // Jet names an unnamed expression Expr1000, Expr1001, ...
          out += " AS " + tableIdent(d_, "Expr" + std::to_string(1000 + unnamed++));
        }
      }
      if (!isOp(",")) break;
      ++pos_;
      out += ", ";
    }
    return out;
  }

  // Items of a GROUP BY or ORDER BY list.
  std::string keyList(bool withDirection) {
    std::string out;
    for (size_t n = 1;; ++n) {
      if (n > kMaxList) commandError("the list is too long.");
      out += render_.valueOf(sortKey()).text;
      if (withDirection && (isWord("asc") || isWord("desc"))) out += " " + toks_[pos_++].key;
      if (!isOp(",")) break;
      ++pos_;
      out += ", ";
    }
    return out;
  }

  void select(Translation& t, bool withRowid) {
    expectWord("select");
    if (isWord("distinct")) {
      ++pos_;
      t.distinct = true;
    }
    if (isWord("top") || isWord("distinctrow")) commandError(describe(cur()) + " is not supported.");
    // Fields met outside aggregates: those of the results must be grouped by when the
    // select groups or aggregates; those of WHERE are not results.
    std::vector<std::string> results, grouping;
    bool starOnly = false;
    clause_ = Clause::Selected;
    sink_ = &results;
    std::string cols = selectList(&starOnly);
    std::string into;
    clause_ = Clause::Plain;
    sink_ = nullptr;
    if (isWord("into")) {
      ++pos_;
      into = name();
    }
    expectWord("from");
    std::string alias;
    std::string from = tableRef(&alias);

    std::string rest;
    if (isWord("where")) {
      ++pos_;
      rest += " WHERE " + conditionClause();
    }
    if (isWord("group")) {
      ++pos_;
      expectWord("by");
      t.grouped = true;
      sink_ = &grouping;
      rest += " GROUP BY " + keyList(false);
      if (isWord("having")) {
        ++pos_;
        clause_ = Clause::Selected;
        sink_ = &results;
        rest += " HAVING " + conditionClause();
      }
    }
    if (isWord("having")) commandError("'having' needs a GROUP BY clause.");
    if (isWord("order")) {
      ++pos_;
      expectWord("by");
      clause_ = Clause::Selected;
      sink_ = &results;
      rest += " ORDER BY " + keyList(true);
    }
    clause_ = Clause::Plain;
    sink_ = nullptr;
    t.aggregated = aggregated_;

    if (t.grouped || t.aggregated) {
      for (const std::string& c : results)
        if (std::find(grouping.begin(), grouping.end(), c) == grouping.end())
          commandError(c == "*" ? "'*' cannot be selected with grouping or aggregates."
                                : "the field '" + c + "' is neither grouped nor in an aggregate function.");
    }

    const bool plain = !t.distinct && starOnly && into.empty() && !t.grouped && !t.aggregated;
    if (plain && withRowid) {
      cols += ", " + fieldIdent(d_, alias) + (d_ == Dialect::Postgres ? ".ctid::text AS " : ".rowid AS ") +
              fieldIdent(d_, kRowidColumn);
      t.updatableTable = lastResolved_;
    }
    std::string sel = std::string("SELECT ") + (t.distinct ? "DISTINCT " : "") + cols + " FROM " + from + rest;
    if (into.empty()) {
      t.kind = StatementKind::Select;
      t.sql = sel;
    } else {
      t.kind = StatementKind::SelectInto;
      t.sql = "CREATE TABLE " + tableIdent(d_, into) + " AS " + sel;
    }
  }

  // ----- DELETE, INSERT, UPDATE

  void del(Translation& t) {
    expectWord("delete");
    if (isOp("*")) ++pos_;
    expectWord("from");
    t.kind = StatementKind::Delete;
    t.sql = "DELETE FROM " + targetTable();
    if (isWord("where")) {
      ++pos_;
      t.sql += " WHERE " + conditionClause();
    }
  }

  void insert(Translation& t) {
    expectWord("insert");
    expectWord("into");
    t.kind = StatementKind::Insert;
    t.sql = "INSERT INTO " + targetTable();
    size_t columns = 0;
    if (isOp("(")) {
      ++pos_;
      t.sql += " (" + fieldIdent(d_, name());
      columns = 1;
      while (isOp(",")) {
        ++pos_;
        t.sql += ", " + fieldIdent(d_, name());
        if (++columns > kMaxList) commandError("the list is too long.");
      }
      expectOp(")");
      t.sql += ")";
    }
    if (isWord("values")) {
      ++pos_;
      expectOp("(");
      std::string list;
      size_t values = 0;
      for (;;) {
        if (++values > kMaxList) commandError("the list is too long.");
        list += (values > 1 ? ", " : "") + render_.valueOf(expr()).text;
        if (!isOp(",")) break;
        ++pos_;
      }
      expectOp(")");
      if (columns != 0 && values != columns)
        commandError("the statement names " + std::to_string(columns) + " fields but gives " +
                     std::to_string(values) + " values.");
      t.sql += " VALUES (" + list + ")";
    } else if (isWord("select")) {
      Translation sub;
      select(sub, /*withRowid=*/false);
      if (sub.kind != StatementKind::Select) commandError("INSERT cannot select INTO a table.");
      t.sql += " " + sub.sql;
    } else {
      unexpected("SELECT or VALUES");
    }
  }

  void update(Translation& t) {
    expectWord("update");
    t.kind = StatementKind::Update;
    t.sql = "UPDATE " + targetTable() + " SET ";
    expectWord("set");
    for (size_t n = 1;; ++n) {
      if (n > kMaxList) commandError("the list is too long.");
      std::string col = name();
      if (isOp(".")) {
        ++pos_;
        col = name();
      }
      expectOp("=");
      t.sql += fieldIdent(d_, col) + " = " + render_.valueOf(expr()).text;
      if (!isOp(",")) break;
      ++pos_;
      t.sql += ", ";
    }
    if (isWord("where")) {
      ++pos_;
      t.sql += " WHERE " + conditionClause();
    }
  }

  std::vector<Token> toks_;
  size_t pos_ = 0;
  const TableResolver& resolve_;
  Dialect d_;
  Renderer render_;
  std::map<std::string, std::string> qualifierMap_;
  ResolvedTable lastResolved_;
  Clause clause_ = Clause::Plain;
  bool insideAggregate_ = false;
  bool aggregated_ = false;
  long columnsSeen_ = 0;
  int nesting_ = 0;
  std::vector<std::string>* sink_ = nullptr;  // where fields outside aggregates are recorded
};

}  // namespace

Translation translateJetSql(std::string_view jet, const TableResolver& resolve, Dialect dialect) {
  Translation t = Translator(jet, resolve, dialect).run();
  if (parenthesisDepth(t.sql) > kMaxSqlNesting) commandError("the expression is nested too deeply.");
  return t;
}

}  // namespace store
