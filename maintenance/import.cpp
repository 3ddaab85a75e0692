#include "import.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <string_view>

#include "bank_files.h"
#include "connection.h"
#include "connections.h"
#include "dao.h"
#include "file_kind.h"
#include "import_source.h"
#include "jet_import_source.h"
#include "jet_reader.h"
#include "operation.h"
#include "recordset.h"
#include "schema.h"
#include "statements.h"
#include "text.h"

namespace maintenance {

namespace fs = std::filesystem;
using store::DbError;
namespace sql = store::statements;

namespace {

std::string bankConnect() { return std::string("MS Access;pwd=") + bank::schema::kBankKey; }

// Opens a connection of our own to a file with its key, as the listings and the copy do.
void openSource(store::Connection& conn, const std::string& file, const char* key) {
  conn.setProvider(store::kJetProvider);
  conn.setProperty(store::kPasswordProperty, key);
  conn.open(file);
}

class OurFileSource : public ImportSource {
 public:
  explicit OurFileSource(std::string path) : path_(std::move(path)) {}

  std::vector<std::string> pools(const std::string& table) override {
    return distinct(sql::poolsOfSource(table), bank::schema::kBankKey, "src");
  }

  std::vector<std::string> memoNumbers() override {
    return distinct(sql::memoNumbers(), bank::schema::kUserKey, "numQ");
  }

  Memo memo(const std::string& numQ) override {
    if (!memos_.isOpen()) openSource(memos_, path_, bank::schema::kUserKey);
    store::Recordset rs;
    rs.open(sql::sourceMemo(numQ), memos_, store::adOpenDynamic, store::adLockReadOnly);
    Memo m{rs.value("probtype"), rs.value("numQ"), rs.value("choice"), rs.value("description"),
           rs.value("category")};
    rs.close();
    return m;
  }

  std::string stagePool(const std::string& table, const std::string& pool,
                        const std::function<void(const std::string&)>& before) override {
    store::dao::Database db = store::dao::openDatabase(path_, false, false, bankConnect());
    deleteImportTable(db);
    db.close();
    store::Connection conn;
    openSource(conn, path_, bank::schema::kBankKey);
    const std::string statement = sql::copyPoolIntoImportTable(table, pool);
    before(statement);
    conn.execute(statement);
    conn.close();
    return ";DATABASE=" + path_ + ";pwd=" + bank::schema::kBankKey + ";";
  }

  std::string stagedFile() const override { return path_; }

  // An earlier ImportTbl, whatever the case of its name.
  static void deleteImportTable(store::dao::Database& db) {
    for (const store::dao::TableDef& def : db.tableDefs()) {
      if (store::equalsIgnoringCase(def.name(), kImportTable)) {
        db.deleteTableDef(def.name());
        return;
      }
    }
  }

 private:
  std::vector<std::string> distinct(const std::string& statement, const char* key, const char* field) {
    store::Connection conn;
    openSource(conn, path_, key);
    store::Recordset rs;
    rs.open(statement, conn, store::adOpenDynamic, store::adLockReadOnly);
    std::vector<std::string> out;
    rs.moveFirst();
    while (!rs.eof()) {
      out.push_back(rs.value(field).toString());
      rs.moveNext();
    }
    rs.close();
    conn.close();
    return out;
  }

