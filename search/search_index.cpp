#include "search_index.h"

#include <cctype>

#include "db_error.h"
#include "file_index.h"
#include "server_index.h"

namespace search::index {

namespace {
constexpr const char* kFeature = "search index";
}

Index& indexOf(store::Connection& conn) {
  store::Engine& engine = conn.engine();
  if (store::FeatureState* kept = engine.featureState(kFeature)) return static_cast<Index&>(*kept);
  // The one place where the engine decides: every later call goes to the backend chosen here.
  std::unique_ptr<Index> index =
      engine.dialect() == store::Dialect::Postgres ? makeServerIndex(conn) : makeFileIndex(conn);
  return static_cast<Index&>(engine.keepFeatureState(kFeature, std::move(index)));
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
  if (const std::optional<Kind> k = store::schema::kindNamed(name)) return *k;
  throw store::DbError(store::err::Generic, "The search index names an unknown question kind '" + std::string(name) + "'.");
}

}  // namespace search::index
