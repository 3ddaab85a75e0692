#include "form_custom_pool.h"

#include "schema.h"

namespace app {

FormCustomPool::FormCustomPool(ui::Form& formInit)
    : lblTitle(this, "Custom Pool Editor"),
      frameType(this, "TYPE"),
      lblPool(this, "Question Pool"),
      cmbPool(this),
      lblQuestion(this, "Question Number"),
      lstQuestion(this),
      frameEdit(this, "Edit"),
      cmbEdit(&frameEdit),
      lblPoolName(&frameEdit, "Pool Name"),
      txtPoolName(&frameEdit),
      cmbPoolName(&frameEdit),
      lblQNumber(&frameEdit, "Number"),
      txtQNumber(&frameEdit),
      cmdEditSubmit(&frameEdit, "Submit"),
      lblProgress(this, "Updating pool name list"),
      PgrBar(this),
      formInit_(formInit) {
  setDeleteOnUnload(true);
  setCaption("Custom Pool Editor");
  setWindowIcon(ui::Bitmap("app_icon"));
  setWidth(9000);
  setHeight(5700);

  QFont title = lblTitle.font();
  title.setPointSizeF(title.pointSizeF() * 1.5);
  title.setBold(true);
  lblTitle.setFont(title);
  lblTitle.Move(240, 150, 6000, 450);

  frameType.Move(240, 750, 1800, 2700);
  int i = 0;
  for (bank::schema::Kind k : bank::schema::choiceKinds()) {
    Option1.add(new ui::OptionButton(&frameType, bank::schema::kindName(k), i)).Move(180, 360 + i * 450, 1440, 360);
    ++i;
  }

  lblPool.Move(2280, 750, 3000, 300);
  cmbPool.Move(2280, 1080, 3000, 390);
  lblQuestion.Move(2280, 1590, 3000, 300);
  lstQuestion.Move(2280, 1920, 3000, 2670);

  frameEdit.Move(5580, 750, 3180, 3840);
  cmbEdit.Move(180, 360, 2820, 390);
  lblPoolName.Move(180, 900, 2820, 300);
  txtPoolName.Move(180, 1230, 2820, 360);
  cmbPoolName.Move(180, 1710, 2820, 390);
  lblQNumber.Move(180, 2250, 2820, 300);
  txtQNumber.Move(180, 2580, 1500, 360);
  cmdEditSubmit.Move(180, 3210, 2820, 420);

  lblProgress.Move(240, 4770, 6000, 300);
  PgrBar.Move(240, 5130, 8520, 300);
}

void FormCustomPool::Form_Unload() { formInit_.Show(); }

}  // namespace app
