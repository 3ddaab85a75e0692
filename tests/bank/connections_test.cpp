// Start-up's link refresh and table-present flags, and the shared connections.
#include <gtest/gtest.h>

#include <fstream>

#include "connections.h"
#include "dao.h"
#include "db_error.h"
#include "support.h"

using namespace store;
namespace schema = bank::schema;
using namespace bank;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string kBankConnect = std::string("MS Access;pwd=") + schema::kBankKey;

std::vector<int> refresh(ProgramState& state, std::string* label = nullptr) {
  std::vector<int> steps;
  RefreshTableLinks(state, [&](int p) { steps.push_back(p); }, [&](const std::string& l) {
    if (label) *label = l;
  });
  return steps;
}

std::string flags(const ProgramState& s) {
  std::string out;
  for (auto f : s.flgTable) out += std::to_string(f);
  return out;
}

TEST(Connections, FlagsFollowTheTablesPresentByExactName) {
  TempDir dir;
  schema::createBank(dir.path(), {schema::Kind::AWA, schema::Kind::SC});
  {
    // "sctbl" in other letter case, and a system table named like a question table.
    Connection c;
    openBank(c, dir.path());
    c.execute("select * into sctbl from CRtbl where numQ = 'none'");
    c.execute("select * into AWAtbl from CRtbl where numQ = 'none'");
  }
  schema::setTableAttributes(schema::bankPath(dir.path()), schema::kBankKey, "AWAtbl", dao::dbSystemObject);
  ProgramState state(dir.path());
  std::string label;
  EXPECT_EQ(refresh(state, &label), (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80}));
  EXPECT_EQ(label, "Initializing...");
  EXPECT_EQ(flags(state), "011110");
}

TEST(Connections, AllTablesPresentAndConnectionsOpenAndClose) {
  TempDir dir;
  schema::createBank(dir.path());
  ProgramState state(dir.path());
  refresh(state);
  EXPECT_EQ(flags(state), "111111");
  OpenConnections(state);
  EXPECT_TRUE(state.pConn().isOpen());
  EXPECT_TRUE(state.pConnUser().isOpen());
  std::vector<std::string> shown;
  auto show = [&](const std::string& m) { shown.push_back(m); };
  CloseConnections(state, show);
  EXPECT_FALSE(state.pConn().isOpen());
  EXPECT_FALSE(state.pConnUser().isOpen());
  CloseConnections(state, show);  // already closed: 3704 is silent
  EXPECT_TRUE(shown.empty());
}

TEST(Connections, AMovedFolderIsRepointedAtItsOwnUserDatabase) {
  TempDir a, b;
  schema::createBank(a.path());
  fs::path moved = b / "moved";
  fs::create_directory(moved);
  fs::copy_file(schema::bankPath(a.path()), schema::bankPath(moved));
  fs::copy_file(schema::userPath(a.path()), schema::userPath(moved));
  fs::remove(schema::userPath(a.path()));  // the old user database is gone
  ProgramState state(moved);
  refresh(state);
  OpenConnections(state);
  state.pConn().execute("insert into tblMemo (numQ, description) values ('00101', 'here')");
  Connection user;
  user.open(schema::userPath(moved).string(), schema::kUserKey);
  EXPECT_EQ(rowsOf(user, "select description from tblMemo"), "here\n");
}

TEST(Connections, StartUpFailuresCarryNumbers) {
  {
    TempDir dir;  // no bank at all
    ProgramState state(dir.path());
    try {
      refresh(state);
      FAIL();
    } catch (const DbError& e) {
      EXPECT_EQ(e.number, err::FileNotFound);
    }
  }
  {
    TempDir dir;  // a linked table definition is missing
    schema::createBank(dir.path());
    dao::Database db = dao::openDatabase(schema::bankPath(dir.path()).string(), false, false, kBankConnect);
    db.deleteTableDef("tblSuspend");
    db.close();
    ProgramState state(dir.path());
    try {
      refresh(state);
      FAIL();
    } catch (const DbError& e) {
      EXPECT_EQ(e.number, err::ItemNotFound);
      EXPECT_NE(e.description.find("tblSuspend"), std::string::npos);
    }
  }
  {
    TempDir dir;  // the user database is missing
    schema::createBank(dir.path());
    fs::remove(schema::userPath(dir.path()));
    ProgramState state(dir.path());
    try {
      refresh(state);
      FAIL();
    } catch (const DbError& e) {
      EXPECT_EQ(e.number, err::FileNotFound);
    }
    EXPECT_FALSE(fs::exists(schema::userPath(dir.path())));
  }
}

// ----- a bank on a server, chosen by zorbex_server.conf in the application folder

void writeConf(const fs::path& folder, const std::string& text) {
  std::ofstream(folder / kServerConfFile) << text;
}

