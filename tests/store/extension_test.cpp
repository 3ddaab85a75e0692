// The bank's extensions as the store sees them: recorded with their versions, made and upgraded
// as a bank is made and opened, carried or not by a copy, and a bank that records one that this
// program does not know. A small extension of the tests' own stands for a feature.
#include "extension.h"

#include <gtest/gtest.h>

#include "bank_check.h"
#include "bank_files.h"
#include "extension_loops.h"
#include "pg_db.h"
#include "server_bank.h"
#include "sqlite_db.h"
#include "support.h"

using namespace store;
using namespace bank;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// One table of its own, zx_probe_NAME (n, note), in every bank that has question tables; notes
// what the store asked of it.
class Probe : public Extension {
 public:
  Probe(std::string name, int version, bool push = true, bool publish = true)
      : name_(std::move(name)), version_(version), push_(push), publish_(publish) {}
  std::string name() const override { return name_; }
  int version() const override { return version_; }
  std::unique_ptr<ExtensionBackend> backendFor(Engine& e) const override;
  std::vector<ExtensionTable> tables() const override { return {{table(), {{"n", "INTEGER"}, {"note", "TEXT"}}}}; }
  bool carriedByPush() const override { return push_; }
  bool carriedByPublish() const override { return publish_; }

  std::string table() const { return "zx_probe_" + name_; }
  mutable std::vector<int> upgradedFrom;
  mutable std::vector<Dialect> copiedInto;

 private:
  std::string name_;
  int version_;
  bool push_, publish_;
};

class ProbeBackend : public ExtensionBackend {
 public:
  ProbeBackend(Engine& e, const Probe& owner) : e_(e), owner_(owner) {}
  bool appliesTo() override { return e_.hasTable("SCtbl"); }
  void create() override {
    e_.script(e_.dialect() == Dialect::Sqlite ? "CREATE TABLE IF NOT EXISTS [" + owner_.table() + "] (n INTEGER, note TEXT);"
                                              : "CREATE TABLE IF NOT EXISTS public." + owner_.table() +
                                                    " (n bigint, note text);");
  }
  bool present() override { return e_.hasTable(owner_.table()); }
  void upgrade(int from) override {
    owner_.upgradedFrom.push_back(from);
    create();
  }
  std::vector<std::string> problems(int version) override {
    if (version > 0 && !present()) return {"the probe lacks its table"};
    return {};
  }
  void copied() override { owner_.copiedInto.push_back(e_.dialect()); }

 private:
  Engine& e_;
  const Probe& owner_;
};

std::unique_ptr<ExtensionBackend> Probe::backendFor(Engine& e) const { return std::make_unique<ProbeBackend>(e, *this); }

// Registered while it lives.
class Registered {
 public:
  explicit Registered(const Extension& ext) : ext_(ext) { registerExtension(ext); }
  ~Registered() { unregisterExtension(ext_); }

 private:
  const Extension& ext_;
};

int versionIn(Connection& c, const std::string& name) { return recordedVersion(c.engine(), name); }

class Extensions : public ::testing::TestWithParam<BankEngine> {
 protected:
  bool onFile() const { return GetParam() == BankEngine::File; }
  // A statement in the engine's own SQL through another program's connection.
  void anotherProgram(const std::string& sql) {
    if (onFile())
      SqliteDb::openExisting(bank->name(), schema::kBankKey, false)->exec(sql);
    else
      PgDb::connect(bank->name(), "public")->exec(sql);
  }
  Probe probe{"probe", 1};
  Registered registered{probe};
  std::optional<NewBank> bank{std::in_place, GetParam()};
  Connection c;
};

INSTANTIATE_TEST_SUITE_P(Engines, Extensions, ::testing::Values(BankEngine::File, BankEngine::Server), engineName);

}  // namespace

TEST_P(Extensions, ANewBankRecordsEachAtItsVersionAndItsOpenUpgradesNothing) {
  bank->open(c);
  EXPECT_EQ(versionIn(c, "probe"), 1);
  EXPECT_TRUE(c.engine().hasTable(probe.table()));
  EXPECT_TRUE(probe.upgradedFrom.empty());
  ASSERT_NE(extensionBackend(c, probe), nullptr);
  Probe other("other", 1);
  EXPECT_EQ(extensionBackend(c, other), nullptr);  // not registered when the bank was opened
}

TEST_P(Extensions, AnOlderBankIsUpgradedFromVersionZeroByItsFirstOpenAndANewerVersionByTheNext) {
  // As a build before the table of versions left it: the extension's table there, no versions.
  anotherProgram(onFile() ? "DROP TABLE zx_extensions;" : "DROP TABLE public.zx_extensions;");
  bank->open(c);
  EXPECT_EQ(probe.upgradedFrom, std::vector<int>{0});
  EXPECT_EQ(versionIn(c, "probe"), 1);
  EXPECT_EQ(versionIn(c, "history"), registeredExtension("history")->version());  // every extension of the bank, in the same transaction
  c.close();
  bank->open(c);
  EXPECT_EQ(probe.upgradedFrom, std::vector<int>{0});  // once

  Probe newer("probe", 2);
  Registered replaced(newer);  // the same name: this program now makes version 2
  c.close();
  bank->open(c);
  EXPECT_EQ(newer.upgradedFrom, std::vector<int>{1});
  EXPECT_EQ(versionIn(c, "probe"), 2);
  registerExtension(probe);  // as it was, for the fixture's end
}

