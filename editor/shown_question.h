#pragma once
// What the program's other windows may ask of an open editor about the question it shows:
// the History window before and after it puts a version back, the Find window to show a
// hit, the Replace window after it has written, and the recovery of edits that an ended
// program left unsaved.

#include <optional>
#include <string>
#include <vector>

#include "controls/form.h"

#include "kind_registry.h"
#include "bank_record.h"

class QWidget;

namespace editor {

// Characters [start, start + length) of the plain text of a field.
struct TextRange {
  int start = 0, length = 0;
};

class ShownQuestion {
 public:
  virtual ~ShownQuestion() = default;

  // The editor's window.
  virtual ui::Form& window() = 0;

  virtual bank::schema::Kind shownKind() const = 0;
  // The question and the pool on screen; empty when none is shown.
  virtual std::string shownNumber() const = 0;
  virtual std::string shownPool() const = 0;

  // Before question numQ is replaced from elsewhere in this program: where the screen shows
  // it with edits, the user chooses Yes (they are saved), No (dropped) or Cancel (the event
  // ends, ui::AlreadyReported).
  virtual void settleEdits(const std::string& numQ) = 0;
  // Question numQ was written from elsewhere in this program: shown again where it is on
  // screen without edits (edits are merged when they are saved).
  virtual void storedChanged(const std::string& numQ) = 0;

  // The fields whose values on screen are not saved; empty when there are none.
  virtual Record unsavedEdits() const = 0;
  // Shows question numQ of pool with `edits` over it, as unsaved edits.
  virtual void bringBack(const std::string& pool, const std::string& numQ, const Record& edits) = 0;

  // Chooses pool (as the pool list names it) and question numQ in the lists as the user
  // would, brings the window to the front and, given a range, selects it in the box of
  // `field`. A pool or question that the lists do not hold is a store::DbError.
  virtual void showAt(const std::string& pool, const std::string& numQ, const std::string& field,
                      const std::optional<TextRange>& range) = 0;
};

// Selects range in a rich or plain text box, scrolled into view, and gives the box the
// focus; another widget is left alone.
void selectRange(QWidget& box, const TextRange& range);

// The editors that are open (shown or not), in no particular order.
std::vector<ShownQuestion*> openEditors();
// Those that show question numQ of kind.
std::vector<ShownQuestion*> editorsShowing(bank::schema::Kind kind, const std::string& numQ);

}  // namespace editor
