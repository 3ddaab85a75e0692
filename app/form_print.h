#pragma once
// "Print..." of the section window: which questions of the bank to print (a kind, a pool, a
// number prefix such as an edition's), asked in a small dialog before the preview opens.

#include <QDialog>
#include <QComboBox>
#include <QLineEdit>

#include <optional>

#include "print_selection.h"

namespace app {

class FormPrint : public QDialog {
 public:
  explicit FormPrint(QWidget* parent);

  QComboBox cmbKind;  // "Every kind", then each kind
  QLineEdit txtPool;
  QLineEdit txtPrefix;

  // The selection as the dialog stands.
  exchange::print::Selection selection() const;
  // Shows the dialog; the selection when the user pressed "Preview...".
  static std::optional<exchange::print::Selection> ask(QWidget* parent);
};

}  // namespace app
