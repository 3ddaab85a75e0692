#include "jet_import_source.h"

#include <map>
#include <set>

#include "db_error.h"
#include "import.h"
#include "migrate.h"
#include "schema.h"
#include "statements.h"
#include "text.h"

namespace maintenance {

namespace fs = std::filesystem;
using store::DbError;

namespace {

int columnIndex(const jet::Table& t, const std::string& name) {
  for (size_t i = 0; i < t.columns.size(); ++i)
    if (store::equalsIgnoringCase(t.columns[i].name, name)) return static_cast<int>(i);
  return -1;
}

// A column the statement names; its absence fails as the engine's would.
size_t requireColumn(const jet::Table& t, const std::string& name) {
  int i = columnIndex(t, name);
  if (i < 0) throw DbError(store::err::MissingParameter, "The field '" + name + "' is not known to the table.");
  return static_cast<size_t>(i);
}

DbError noCurrentRecord() {
  return DbError(store::err::NoCurrentRecord,
                 "Either BOF or EOF is True, or the current record has been deleted.");
}

// Text compared as the bank compares it: without regard to case; Null matches nothing.
bool matches(const store::Value& v, const std::string& text) {
  return !v.isNull() && store::equalsIgnoringCase(v.toString(), text);
}

using TableLoader = std::function<jet::Table(const std::string& name)>;

class JetSource : public ImportSource {
 public:
  JetSource(TableLoader load, fs::path staging) : load_(std::move(load)), staging_(std::move(staging)) {}

  std::vector<std::string> pools(const std::string& table) override { return distinct(read(table), "src"); }
  std::vector<std::string> memoNumbers() override { return distinct(read("tblMemo"), "numQ"); }

  Memo memo(const std::string& numQ) override {
    const jet::Table& t = read("tblMemo");
    size_t n = requireColumn(t, "numQ");
    for (const jet::Row& r : t.rows) {
      if (!matches(r[n], numQ)) continue;
      auto get = [&](const char* c) { return r[requireColumn(t, c)]; };
      return Memo{get("probtype"), get("numQ"), get("choice"), get("description"), get("category")};
    }
    throw noCurrentRecord();
  }

  std::string stagePool(const std::string& table, const std::string& pool,
                        const std::function<void(const std::string&)>& before) override {
    const jet::Table& t = read(table);
    size_t src = requireColumn(t, "src");
    std::vector<size_t> rows;
    for (size_t i = 0; i < t.rows.size(); ++i)
      if (matches(t.rows[i][src], pool)) rows.push_back(i);
    before(store::statements::copyPoolIntoImportTable(table, pool));
    jet::stageTable(staging_, bank::schema::kBankKey, kImportTable, t, rows);
    return ";DATABASE=" + staging_.string() + ";pwd=" + bank::schema::kBankKey + ";";
  }

  std::string stagedFile() const override { return staging_.string(); }

 private:
  // Each table is read once per source, in full.
  const jet::Table& read(const std::string& table) {
    const std::string key = store::lowerAscii(table);
    auto it = tables_.find(key);
    if (it == tables_.end()) it = tables_.emplace(key, load_(table)).first;
    return it->second;
  }

  // The distinct values of a column in the order the file gives them, as `select distinct` does.
  static std::vector<std::string> distinct(const jet::Table& t, const char* column) {
    size_t c = requireColumn(t, column);
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const jet::Row& r : t.rows) {
      std::string v = r[c].toString();
      if (seen.insert(r[c].isNull() ? std::string(1, '\0') : store::lowerAscii(v)).second) out.push_back(v);
    }
    if (out.empty()) throw noCurrentRecord();
    return out;
  }

  TableLoader load_;
  fs::path staging_;
  std::map<std::string, jet::Table> tables_;
};

DbError tableNotFound(const std::string& table) {
  return DbError(store::err::TableNotFound, "The table or query '" + table + "' could not be found.");
}

}  // namespace

std::unique_ptr<ImportSource> openJetImportSource(const fs::path& file, const fs::path& stagingFile) {
  auto reader = std::make_shared<std::unique_ptr<jet::Reader>>();
  TableLoader load = [reader, file](const std::string& table) {
    try {
      if (!*reader) *reader = std::make_unique<jet::Reader>(file);
      for (const std::string& name : (*reader)->tableNames())
        if (store::equalsIgnoringCase(name, table)) return (*reader)->readTable(name);
    } catch (const jet::JetError& e) {
      throw DbError(store::err::Damaged, e.what());
    }
    throw tableNotFound(table);
  };
  return std::make_unique<JetSource>(std::move(load), stagingFile);
}

std::unique_ptr<ImportSource> jetImportSource(jet::Database tables, const fs::path& stagingFile) {
  auto db = std::make_shared<jet::Database>(std::move(tables));
  TableLoader load = [db](const std::string& table) {
    for (const jet::Table& t : db->tables)
      if (store::equalsIgnoringCase(t.name, table)) return t;
    throw tableNotFound(table);
  };
  return std::make_unique<JetSource>(std::move(load), stagingFile);
}

}  // namespace maintenance
