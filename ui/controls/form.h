#pragma once
// A window of the program: loaded, shown modelessly, hidden and unloaded as the windows'
// logic expects, with its size in twips. The program ends when its last loaded window is
// unloaded, whether or not windows were hidden on the way.

#include <QWidget>
#include <functional>
#include <string>

#include "events.h"

namespace ui {

enum class MousePointer { Default, Hourglass };

class Form : public QWidget {
 public:
  explicit Form(QWidget* parent = nullptr);
  ~Form() override;

  // Runs Form_Load once; the window stays hidden. When Form_Load fails the window is
  // not loaded.
  void Load();
  // Loads when needed, shows the window without blocking and, when it was hidden, raises
  // Form_Activate.
  void Show();
  void Hide() { hide(); }
  bool Visible() const { return isVisible(); }
  // Raises Form_Unload, hides the window and counts it as unloaded. A window created for
  // one use (setDeleteOnUnload) is then deleted once control is back in the event loop.
  void Unload();
  bool Loaded() const { return loaded_; }

  // Paints the window now, inside the running handler.
  void Refresh();
  void setMousePointer(MousePointer p);
  MousePointer mousePointer() const { return pointer_; }

  // Makes this one of the program's tool windows (Find, Replace, History, Trash): Escape
  // closes it as its close box does, and it opens wholly inside its screen's work area, frame
  // included.
  void setOwnWindow() { ownWindow_ = true; }

  std::string Caption() const { return windowTitle().toStdString(); }
  void setCaption(const std::string& c) { setWindowTitle(QString::fromStdString(c)); }
  // Client size in twips.
  double Width() const { return width_; }
  double Height() const { return height_; }
  void setWidth(double twips);
  void setHeight(double twips);

 protected:
  virtual void Form_Load() {}
  virtual void Form_Activate() {}
  virtual void Form_Unload() {}
  void setDeleteOnUnload(bool on) { deleteOnUnload_ = on; }
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  EventGate gate_;
  bool loaded_ = false;
  bool deleteOnUnload_ = false;
  bool ownWindow_ = false;
  bool placed_ = false;
  double width_ = 0, height_ = 0;
  MousePointer pointer_ = MousePointer::Default;
};

// Places a window, frame included, in the middle of its screen's work area.
void centreOnScreen(QWidget& window);
// Places a window, frame included, in the middle of the work area of the screen of the window
// that is active (the one that opens it), or of its own; one larger than the area at its top
// left, so that its title bar can be reached.
void placeOnScreen(QWidget& window);

// Loaded windows of the program.
int LoadedFormCount();
// Runs when the last loaded window is unloaded (the program ends).
void setLastFormUnloadedHandler(std::function<void()> handler);

}  // namespace ui
