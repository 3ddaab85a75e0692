#pragma once
// A bank in a temporary folder (or on the test server), its connections open, scripted message
// boxes, and an editor window driven through its controls and handlers.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "connections.h"
#include "db_error.h"
#include "controls/events.h"
#include "controls/form.h"
#include "controls/scripted_dialogs.h"
#include "recordset.h"
#include "pg_server.h"
#include "schema.h"
#include "temp_dir.h"

class EditorTest : public ::testing::Test {
 protected:
  // Where the bank is: the tests of what the store decides run on both engines (OnBothEngines).
  virtual testing_support::BankEngine bankEngine() const { return testing_support::BankEngine::File; }
  void SetUp() override {
    state = std::make_unique<bank::ProgramState>(dir.path());
    if (bankEngine() == testing_support::BankEngine::Server) {
      server.emplace();
      bank::schema::createServerBank(server->uri());
      state->serverBank = server->uri();
    } else {
      bank::schema::createBank(dir.path());
    }
    state->flgAllKinds = true;
    bank::OpenConnections(*state);
    ASSERT_EQ(state->pConn().onServer(), bankEngine() == testing_support::BankEngine::Server);
  }
  void TearDown() override {
    ui::setErrorDescriber(nullptr);
    delete window.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // A database error reaches its message box as number and description, as in the program.
  static void describeDbErrors() {
    ui::setErrorDescriber([](std::exception_ptr e) -> ui::ErrorInfo {
      try {
        std::rethrow_exception(e);
      } catch (const store::DbError& d) {
        return {d.number, d.description};
      }
    });
  }

  // A record with the given fields, as the bank would hold it.
  void add(const std::string& table, const std::map<std::string, store::Value>& fields) {
    store::Recordset rs;
    rs.open(table, state->pConn(), store::adOpenKeyset, store::adLockOptimistic);
    rs.addNew();
    for (const auto& [name, value] : fields) rs.setValue(name, value);
    rs.update();
    rs.close();
  }
  store::Value field(const std::string& table, const std::string& numQ, const std::string& name) {
    store::Recordset rs;
    rs.open("select * from " + table + " where numQ='" + numQ + "'", state->pConn(), store::adOpenDynamic,
            store::adLockReadOnly);
    store::Value v = rs.eof() ? store::Value() : rs.value(name);
    rs.close();
    return v;
  }
  long count(const std::string& sql) {
    store::Recordset rs;
    rs.open(sql, state->pConn(), store::adOpenDynamic, store::adLockReadOnly);
    long n = static_cast<long>(rs.value(rs.fieldNames()[0]).toInt());
    rs.close();
    return n;
  }

  // Opens an editor window as the section window does.
  template <class Editor>
  Editor& open() {
    auto* e = new Editor(*state, formInit);
    window = e;
    e->Show();
    return *e;
  }

  testing_support::TempDir dir;
  std::optional<testing_support::ServerDb> server;
  std::unique_ptr<bank::ProgramState> state;
  ui::Form formInit;
  ui::ScriptedDialogs dialogs;
  QPointer<ui::Form> window;
};

// A fixture whose tests run on a bank file and on a server bank: the behaviour that the store
// decides (saving, the changed-elsewhere check, deleting, the pool operations).
template <class Fixture>
class OnBothEngines : public Fixture, public ::testing::WithParamInterface<testing_support::BankEngine> {
 protected:
  testing_support::BankEngine bankEngine() const override { return this->GetParam(); }
};
#define ZORBEX_ON_BOTH_ENGINES(suite)                                                                        \
  INSTANTIATE_TEST_SUITE_P(Engines, suite,                                                                 \
                           ::testing::Values(testing_support::BankEngine::File, testing_support::BankEngine::Server), \
                           testing_support::engineName)

// RTF of a stem: "ab" in CBT, "cdefgh" in CBTLINE, "ijk" in CBT.
inline const char* kCbtStem =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil CBT;}{\\f1\\fnil CBTLINE;}{\\f2\\fnil Verdana;}}"
    "\\pard\\f0\\fs22 ab\\f1 cdefgh\\f0 ijk\\par}";
