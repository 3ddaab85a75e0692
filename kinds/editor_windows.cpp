#include "editor_windows.h"

#include "awa/form_awa_edit.h"
#include "cr/form_cr_edit.h"
#include "ds/form_ds_edit.h"
#include "ps/form_ps_edit.h"
#include "rc/form_rc_edit.h"
#include "sc/form_sc_edit.h"

namespace kinds {

namespace {

template <class Editor>
ui::Form* make(bank::ProgramState& state, ui::Form& formInit) {
  return new Editor(state, formInit);
}

struct Entry {
  bank::schema::Kind kind;
  KindWindowFactory open;
};

using bank::schema::Kind;
const Entry kWindows[] = {
    {Kind::SC, make<FormSCEdit>}, {Kind::CR, make<FormCREdit>}, {Kind::RC, make<FormRCEdit>},
    {Kind::PS, make<FormPSEdit>}, {Kind::DS, make<FormDSEdit>}, {Kind::AWA, make<FormAWAEdit>},
};

}  // namespace

KindWindowFactory editorWindow(bank::schema::Kind kind) {
  for (const Entry& e : kWindows)
    if (e.kind == kind) return e.open;
  return nullptr;
}

}  // namespace kinds
