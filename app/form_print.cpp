#include "form_print.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>

#include "schema.h"

namespace app {

namespace schema = bank::schema;

FormPrint::FormPrint(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Print"));
  cmbKind.addItem(QStringLiteral("Every kind"));
  for (schema::Kind k : schema::kAllKinds) cmbKind.addItem(QString::fromLatin1(schema::kindName(k)));
  txtPool.setPlaceholderText(QStringLiteral("every pool (AWA: Argument or Issue)"));
  txtPrefix.setPlaceholderText(QStringLiteral("every number, or an edition's prefix such as 013"));
  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("Kind"), &cmbKind);
  form->addRow(QStringLiteral("Pool"), &txtPool);
  form->addRow(QStringLiteral("Number prefix"), &txtPrefix);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Preview..."));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  setMinimumWidth(420);
}

exchange::print::Selection FormPrint::selection() const {
  exchange::print::Selection s;
  if (cmbKind.currentIndex() > 0) s.kinds = {schema::kAllKinds[static_cast<size_t>(cmbKind.currentIndex() - 1)]};
  s.pool = txtPool.text().trimmed().toStdString();
  s.numberPrefix = txtPrefix.text().trimmed().toStdString();
  return s;
}

std::optional<exchange::print::Selection> FormPrint::ask(QWidget* parent) {
  FormPrint dialog(parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selection();
}

}  // namespace app