TEST(ServerConnections, WithoutTheFileTheFolderKeepsItsBankFile) {
  TempDir dir;
  EXPECT_FALSE(ServerConnectionString(dir.path()));
}

TEST(ServerConnections, TheFileGivesOneConnectionStringAndNeverAPassword) {
  TempDir dir;
  writeConf(dir.path(), "# the team's bank\n  host=/tmp/x dbname=bank  \r\nuser=editor\n");
  EXPECT_EQ(ServerConnectionString(dir.path()).value(), "host=/tmp/x dbname=bank user=editor");
  for (const char* withPassword : {"host=/tmp/x dbname=bank password=secret", "postgresql://editor:secret@db/bank"}) {
    SCOPED_TRACE(withPassword);
    writeConf(dir.path(), withPassword);
    EXPECT_EQ(errorNumberOf([&] { ServerConnectionString(dir.path()); }), err::Generic);
  }
}

// What stands in the file's place and is no connection string is refused with its reason; nothing
// is read for ever, and nothing falls back to the client's defaults without a word.
TEST(ServerConnections, AnOddFileIsRefusedWithItsReasonAndNeverHangs) {
  TempDir dir;
  const fs::path conf = dir.path() / kServerConfFile;
  auto refusal = [&] {
    try {
      return "accepted: " + ServerConnectionString(dir.path()).value_or("nothing");
    } catch (const DbError& e) {
      return e.description;
    }
  };
  auto expectRefused = [&](const std::string& why) {
    const std::string said = refusal();
    EXPECT_NE(said.find("'" + conf.string() + "' " + why), std::string::npos) << said;
    fs::remove(conf);
  };
  fs::create_directory(conf);
  expectRefused("is a folder");
  ASSERT_EQ(mkfifo(conf.c_str(), 0600), 0);
  expectRefused("is a pipe (FIFO)");
  fs::create_symlink("/dev/zero", conf);
  expectRefused("is a device");
  fs::create_symlink(dir.path() / "gone", conf);
  expectRefused("is a link to a file that does not exist");
  writeConf(dir.path(), "host=/tmp/x " + std::string(70 * 1024, ' ') + "dbname=bank");
  expectRefused("is larger than 64 KiB");
  writeConf(dir.path(), "# the team's bank, some day\n\n");
  expectRefused("holds no connection string");
  writeConf(dir.path(), std::string("host=/tmp/x\0dbname=bank", 23));
  expectRefused("holds a NUL byte");
  // A password in a quoted value is refused, never echoed; libpq's own complaint does not echo it.
  for (const char* secretInside : {"host=/tmp/x dbname='bank password=s3cret'", "host=/tmp/x password 's3cret'"}) {
    writeConf(dir.path(), secretInside);
    const std::string said = refusal();
    EXPECT_EQ(said.find("s3cret"), std::string::npos) << said;
    EXPECT_EQ(said.find("accepted"), std::string::npos) << said;
  }
  writeConf(dir.path(), "\xEF\xBB\xBFhost=/tmp/x dbname=bank\n");
  EXPECT_EQ(refusal(), "accepted: host=/tmp/x dbname=bank");
}

TEST(ServerConnections, BothConnectionsOpenOnTheServerAndTheLinksReachTheUserTables) {
  TempDir dir;
  ServerDb server;
  schema::createServerBank(server.uri());
  writeConf(dir.path(), server.uri());
  ProgramState state(dir.path());
  refresh(state);
  EXPECT_EQ(flags(state), "111111");
  OpenConnections(state);
  ASSERT_TRUE(state.pConn().onServer());
  EXPECT_NE(BankDescription(state).find(server.name()), std::string::npos) << BankDescription(state);
  state.pConnUser().execute("insert into tblMemo (numQ, description) values ('01201', 'memo')");
  EXPECT_EQ(rowsOf(state.pConn(), "select description from tblMemo where numQ = '01201'"), "memo\n");
  CloseConnections(state, [](const std::string& m) { ADD_FAILURE() << m; });
}

TEST(ServerConnections, AnUnreachableServerIsNamedWithTheReasonOfItsClient) {
  TempDir dir;
  writeConf(dir.path(), "host=" + (dir.path() / "nowhere").string() + " dbname=teambank user=postgres");
  ProgramState state(dir.path());
  try {
    OpenConnections(state);
    FAIL() << "opened";
  } catch (const DbError& e) {
    EXPECT_EQ(e.number, err::ServerUnreachable);
    EXPECT_NE(e.description.find("'teambank'"), std::string::npos) << e.description;
    EXPECT_NE(e.description.find("No such file or directory"), std::string::npos) << e.description;
  }
  EXPECT_FALSE(state.pConn().isOpen());
}

}  // namespace