  std::string path_;
  store::Connection memos_;
};

// The insert copies by position: the staged rows must have the bank table's columns in its order.
void requireSameColumns(const std::vector<std::string>& want, const std::vector<std::string>& got,
                        const std::string& table) {
  for (size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
    std::string w = i < want.size() ? want[i] : "", g = i < got.size() ? got[i] : "";
    if (store::equalsIgnoringCase(w, g)) continue;
    throw DbError(kColumnsDiffer,
                  "The source table's columns do not match those of " + table + ": column " + std::to_string(i + 1) +
                      " is " + (g.empty() ? "missing" : "'" + g + "'") + " in the source file and " +
                      (w.empty() ? "absent" : "'" + w + "'") + " in the bank. Nothing was imported.");
  }
}

void requireSameColumns(store::Connection& conn, const std::string& table) {
  requireSameColumns(conn.fieldNames(table), conn.fieldNames(kImportTable), table);
}

// Whether a column of a bank table holds numbers (or dates): the file's engine lets such a
// field hold an empty text, which the server's cannot; it is the empty field, Null.
bool holdsNumbers(const std::string& table, const std::string& column) {
  for (const bank::schema::TableSpec& t : bank::schema::bankTables()) {
    if (!store::equalsIgnoringCase(t.name, table)) continue;
    for (const bank::schema::Column& c : t.columns)
      if (store::equalsIgnoringCase(c.name, column)) return c.type.rfind("TEXT", 0) != 0;
  }
  return false;
}

// A bank on a server cannot link to the staged file: the staged rows are read from it and
// added to the table here, in one transaction, so that a repeated number adds none.
void insertStagedRows(store::Connection& bank, store::Connection& staged, const std::string& table) {
  const std::vector<std::string> names = bank.fieldNames(table);
  store::Recordset from;
  from.open(kImportTable, staged, store::adOpenDynamic, store::adLockReadOnly, store::adCmdTable);
  store::Transaction all(bank);
  store::Recordset to;
  to.open(table, bank, store::adOpenDynamic, store::adLockOptimistic, store::adCmdTable);
  for (; !from.eof(); from.moveNext()) {
    to.addNew();
    for (size_t i = 0; i < names.size(); ++i) {
      const int at = static_cast<int>(i);
      store::Value v = store::Field(from, at).value();
      if (v.isText() && v.text().empty() && holdsNumbers(table, names[i])) v = store::Value();
      store::Field(to, at).setValue(v);
    }
    to.update();
  }
  to.close();
  from.close();
  all.commit();
}

// Detaches the staged file from the bank's connection when the import ends, however it
// ends, and before it is staged again (a Jet source's staging file is made anew).
struct SourceDetach {
  bank::ProgramState& state;
  std::string file;
  SourceDetach(bank::ProgramState& s, std::string f) : state(s), file(std::move(f)) { detach(); }
  ~SourceDetach() { detach(); }
  void detach() {
    try {
      if (state.pConn().isOpen()) state.pConn().releaseFile(file);
    } catch (const DbError&) {
    }
  }
};

// The reasons for a source file of ours that does not read whole.
constexpr const char* kDamaged = "The database file is damaged.";
constexpr const char* kCutShort = "The database file is damaged: it has been cut short.";

// The file's first bytes (up to n).
std::string headOf(const std::string& file, size_t n) {
  std::ifstream in(file, std::ios::binary);
  std::string head(n, '\0');
  in.read(head.data(), static_cast<std::streamsize>(n));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

bool opensWith(const std::string& file, const char* key) {
  try {
    store::Connection conn;
    conn.open(file, key);
    return true;
  } catch (const DbError&) {
    return false;
  }
}

// A file that the key did not open: an encrypted file is pages of bytes that look random,
// which a text, an empty file or a file of another format is not.
std::string whyNotOpened(const std::string& file, const char* key) {
  const std::string head = headOf(file, 512);
  if (head.rfind(std::string("SQLite format 3", 16), 0) == 0) return "It is a database file with another key.";
  for (const char* other : {bank::schema::kBankKey, bank::schema::kUserKey})
    if (std::string_view(other) != key && opensWith(file, other))
      return other == bank::schema::kUserKey ? "It is a user database, which has another key than a bank."
                                              : "It is a bank, which has another key than a user database.";
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  const bool text = std::all_of(head.begin(), head.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 || c == '\n' || c == '\r' || c == '\t';
  });
  if (ec || size == 0 || text) return "It is not a database file.";
  // A database file is whole pages, and one whose first page the key opens is ours: either way a
  // file that does not open was cut short or damaged, not made with another key.
  if (size % bank::kPageSize != 0) return kCutShort;
  if (bank::onlyFirstPageOpens(file, key)) return kDamaged;
  return "It is a database file with another key, or its first page is damaged.";
}

// Staging a pool that is not there would copy nothing and report success.
void requirePool(ImportSource& source, const std::string& table, const std::string& pool) {
  std::vector<std::string> pools;
  try {
    pools = source.pools(table);
  } catch (const DbError& e) {
    if (e.number != store::err::NoCurrentRecord) throw;  // an empty table holds no pool
  }
  for (const std::string& p : pools)
    if (store::equalsIgnoringCase(p, pool)) return;
  throw DbError(store::err::NoCurrentRecord,
                "There is no pool " + pool + " in " + table + " of the source file; nothing was imported.");
}

void requireForeignFile(const bank::ProgramState& state, const std::string& file) {
  if (!canImportFrom(state.appFolder, file)) throw DbError(kInvalidFileName, "Invalid File Name.");
}

}  // namespace

std::unique_ptr<ImportSource> openImportSource(const std::string& path, const fs::path& stagingFile) {
  if (jet::isJetFile(path)) return openJetImportSource(path, stagingFile);
  return std::make_unique<OurFileSource>(path);
}

fs::path stagingPath(const fs::path& folder) { return folder / kStagingFile; }

bool isKeyViolation(const DbError& e) { return store::isKeyViolation(e); }

namespace {

// Why the file's name alone rules it out as a source; empty when it does not.
std::string nameProblem(const fs::path& folder, const std::string& sourceFile) {
  if (sourceFile.find(';') != std::string::npos) return "Its name contains \";\", which a link cannot hold.";
  std::error_code ec;
  if (fs::equivalent(bank::schema::bankPath(folder), sourceFile, ec)) return "It is the bank itself.";
  if (fs::equivalent(bank::schema::userPath(folder), sourceFile, ec)) return "It is this folder's user database.";
  return "";
}

}  // namespace

bool canImportFrom(const fs::path& folder, const std::string& sourceFile) {
  return nameProblem(folder, sourceFile).empty();
}

std::string importFileProblem(const fs::path& folder, const std::string& sourceFile, const char* key) {
  if (std::string why = nameProblem(folder, sourceFile); !why.empty()) return why;
  // Nothing but a regular file is read: a pipe or a device would never end.
  if (const std::string what = store::notAFile(sourceFile); what == "does not exist")
    return "The file does not exist.";
  else if (!what.empty())
    return "It " + what + ".";
  if (jet::isJetFile(sourceFile) || !key) return "";
  try {
    if (bank::checkFile(sourceFile, key, /*countRows=*/false).whole()) return "";
  } catch (const DbError& e) {
    if (e.number == store::err::BadPassword) return whyNotOpened(sourceFile, key);
    return e.description;
  }
  return kDamaged;
}

void requireRegularSource(const std::string& sourceFile) {
  if (const std::string why = store::notAFile(sourceFile); !why.empty())
    throw DbError(store::err::Generic, "'" + sourceFile + "' " + why + "; nothing was imported.");
}

std::vector<std::string> ListImportPools(const std::string& sourceFile, const std::string& table) {
  return openImportSource(sourceFile, {})->pools(table);
}

std::vector<std::string> ListImportMemos(const std::string& sourceFile) {
  return openImportSource(sourceFile, {})->memoNumbers();
}

void ImportPool(bank::ProgramState& state, const std::string& sourceFile, const std::string& table,
                const std::string& pool, const ImportHooks& hooks) {
  requireRegularSource(sourceFile);
  requireForeignFile(state, sourceFile);
  ImportPool(state, *openImportSource(sourceFile, stagingPath(state.appFolder)), table, pool, hooks);
}

void ImportPool(bank::ProgramState& state, ImportSource& source, const std::string& table, const std::string& pool,
                const ImportHooks& hooks) {
  requirePool(source, table, pool);
  SourceDetach detach(state, source.stagedFile());
  auto before = [&](const std::string& sql) { hooks.log(" SQL:" + sql); };
  const std::string connect = source.stagePool(table, pool, before);

  // A failure here that is an error in the command text does not stop the import.
  auto tolerant = [&](const std::function<void()>& step) {
    try {
      step();
    } catch (const DbError& e) {
      if (e.number != store::err::CommandError) throw;
      hooks.passedOver(e);
    }
  };
  if (state.pConn().onServer()) {
    store::Connection staged;
    openSource(staged, source.stagedFile(), bank::schema::kBankKey);
    requireSameColumns(state.pConn().fieldNames(table), staged.fieldNames(kImportTable), table);
    if (hooks.confirm()) {
      before(sql::insertImportedPool(table));
      bank::OperationTag tag(state.pConn(), bank::Operation::Import);
      insertStagedRows(state.pConn(), staged, table);
      tag.commit();
    }
    staged.close();
    hooks.log(" successfully completed.");
    return;
  }
  store::dao::Database bank =
      store::dao::openDatabase(bank::schema::bankPath(state.appFolder).string(), false, false, bankConnect());
  tolerant([&] { OurFileSource::deleteImportTable(bank); });
  tolerant([&] {
    store::dao::TableDef link = bank.createTableDef(kImportTable);
    link.setConnect(connect);
    link.setSourceTableName(kImportTable);
    bank.append(link);
  });
  bank.close();

  requireSameColumns(state.pConn(), table);
  if (hooks.confirm()) {
    const std::string statement = sql::insertImportedPool(table);
    before(statement);
    bank::OperationTag tag(state.pConn(), bank::Operation::Import);
    state.pConn().execute(statement);
    tag.commit();
  }
  hooks.log(" successfully completed.");
}

void ImportMemos(bank::ProgramState& state, const std::string& sourceFile, const std::vector<std::string>& numbers,
                 const ImportHooks& hooks) {
  requireRegularSource(sourceFile);
  requireForeignFile(state, sourceFile);
  ImportMemos(state, *openImportSource(sourceFile, stagingPath(state.appFolder)), numbers, hooks);
}

void ImportMemos(bank::ProgramState& state, ImportSource& source, const std::vector<std::string>& numbers,
                 const ImportHooks& hooks) {
  // Read before the question: a source that is gone or unreadable is refused before it.
  std::vector<Memo> memos;
  for (const std::string& number : numbers) memos.push_back(source.memo(number));
  if (!hooks.confirm()) return;
  store::Connection& conn = state.pConn();
  // The memos' file is attached before the transaction begins (no attaching inside one).
  conn.reachTable("tblMemo");
  store::Transaction all(conn);
  for (size_t i = 0; i < numbers.size(); ++i) {
    const std::string& number = numbers[i];
    const Memo& m = memos[i];
    if (m.description.isNull()) continue;
    // Held until the commit: another client's change to the memo is waited out and appended to,
    // never overwritten with the text read before it.
    conn.holdRows(sql::questionSource("tblMemo", number));
    store::Recordset rs;
    rs.open(sql::bankMemo(number), conn, store::adOpenDynamic, store::adLockOptimistic);
    if (!rs.eof()) {
      std::string old = rs.value("description").isNull() ? std::string() : rs.value("description").toString();
      rs.setValue("description",
                  store::Value(old + "\r\n" + std::string(70, '-') + "\r\n" + m.description.toString()));
      rs.update();
      rs.close();
      continue;
    }
    rs.close();
    rs.open("tblMemo", conn, store::adOpenDynamic, store::adLockOptimistic, store::adCmdTable);
    rs.addNew();
    rs.setValue("probtype", m.probtype);
    rs.setValue("numQ", m.numQ);
    rs.setValue("choice", m.choice);
    rs.setValue("description", m.description);
    rs.setValue("category", m.category);
    rs.update();
    rs.close();
  }
  all.commit();
}

}  // namespace maintenance