TEST_P(Extensions, WhatAnotherProgramTookAwayIsAddedAgainAtTheNextOpen) {
  anotherProgram(onFile() ? "DROP TABLE zx_probe_probe;" : "DROP TABLE public.zx_probe_probe;");
  bank->open(c);
  EXPECT_EQ(probe.upgradedFrom, std::vector<int>{1});
  EXPECT_TRUE(c.engine().hasTable(probe.table()));
}

TEST(ExtensionsReadOnly, ABankOpenedReadOnlyIsReadAsItIsAndUpgradedByNoOne) {
  Probe probe("probe", 1);
  Registered registered(probe);
  TempDir dir;
  schema::createBank(dir.path());
  const std::string path = schema::bankPath(dir.path()).string();
  SqliteDb::openExisting(path, schema::kBankKey, false)->exec("DROP TABLE zx_extensions; DROP TABLE zx_probe_probe;");
  {
    auto db = SqliteDb::openExisting(path, schema::kBankKey, true);
    std::vector<OpenExtension> opened = openExtensions(*db);
    EXPECT_TRUE(probe.upgradedFrom.empty());
    EXPECT_FALSE(db->hasTable("zx_extensions"));
    for (const OpenExtension& o : opened) {
      if (o.extension != &probe) continue;
      EXPECT_FALSE(o.keeping);  // its table is not there to keep anything in
    }
  }
  Connection c;
  openBank(c, dir.path());  // the first writable open does it
  EXPECT_EQ(probe.upgradedFrom, std::vector<int>{0});
  EXPECT_EQ(versionIn(c, "probe"), 1);
}

TEST_P(Extensions, ABankThatKeepsAnExtensionThisProgramDoesNotKnowIsNotOpened) {
  {
    Probe newer("probe", 2);
    Registered replaced(newer);
    bank.emplace(GetParam());  // made by a program that keeps version 2
  }
  registerExtension(probe);
  const std::string newerText = [&] {
    try {
      bank->open(c);
    } catch (const DbError& e) {
      EXPECT_EQ(e.number, err::CannotOpen);
      return e.description;
    }
    return std::string("opened");
  }();
  EXPECT_NE(newerText.find("'probe' at version 2"), std::string::npos) << newerText;

  unregisterExtension(probe);
  EXPECT_EQ(errorNumberOf([&] { bank->open(c); }), err::CannotOpen);
  EXPECT_FALSE(c.isOpen());
  if (!onFile()) return;
  // The check names it, and a push refuses the bank rather than leave it behind.
  const fs::path folder = fs::path(bank->name()).parent_path();
  const std::vector<std::string> problems = structureProblems(folder);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("keeps 'probe'"), std::string::npos) << problems[0];
  ServerDb server;
  EXPECT_EQ(errorNumberOf([&] { pushBankToServer(folder, server.uri()); }), err::Generic);
}

TEST(ExtensionsCopied, APushAndAPublishCarryAnExtensionsRowsOnlyWhereItSaysSo) {
  Probe carried("carried", 1, true, true), pushedOnly("pushed", 1, true, false), left("left", 1, false, false);
  Registered r1(carried), r2(pushedOnly), r3(left);
  TempDir files, published;
  schema::createBank(files.path());
  {
    Connection c;
    openBank(c, files.path());
    for (const Probe* p : {&carried, &pushedOnly, &left})
      c.execute("insert into " + p->table() + " (n, note) values (1, 'from the file')");
  }
  ServerDb server;
  pushBankToServer(files.path(), server.uri());
  Connection s;
  s.open(server.uri());
  EXPECT_EQ(rowsOf(s, "select count(*) from zx_probe_carried"), "1\n");
  EXPECT_EQ(rowsOf(s, "select count(*) from zx_probe_pushed"), "1\n");
  EXPECT_EQ(rowsOf(s, "select count(*) from zx_probe_left"), "0\n");  // made empty, as in a new bank
  EXPECT_EQ(carried.copiedInto, std::vector<Dialect>{Dialect::Postgres});
  EXPECT_TRUE(left.copiedInto.empty());
  for (const Probe* p : {&carried, &pushedOnly, &left})
    s.execute("insert into " + p->table() + " (n, note) values (2, 'on the server')");
  s.close();

  publishServerBank(server.uri(), published.path());
  Connection f;
  openBank(f, published.path());
  EXPECT_EQ(rowsOf(f, "select n, note from zx_probe_carried order by n"), "1|from the file\n2|on the server\n");
  EXPECT_EQ(rowsOf(f, "select count(*) from zx_probe_pushed"), "0\n");
  EXPECT_EQ(rowsOf(f, "select count(*) from zx_probe_left"), "0\n");
  EXPECT_EQ(carried.copiedInto, (std::vector<Dialect>{Dialect::Postgres, Dialect::Sqlite}));
  EXPECT_EQ(versionIn(f, "carried"), 1);
}

TEST(ExtensionsCompacted, ACompactedBankKeepsTheVersionsItRecords) {
  TempDir dir;
  schema::createBank(dir.path());
  compactBank(dir.path());
  Connection c;
  openBank(c, dir.path());
  EXPECT_EQ(versionIn(c, "history"), registeredExtension("history")->version());
  EXPECT_TRUE(structureProblems(dir.path()).empty());
}
