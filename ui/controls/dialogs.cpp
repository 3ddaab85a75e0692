#include "dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QStringList>

#include "app_services.h"

namespace ui {

namespace {

QMessageBox::Icon qtIcon(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

// "Text (*.txt)|*.txt|All|*.*" -> "Text (*.txt) (*.txt);;All (*.*)"
QString qtFilter(const std::string& filter) {
  QStringList parts = QString::fromStdString(filter).split('|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    out << parts[i].trimmed() + " (" + parts[i + 1].trimmed().replace(';', ' ') + ")";
  return out.join(";;");
}

class QtDialogs : public DialogProvider {
 public:
  MsgResult message(const ShownMessage& box) override {
    QMessageBox mb(qtIcon(box.icon), QString::fromStdString(box.title), QString::fromStdString(box.text),
                   QMessageBox::NoButton, QApplication::activeWindow());
    switch (box.buttons) {
      case MsgButtons::OkOnly: mb.setStandardButtons(QMessageBox::Ok); break;
      case MsgButtons::OkCancel: mb.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
      case MsgButtons::YesNo: mb.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
      case MsgButtons::YesNoCancel:
        mb.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    fitTitle(mb);
    const bool second = box.defaultButton == MsgDefault::Second;
    switch (box.buttons) {
      case MsgButtons::OkOnly: break;
      case MsgButtons::OkCancel: mb.setDefaultButton(second ? QMessageBox::Cancel : QMessageBox::Ok); break;
      case MsgButtons::YesNo: mb.setDefaultButton(second ? QMessageBox::No : QMessageBox::Yes); break;
      case MsgButtons::YesNoCancel:
        mb.setDefaultButton(box.defaultButton == MsgDefault::Third ? QMessageBox::Cancel
                            : second                               ? QMessageBox::No
                                                                   : QMessageBox::Yes);
        break;
    }
    switch (mb.exec()) {
      case QMessageBox::Ok: return MsgResult::Ok;
      case QMessageBox::Yes: return MsgResult::Yes;
      case QMessageBox::No: return MsgResult::No;
      default: return box.buttons == MsgButtons::OkOnly ? MsgResult::Ok : MsgResult::Cancel;
    }
  }

  std::optional<std::string> openFile(const std::string& filter) override {
    QString path = QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(), qtFilter(filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
  }
};

DialogProvider* g_provider = nullptr;

DialogProvider& provider() {
  static QtDialogs real;
  return g_provider ? *g_provider : real;
}

}  // namespace

void fitTitle(QMessageBox& box) {
  // Title bars draw their text in a bold font; the icon, the close button and the frame
  // take about 100 pixels beside it.
  QFont font = box.font();
  font.setBold(true);
  const int need = QFontMetrics(font).horizontalAdvance(box.windowTitle()) + 100;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(need, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

void setDialogProvider(DialogProvider* p) { g_provider = p; }

MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title,
                 MsgDefault defaultButton) {
  return provider().message({text, title.empty() ? AppTitle() : title, icon, buttons, defaultButton});
}

bool CommonDialog::ShowOpen() {
  std::optional<std::string> chosen = provider().openFile(Filter);
  FileName = chosen.value_or("");
  return !FileName.empty();
}

}  // namespace ui
