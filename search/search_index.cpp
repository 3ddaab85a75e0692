#include "search_index.h"

#include <cctype>

#include "db_error.h"
#include "file_index.h"
#include "server_index.h"

namespace search::index {

namespace {

class IndexExtension : public store::Extension {
 public:
  std::string name() const override { return "search index"; }
  // 1: the words in a contentless FTS4 table (a tsvector on a server), ranked by small rows, with
  // a count of dead entries. Older layouts in a file are recognised by their tables' SQL.
  // 2: on a server, written only through functions with the owner's rights; in a file, the
  // triggers checked against their text and the index's tables against their count.
  int version() const override { return 2; }
  std::unique_ptr<store::ExtensionBackend> backendFor(store::Engine& engine) const override {
    // The one place where the engine decides: every call of the index goes to the backend made here.
    if (engine.dialect() == store::Dialect::Postgres) return makeServerIndex(engine);
    return makeFileIndex(engine);
  }
  // A copy carries none of the index: it holds nothing but what the questions give again, and
  // each copy builds its own from its questions at its first search.
  std::vector<store::ExtensionTable> tables() const override { return {}; }
  bool carriedByPush() const override { return false; }
  bool carriedByPublish() const override { return false; }
};

}  // namespace

const store::Extension& extension() {
  static const IndexExtension ext;
  return ext;
}

Index& indexOf(store::Connection& conn) {
  conn.engine();  // 3704 when closed
  auto* index = dynamic_cast<Index*>(store::extensionBackend(conn, extension()));
  if (!index)
    throw store::DbError(store::err::Generic, "The database " + conn.path() +
                                                  " keeps no search index (it holds no questions, or this program "
                                                  "did not register the index).");
  return *index;
}

std::vector<Phrase> tokenPhrases(const TermQuery& query) {
  std::vector<Phrase> phrases;
  for (const Phrase& p : query.phrases) {
    Phrase phrase;
    for (const Term& t : p.terms) {
      std::string piece;
      auto cut = [&] {
        if (!piece.empty()) phrase.terms.push_back({std::move(piece), false});
        piece.clear();
      };
      const size_t before = phrase.terms.size();
      for (char c : t.text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || std::isalnum(u))
          piece += static_cast<char>(u < 0x80 ? std::tolower(u) : u);
        else
          cut();
      }
      cut();
      if (t.prefix && phrase.terms.size() > before) phrase.terms.back().prefix = true;
    }
    if (!phrase.terms.empty()) phrases.push_back(std::move(phrase));
  }
  return phrases;
}

Kind indexedKind(std::string_view name) {
  if (const std::optional<Kind> k = bank::schema::kindNamed(name)) return *k;
  throw store::DbError(store::err::Generic, "The search index names an unknown question kind '" + std::string(name) + "'.");
}

}  // namespace search::index
