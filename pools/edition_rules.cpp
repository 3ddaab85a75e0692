#include "edition_rules.h"

#include <stdexcept>

#include "text.h"

namespace pools {

using store::schema::Kind;

const EditionRules& editionRules(Kind kind) {
  const auto& entry = store::schema::kindEntry(kind);
  if (!entry.edition) throw std::logic_error(std::string(entry.name) + " has no edition rules");
  return *entry.edition;
}

bool choiceKindNamed(const std::string& name, Kind& kind) {
  for (Kind k : store::schema::choiceKinds())
    if (store::equalsIgnoringCase(name, store::schema::kindName(k))) {
      kind = k;
      return true;
    }
  return false;
}

}  // namespace pools
