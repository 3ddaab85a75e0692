#include "form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWindow>
#include <QGuiApplication>
#include <QScreen>

#include "twips_geometry.h"

namespace ui {

namespace {
int g_loaded = 0;
std::function<void()> g_lastUnloaded;
}  // namespace

int LoadedFormCount() { return g_loaded; }
void setLastFormUnloadedHandler(std::function<void()> handler) { g_lastUnloaded = std::move(handler); }

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window) {}

Form::~Form() {
  if (loaded_) --g_loaded;  // destroyed without an unload: the process is ending
}

void Form::Load() {
  if (loaded_) return;
  loaded_ = true;
  ++g_loaded;
  if (!gate_.raise([this] { Form_Load(); }) && loaded_) {
    // A window whose load failed is not loaded: it must not keep the program running.
    loaded_ = false;
    --g_loaded;
    hide();
  }
  gate_.rethrowPending();
}

namespace {
void bringToFront(QWidget* w) {
  if (QGuiApplication::platformName() != "offscreen") w->raise();  // offscreen has no stacking
  w->activateWindow();
}
}  // namespace

void Form::Show() {
  Load();
  if (isVisible()) {
    bringToFront(this);
    return;
  }
  if (ownWindow_ && !placed_) placeOnScreen(*this);
  show();
  if (ownWindow_ && !placed_) {
    placed_ = true;
    // Placed again where the window system now tells the frame and it reaches out of the area.
    if (const QScreen* s = screen(); s && !s->availableGeometry().contains(frameGeometry())) placeOnScreen(*this);
  }
  bringToFront(this);
  gate_.raise([this] { Form_Activate(); });
  gate_.rethrowPending();
}

void Form::Unload() {
  if (!loaded_) return;
  if (!gate_.raise([this] { Form_Unload(); })) {
    gate_.rethrowPending();
    return;  // the handler failed: the window stays loaded
  }
  hide();
  loaded_ = false;
  --g_loaded;
  if (deleteOnUnload_) deleteLater();
  if (g_loaded == 0 && g_lastUnloaded) g_lastUnloaded();
}

void Form::Refresh() {
  // A window shown inside a running handler can be painted only once the window system has
  // mapped it; wait for that (user input stays queued), or work that follows inside the
  // same handler, such as start-up with its progress bar, would never be seen.
  if (isVisible() && windowHandle() && !windowHandle()->isExposed()) {
    QElapsedTimer waited;
    waited.start();
    while (!windowHandle()->isExposed() && waited.elapsed() < 1000) {
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
      QThread::msleep(5);
    }
  }
  repaint();
}

void Form::setMousePointer(MousePointer p) {
  pointer_ = p;
  if (p == MousePointer::Hourglass)
    setCursor(Qt::WaitCursor);
  else
    unsetCursor();
}

void Form::setWidth(double twips) {
  width_ = twips;
  resize(twipsToPixels(width_), twipsToPixels(height_));
}

void Form::setHeight(double twips) {
  height_ = twips;
  resize(twipsToPixels(width_), twipsToPixels(height_));
}

namespace {
// The size of the window with its frame. Before the first show the frame is not known: the
// usual title bar and borders.
QSize framedSize(const QWidget& window) {
  return window.size() + (window.isVisible() ? window.frameGeometry().size() - window.size() : QSize(16, 48));
}
}  // namespace

namespace {
// The window with its frame, centred in area.
QRect centredIn(const QWidget& window, const QRect& area) {
  QRect r(QPoint(0, 0), framedSize(window));
  r.moveCenter(area.center());
  return r;
}
}  // namespace

void centreOnScreen(QWidget& window) {
  const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  window.move(centredIn(window, screen->availableGeometry()).topLeft());
}

void placeOnScreen(QWidget& window) {
  const QWidget* opener = QApplication::activeWindow();
  const QScreen* screen = opener && opener != &window ? opener->screen() : window.screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  QRect r = centredIn(window, area);
  if (r.width() > area.width()) r.moveLeft(area.left());
  if (r.height() > area.height()) r.moveTop(area.top());
  window.move(r.topLeft());  // a window's position is that of its frame
}

void Form::closeEvent(QCloseEvent* event) {
  // The close box unloads the window; Unload hides it itself, or keeps it when it fails.
  event->ignore();
  gate_.raise([this] { Unload(); });
}

void Form::keyPressEvent(QKeyEvent* event) {
  // Escape reaches the window when the control with the focus has no use for it.
  if (ownWindow_ && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace ui
