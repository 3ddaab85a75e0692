#pragma once
// A question's field as plain text: rich text read through the RTF reader, other text as it is
// stored. One maker for every reader of a question's words (the search, the History window);
// they differ only in how a break is written, and say which they want.

#include <QString>
#include <QTextDocument>

#include "kind_registry.h"
#include "value.h"

namespace bank {

// How a break between paragraphs, or a line break inside one, is written in the plain text.
enum class Breaks {
  // "\n", one character: a place in the text is the same place in the rich-text box's
  // document, where the search marks what it found.
  OneCharacter,
  // "\r\n", as the rich-text box gives its Text: what the History window shows and compares.
  AsTheBoxGivesThem,
};

class PlainText {
 public:
  explicit PlainText(Breaks breaks) : breaks_(breaks) {}
  // Empty for Null. One maker serves a whole run of fields: its document is read into again.
  QString of(bank::schema::FieldType type, const store::Value& value);

 private:
  Breaks breaks_;
  QTextDocument doc_;
};

}  // namespace bank
