#include "plain_text.h"

#include "rtf/rtf_format.h"
#include "rtf/rtf_reader.h"

namespace bank {

QString PlainText::of(bank::schema::FieldType type, const store::Value& value) {
  if (value.isNull()) return {};
  const std::string raw = value.toString();
  if (type != bank::schema::FieldType::Rtf) return QString::fromStdString(raw);
  ui::rtf::readRtf(QByteArray(raw.data(), static_cast<qsizetype>(raw.size())), doc_);
  return ui::rtf::documentText(doc_, breaks_ == Breaks::OneCharacter ? QStringLiteral("\n") : QStringLiteral("\r\n"));
}

}  // namespace bank
