// Windows, bitmaps, geometry and the running-copy check.
#include <gtest/gtest.h>

#include <QMessageBox>

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls/app_services.h"
#include "controls/controls.h"
#include "controls/dialogs.h"
#include "controls/form.h"
#include "controls/scripted_dialogs.h"

namespace {

class TraceForm : public ui::Form {
 public:
  explicit TraceForm(std::vector<std::string>& log) : log_(log) { setDeleteOnUnload(false); }
  bool failUnload = false;

 protected:
  void Form_Load() override { log_.push_back("load"); }
  void Form_Activate() override { log_.push_back("activate"); }
  void Form_Unload() override {
    log_.push_back("unload");
    if (failUnload) throw std::runtime_error("cannot leave");
  }

 private:
  std::vector<std::string>& log_;
};

TEST(Forms, LoadShowUnloadRunTheirEventsAndTheLastUnloadEndsTheProgram) {
  std::vector<std::string> log;
  int ends = 0;
  ui::setLastFormUnloadedHandler([&] { ++ends; });
  const int before = ui::LoadedFormCount();
  {
    TraceForm a(log), b(log);
    a.Load();
    a.Load();
    a.Show();
    b.Show();
    b.Hide();
    b.Show();
    EXPECT_EQ(log, (std::vector<std::string>{"load", "activate", "load", "activate", "activate"}));
    EXPECT_EQ(ui::LoadedFormCount(), before + 2);

    a.Hide();  // hidden windows still keep the program running
    b.close();  // the close box unloads
    EXPECT_FALSE(b.Loaded());
    EXPECT_EQ(ends, 0);
    a.Unload();
    EXPECT_EQ(ends, before == 0 ? 1 : 0);
    a.Unload();  // unloading twice does nothing
    EXPECT_EQ(log.back(), "unload");
    EXPECT_EQ(std::count(log.begin(), log.end(), "unload"), 2);
  }
  ui::setLastFormUnloadedHandler(nullptr);
}

TEST(Forms, FailingUnloadKeepsTheWindowLoadedAndShowsTheError) {
  ui::ScriptedDialogs dialogs;
  std::vector<std::string> log;
  TraceForm f(log);
  f.failUnload = true;
  f.Show();
  f.close();
  EXPECT_TRUE(f.Loaded());
  EXPECT_TRUE(f.Visible());
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "-2147467259:cannot leave");
  f.failUnload = false;
  f.Unload();
  EXPECT_FALSE(f.Loaded());
}

TEST(Forms, WindowCreatedForOneUseIsDeletedAfterUnload) {
  class OneUse : public ui::Form {
   public:
    OneUse() { setDeleteOnUnload(true); }
  };
  QPointer<OneUse> f = new OneUse;
  f->Show();
  f->Unload();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(f.isNull());
}

// A box with a short text is still wide enough for its title.
TEST(Dialogs, AMessageBoxIsWideEnoughForItsTitle) {
  QMessageBox box(QMessageBox::NoIcon, "ZORBEX Editor - a long title", "Completed.", QMessageBox::Ok);
  const int before = box.sizeHint().width();
  ui::fitTitle(box);
  QFont bold = box.font();
  bold.setBold(true);
  EXPECT_GE(box.sizeHint().width(), QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + 100);
  EXPECT_GT(box.sizeHint().width(), before);
}

TEST(Geometry, TwipsAreKeptExactlyAndPixelsRounded) {
  QWidget w;
  ui::Label lbl(&w, "x");
  lbl.Move(120, 850.5, 1500, 300);
  EXPECT_DOUBLE_EQ(lbl.Top(), 850.5);
  EXPECT_EQ(lbl.geometry(), QRect(8, 57, 100, 20));
  ui::Frame frame(&w, "Edit");
  ui::CommandButton inFrame(&frame, "OK");
  frame.Move(1500, 1500, 3000, 3000);
  inFrame.Move(150, 300, 1200, 375);
  EXPECT_EQ(inFrame.mapTo(&w, QPoint(0, 0)), QPoint(110, 120)) << "frame children are placed inside the frame";
}

TEST(Bitmaps, MarkersAreElevenPixelsSquareAndDiffer) {
  QImage empty = ui::Bitmap(104).toImage();
  QImage filled = ui::Bitmap(103).toImage();
  ASSERT_EQ(empty.size(), QSize(11, 11));
  ASSERT_EQ(filled.size(), QSize(11, 11));
  EXPECT_NE(empty.pixel(5, 5), filled.pixel(5, 5)) << "103 has a filled centre";
  EXPECT_EQ(empty.pixel(0, 5), filled.pixel(0, 5));
  for (const char* name : {"next", "exit", "app_icon"}) EXPECT_FALSE(ui::Bitmap(name).isNull()) << name;
}

TEST(AppServices, VersionTitleAndRunningCopyOnTheSameFolder) {
  EXPECT_EQ(ui::AppTitle(), "ZORBEXEditor");
  const std::string v = ui::AppVersion();
  EXPECT_EQ(std::count(v.begin(), v.end(), '.'), 2);
  EXPECT_NE(v.find_first_not_of("0123456789."), 0u);

  QTemporaryDir a, b;
  {
    ui::InstanceLock first(a.path().toStdString());
    EXPECT_FALSE(first.PrevInstance());
    ui::InstanceLock second(a.path().toStdString());
    EXPECT_TRUE(second.PrevInstance());
    ui::InstanceLock other(b.path().toStdString());
    EXPECT_FALSE(other.PrevInstance()) << "another folder is another program";
  }
  ui::InstanceLock again(a.path().toStdString());
  EXPECT_FALSE(again.PrevInstance()) << "the lock ends with its copy";
}

TEST(AppServices, CopyThatCrashedDoesNotBlockTheNextStart) {
  // Otherwise every later start would end silently as a "second copy".
  QTemporaryDir a;
  const std::string folder = a.path().toStdString();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto* held = new ui::InstanceLock(folder);  // never released: the process dies holding it
    _exit(held->PrevInstance() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ui::InstanceLock next(folder);
  EXPECT_FALSE(next.PrevInstance());
}

}  // namespace
