#pragma once
// What the printing tests share: a bank of their own, questions written by what their fields
// hold, and a printed PDF read back through poppler's command-line tools.

#include <QTextDocument>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "connection.h"
#include "kind_registry.h"
#include "recordset.h"
#include "schema.h"
#include "temp_dir.h"
#include "tool_run.h"

namespace print_test {

using bank::schema::Holds;
using bank::schema::Kind;

// A folder with an empty bank, open.
struct Bank {
  testing_support::TempDir dir;
  store::Connection conn;
  Bank() {
    bank::schema::createBank(dir.path());
    conn.open(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey);
  }
  void add(Kind kind, const std::string& numQ, const std::map<Holds, store::Value>& fields,
           const std::map<std::string, store::Value>& byName = {}) {
    store::Recordset rs;
    rs.open(bank::schema::tableName(kind), conn, store::adOpenKeyset, store::adLockOptimistic);
    rs.addNew();
    rs.setValue("numQ", store::Value(numQ));
    for (const auto& [what, value] : fields) rs.setValue(bank::schema::fieldFor(kind, what), value);
    for (const auto& [name, value] : byName) rs.setValue(name, value);
    rs.update();
    rs.close();
  }
};

// RTF as the rich-text boxes store it.
inline std::string rtf(const std::string& body, int halfPoints = 23) {
  return "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Verdana;}}\r\n\\pard\\f0\\fs" +
         std::to_string(halfPoints) + " " + body + "\r\n\\par }\r\n";
}

inline std::string run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  pclose(p);
  return out;
}

inline std::string pdfText(const std::string& pdf, int page = 0) {
  const std::string pages = page > 0 ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : "";
  return run("pdftotext -enc UTF-8" + pages + " " + testing_support::quoteArg(pdf) + " - 2>/dev/null");
}

inline int pdfPages(const std::string& pdf) {
  const std::string info = run("pdfinfo " + testing_support::quoteArg(pdf) + " 2>/dev/null");
  const size_t at = info.find("Pages:");
  return at == std::string::npos ? 0 : std::stoi(info.substr(at + 6));
}

// How often needle stands in text.
inline int count(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++n;
  return n;
}

}  // namespace print_test
