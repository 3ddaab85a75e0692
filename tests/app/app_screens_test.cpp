// The windows as the user sees them: every caption fits its control, no two controls of a
// container overlap, and nothing reaches outside its container. With ZORBEX_SCREENSHOT_DIR
// set, each window is also saved there as a PNG, its caption drawn above it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <cstdlib>

#include "app_fixture.h"
#include "form_custom_pool.h"
#include "program.h"

namespace {

// Direct child widgets that are controls (not Qt's internal parts of a control).
std::vector<QWidget*> controlsOf(QWidget* container) {
  std::vector<QWidget*> out;
  for (QObject* o : container->children())
    if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow() && !w->isHidden() && !w->objectName().startsWith("qt_"))
      out.push_back(w);
  return out;
}

std::string describe(QWidget* w) {
  QString text;
  if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) text = g->title();
  return std::string(w->metaObject()->className()) + " '" + text.toStdString() + "'";
}

void checkLayout(QWidget* container) {
  auto controls = controlsOf(container);
  for (QWidget* w : controls) {
    EXPECT_TRUE(container->rect().contains(w->geometry())) << describe(w) << " leaves its container";
    if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty()) {
      const int need = l->wordWrap() ? l->heightForWidth(l->width()) : l->sizeHint().height();
      EXPECT_GE(l->height(), need) << describe(w) << " is clipped";
      if (!l->wordWrap()) {
        EXPECT_GE(l->width(), l->sizeHint().width()) << describe(w) << " is clipped";
      }
    }
    if (auto* b = qobject_cast<QPushButton*>(w)) {
      // The text and the button's frame; the style's preferred width of 80 pixels is no need.
      const QFontMetrics fm = b->fontMetrics();
      EXPECT_GE(b->width(), fm.horizontalAdvance(b->text()) + 12) << describe(w) << " is clipped";
      EXPECT_GE(b->height(), fm.height() + 8) << describe(w) << " is clipped";
    }
    if (qobject_cast<QRadioButton*>(w) || qobject_cast<QCheckBox*>(w)) {
      EXPECT_GE(w->width(), w->sizeHint().width()) << describe(w) << " is clipped";
      EXPECT_GE(w->height(), w->sizeHint().height()) << describe(w) << " is clipped";
    }
    if (auto* g = qobject_cast<QGroupBox*>(w)) {
      EXPECT_GE(g->width(), g->fontMetrics().horizontalAdvance(g->title()) + 16) << describe(w);
      checkLayout(g);
    }
  }
  for (size_t i = 0; i < controls.size(); ++i)
    for (size_t j = i + 1; j < controls.size(); ++j)
      EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
          << describe(controls[i]) << " overlaps " << describe(controls[j]);
}

void save(ui::Form& form, const char* name) {
  const char* dir = std::getenv("ZORBEX_SCREENSHOT_DIR");
  if (!dir) return;
  QPixmap body = form.grab();
  QFont font = QApplication::font();
  const int bar = QFontMetrics(font).height() + 12;
  QImage image(body.width(), body.height() + bar, QImage::Format_ARGB32);
  image.fill(QColor(0x3b, 0x5b, 0x8c));
  QPainter p(&image);
  p.setPen(Qt::white);
  p.setFont(font);
  p.drawPixmap(6, (bar - 16) / 2, form.windowIcon().pixmap(16, 16));
  p.drawText(QRect(28, 0, body.width() - 28, bar), Qt::AlignVCenter | Qt::AlignLeft, form.windowTitle());
  p.drawPixmap(0, bar, body);
  p.end();
  QDir().mkpath(dir);
  const QString path = QString(dir) + "/" + name + ".png";
  ASSERT_TRUE(image.save(path));
  std::cout << "screenshot: " << path.toStdString() << "\n";
}

class ScreensTest : public AppFolderTest {};

TEST_F(ScreensTest, WindowsFitTheirTexts) {
  makeBank({store::schema::Kind::AWA});
  app::Program p(folder());
  ASSERT_EQ(p.start(), app::Program::kRunning);

  app::FormBindData& bind = p.formBindData();
  bind.show();
  bind.lblMsg.setCaption("Initializing...");
  bind.PgrBar.setValue(40);
  checkLayout(&bind);
  save(bind, "FormBindData");
  bind.hide();

  app::FormInit& init = p.formInit();
  init.optSelect[0].setValue(true);
  init.optPoolSection[0].setValue(true);
  init.lstEdit.AddItem("Pool 01");
  init.lstEdit.AddItem("Pool 02");
  checkLayout(&init);
  save(init, "FormInit");

  init.cmdAbout.Press();
  ASSERT_NE(init.about(), nullptr);
  checkLayout(init.about());
  save(*init.about(), "frmAbout");

  app::FormCustomPool pool(init);
  pool.Show();
  checkLayout(&pool);
  save(pool, "FormCustomPool");
  pool.Unload();
}

}  // namespace
