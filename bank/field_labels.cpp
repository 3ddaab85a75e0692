#include "field_labels.h"

#include <cctype>

namespace bank {

std::string fieldLabel(const std::string& field) {
  // The labels are the registry's, the same in every kind that has the field.
  if (const bank::schema::Field* f = bank::schema::findFieldOfAnyKind(field); f && f->label) return f->label;
  // Any other field reads as its name, capitalised, its last letter or digit set apart.
  std::string out = field;
  if (out.empty()) return out;
  out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
  const auto last = static_cast<unsigned char>(out.back());
  if (out.size() > 1 && (std::isupper(last) || std::isdigit(last))) out.insert(out.size() - 1, " ");
  return out;
}

std::string fieldPlace(bank::schema::Kind kind, const std::string& field) {
  const bank::schema::Field* f = bank::schema::findField(kind, field);
  return f && f->place ? f->place : std::string();
}

}  // namespace bank
