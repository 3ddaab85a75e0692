#include "question_geometry.h"

#include <optional>

#include "question_editor.h"

namespace editor {

namespace {

template <class Control>
Control* pointerTo(std::optional<Control>& c) {
  return c ? &*c : nullptr;
}

}  // namespace

const std::vector<ControlPlace>& sharedPlaces() {
  // The column right of the question and choices, from x = 15060 to the page's edge.
  static const std::vector<ControlPlace> places = {
      {Shared::lblTitle, {480, 300, 9000, 600}},
      {Shared::lblPool, {15060, 120, 1740, 255}},
      {Shared::cmbPool, {15060, 390, 1740, 330}},
      {Shared::lblQuestion, {16920, 120, 1920, 255}},
      {Shared::lstQuestion, {16920, 390, 1920, 2400}},
      {Shared::lblAnswer, {15060, 870, 1200, 255}},
      {Shared::cmbAnswer, {15060, 1140, 1200, 330}},
      {Shared::FrameVH, {15060, 2940, 3780, 1500}},
      {Shared::OptHW0, {120, 300, 1200, 300}},
      {Shared::OptHW1, {1440, 300, 1200, 300}},
      {Shared::txtValue, {120, 690, 900, 330}},
      {Shared::SliderVH, {1140, 660, 2520, 420}},
      {Shared::chkBorder, {120, 1110, 270, 270}},
      {Shared::lblBorder, {420, 1110, 1200, 270}},
      {Shared::cmdSave, {15060, 4560, 1140, 420}},
      {Shared::cmdReset, {16320, 4560, 1140, 420}},
      {Shared::chkAutoSave, {17580, 4635, 270, 270}},
      {Shared::lblAutoSave, {17850, 4635, 990, 270}},
      {Shared::cmdFont, {15060, 5100, 1140, 420}},
      {Shared::cmdUnderLine, {16320, 5100, 1140, 420}},
      {Shared::cmdGo, {17580, 5100, 1140, 420}},
      {Shared::FrameEdit, {15060, 5640, 3780, 2340}},
      {Shared::cmbEdit, {120, 330, 2280, 330}},
      {Shared::cmdEditSubmit, {2520, 300, 1140, 390}},
      {Shared::lblPoolName, {120, 810, 1800, 255}},
      {Shared::txtPoolName, {120, 1080, 480, 330}},
      {Shared::cmbPoolName, {720, 1080, 1200, 330}},
      {Shared::lblQuestionNumber, {2520, 810, 1140, 255}},
      {Shared::txtQNumber, {2520, 1080, 720, 330}},
      {Shared::PgrBar, {120, 1560, 3540, 240}},
      {Shared::lblProgress, {120, 1860, 3540, 255}},
      {Shared::cmdOGcreate, {15060, 8160, 780, 420}},
      {Shared::txtOG12, {15960, 8205, 900, 330}},
      {Shared::cmdCopy, {16980, 8160, 840, 420}},
      {Shared::cmdCopy2, {17940, 8160, 900, 420}},
      {Shared::cmdDuplicateCheck, {15060, 8700, 780, 420}},
  };
  return places;
}

ui::Placeable* sharedControl(QuestionEditor& w, Shared c) {
  switch (c) {
    case Shared::lblTitle: return &w.lblTitle;
    case Shared::lblPool: return &w.lblPool;
    case Shared::cmbPool: return &w.cmbPool;
    case Shared::lblQuestion: return &w.lblQuestion;
    case Shared::lstQuestion: return &w.lstQuestion;
    case Shared::lblAnswer: return &w.lblAnswer;
    case Shared::cmbAnswer: return &w.cmbAnswer;
    case Shared::FrameVH: return &w.FrameVH;
    case Shared::OptHW0: return &w.OptHW[0];
    case Shared::OptHW1: return &w.OptHW[1];
    case Shared::txtValue: return &w.txtValue;
    case Shared::SliderVH: return &w.SliderVH;
    case Shared::chkBorder: return &w.chkBorder;
    case Shared::lblBorder: return &w.lblBorder;
    case Shared::cmdSave: return &w.cmdSave;
    case Shared::cmdReset: return &w.cmdReset;
    case Shared::chkAutoSave: return pointerTo(w.chkAutoSave);
    case Shared::lblAutoSave: return pointerTo(w.lblAutoSave);
    case Shared::cmdFont: return pointerTo(w.cmdFont);
    case Shared::cmdUnderLine: return pointerTo(w.cmdUnderLine);
    case Shared::cmdGo: return pointerTo(w.cmdGo);
    case Shared::FrameEdit: return &w.FrameEdit;
    case Shared::cmbEdit: return &w.cmbEdit;
    case Shared::cmdEditSubmit: return &w.cmdEditSubmit;
    case Shared::lblPoolName: return &w.lblPoolName;
    case Shared::txtPoolName: return &w.txtPoolName;
    case Shared::cmbPoolName: return pointerTo(w.cmbPoolName);
    case Shared::lblQuestionNumber: return &w.lblQuestionNumber;
    case Shared::txtQNumber: return &w.txtQNumber;
    case Shared::PgrBar: return pointerTo(w.PgrBar);
    case Shared::lblProgress: return pointerTo(w.lblProgress);
    case Shared::cmdOGcreate: return &w.cmdOGcreate;
    case Shared::txtOG12: return &w.txtOG12;
    case Shared::cmdCopy: return &w.cmdCopy;
    case Shared::cmdCopy2: return pointerTo(w.cmdCopy2);
    case Shared::cmdDuplicateCheck: return pointerTo(w.cmdDuplicateCheck);
  }
  return nullptr;
}

}  // namespace editor
