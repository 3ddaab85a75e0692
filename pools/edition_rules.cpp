#include "edition_rules.h"

#include <stdexcept>

#include "text.h"

namespace pools {

using bank::schema::Kind;

const EditionRules& editionRules(Kind kind) {
  const auto& entry = bank::schema::kindEntry(kind);
  if (!entry.edition) throw std::logic_error(std::string(entry.name) + " has no edition rules");
  return *entry.edition;
}

bool choiceKindNamed(const std::string& name, Kind& kind) {
  for (Kind k : bank::schema::choiceKinds())
    if (store::equalsIgnoringCase(name, bank::schema::kindName(k))) {
      kind = k;
      return true;
    }
  return false;
}

}  // namespace pools
