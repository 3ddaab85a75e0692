#include "connections.h"

#include "dao.h"
#include "db_error.h"

namespace store {

namespace {
void openOne(Connection& c, const std::filesystem::path& file, const char* key) {
  c.setProvider(kJetProvider);
  c.setProperty(kPasswordProperty, key);
  c.open(file.string());
}
}  // namespace

void OpenConnections(ProgramState& state) {
  // The search index is made by the first search, not here: opening a bank changes nothing
  // in it, so that a command that then fails (a full disk) leaves the file as it was.
  openOne(state.pConn(), schema::bankPath(state.appFolder), schema::kBankKey);
  openOne(state.pConnUser(), schema::userPath(state.appFolder), schema::kUserKey);
}

void CloseConnections(ProgramState& state, const std::function<void(const std::string&)>& showMessage) {
  try {
    state.pConn().close();
    state.releaseConn();
    state.pConnUser().close();
    state.releaseConnUser();
  } catch (const DbError& e) {
    if (e.number == err::ObjectClosed) return;
    showMessage(e.message());
  }
}

void RefreshTableLinks(ProgramState& state, const std::function<void(int)>& progress,
                       const std::function<void(const std::string&)>& setLabel) {
  setLabel("Initializing...");
  progress(10);
  dao::Database db = dao::openDatabase(schema::bankPath(state.appFolder).string(), false, false,
                                       std::string("MS Access;pwd=") + schema::kBankKey);
  progress(20);
  state.flgTable.fill(0);
  for (const dao::TableDef& def : db.tableDefs()) {
    if (def.attributes() & dao::dbSystemObject) continue;
    for (schema::Kind k : schema::kAllKinds)
      if (def.name() == schema::tableName(k)) state.flgTable[static_cast<size_t>(k)] = 1;
  }
  progress(30);
  progress(40);
  int step = 50;
  for (const char* name : schema::kLinkedUserTables) {
    dao::TableDef link = db.tableDef(name);
    link.setConnect(schema::userLinkConnect(state.appFolder));
    link.refreshLink();
    progress(step);
    step += 10;
  }
  db.close();
}

}  // namespace store
