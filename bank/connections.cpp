#include "connections.h"

#include <fstream>
#include <memory>
#include <sstream>

#include "dao.h"
#include "db_error.h"
#include "engine.h"
#include "text.h"

namespace bank {

// The bank is built of the store's connections, engines and values.
using namespace store;

namespace {
void openOne(Connection& c, const std::filesystem::path& file, const char* key) {
  c.setProvider(kJetProvider);
  c.setProperty(kPasswordProperty, key);
  c.open(file.string());
}
}  // namespace

namespace {

// Far more than any connection string needs; a file beyond it is not one.
constexpr std::uintmax_t kMostConfBytes = 64 * 1024;

DbError confRefused(const std::filesystem::path& file, const std::string& why) {
  return DbError(err::Generic, "'" + file.string() + "' " + why + "; the bank is not opened.");
}

// The bytes of the file, once it is known to be a regular file of a size a connection string can
// have: a pipe is never opened (reading one may never end), nor a device (one may never end either).
std::string confText(const std::filesystem::path& file) {
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(file, ec);
  if (!std::filesystem::exists(st)) throw confRefused(file, "is a link to a file that does not exist");
  if (std::filesystem::is_directory(st)) throw confRefused(file, "is a folder, not a file holding a connection string");
  if (std::filesystem::is_fifo(st)) throw confRefused(file, "is a pipe (FIFO), not a file holding a connection string");
  if (std::filesystem::is_character_file(st) || std::filesystem::is_block_file(st))
    throw confRefused(file, "is a device, not a file holding a connection string");
  if (!std::filesystem::is_regular_file(st)) throw confRefused(file, "is not a regular file");
  if (std::filesystem::file_size(file, ec) > kMostConfBytes)
    throw confRefused(file, "is larger than 64 KiB: it cannot be a connection string");
  std::ifstream in(file, std::ios::binary);
  if (!in) throw DbError(err::FileAccess, "The file '" + file.string() + "' could not be read.");
  std::string text(kMostConfBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (text.size() > kMostConfBytes) throw confRefused(file, "is larger than 64 KiB: it cannot be a connection string");
  return text;
}

// Whether the text names a password anywhere, a quoted value included ("password =" in any case):
// such a text is never parsed, so that no message can echo it.
bool mentionsPassword(const std::string& text) {
  const std::string lower = lowerAscii(text);
  for (size_t at = lower.find("password"); at != std::string::npos; at = lower.find("password", at + 1)) {
    size_t after = lower.find_first_not_of(" \t", at + 8);
    if (after != std::string::npos && lower[after] == '=') return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> ServerConnectionString(const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / kServerConfFile;
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(file, ec))) return std::nullopt;
  std::string text = confText(file);
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // an editor's byte-order mark
  if (text.find('\0') != std::string::npos) throw confRefused(file, "holds a NUL byte: it is no text file");
  std::istringstream in(text);
  std::string conninfo, line;
  while (std::getline(in, line)) {
    size_t b = line.find_first_not_of(" \t\r");
    if (b == std::string::npos || line[b] == '#') continue;
    size_t e = line.find_last_not_of(" \t\r");
    conninfo += (conninfo.empty() ? "" : " ") + line.substr(b, e - b + 1);
  }
  if (conninfo.empty()) throw confRefused(file, "holds no connection string, only notes or blank lines");
  const DbError withPassword(err::Generic, "'" + file.string() + "' holds a password. Keep it out of the program's "
                                           "folder: put it in the password file of the server's client (~/.pgpass) "
                                           "or its environment.");
  if (mentionsPassword(conninfo)) throw withPassword;
  bool setsPassword = false;
  try {
    setsPassword = connectionStringSetsPassword(conninfo);
  } catch (const DbError& e) {
    throw DbError(err::Generic, "The connection string in '" + file.string() + "' is not valid: " + e.description);
  }
  if (setsPassword) throw withPassword;
  return conninfo;
}

namespace {
std::optional<std::string> serverOf(const ProgramState& state) {
  if (!state.serverBank.empty()) return state.serverBank;
  return ServerConnectionString(state.appFolder);
}
}  // namespace

std::string BankDescription(ProgramState& state) {
  Connection& c = state.pConn();
  return c.onServer() ? "the bank on the server: database " + c.path() : "the bank file " + c.path();
}

void OpenConnections(ProgramState& state) {
  if (auto conninfo = serverOf(state)) {
    state.pConn().openServer(*conninfo, Connection::Space::Bank);
    state.pConnUser().openServer(*conninfo, Connection::Space::User);
    return;
  }
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
  const std::optional<std::string> server = serverOf(state);
  dao::Database db = server ? dao::openServerDatabase(*server, false)
                            : dao::openDatabase(schema::bankPath(state.appFolder).string(), false, false,
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
    link.setConnect(server ? schema::serverUserLinkConnect() : schema::userLinkConnect(state.appFolder));
    link.refreshLink();
    progress(step);
    step += 10;
  }
  db.close();
}

}  // namespace bank
