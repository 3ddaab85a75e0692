#pragma once
// One question as a printed document: a heading with its kind, number and pool, then what its
// kind shows (the stem, the five lettered choices, DS statements with their fixed choices, PS
// formulas in a row where "Arrange" is ticked, an essay topic), and with the key its stored
// answer. Rich text comes from the RTF reader, so fonts, sizes, line breaks and scripts are
// those of the rich-text boxes. An RC passage is a document of its own, printed once before
// its questions.

#include <QString>
#include <QTextDocument>

#include <string>

#include "print_selection.h"
#include "question_record.h"

namespace exchange::print {

// What stands under a question with the key when the bank holds no answer for it.
inline const QString kNoAnswer = QStringLiteral("no answer stored");

// The font of text whose RTF names none, as in the rich-text boxes.
QFont defaultTextFont();

class QuestionDocuments {
 public:
  explicit QuestionDocuments(bool withKey) : withKey_(withKey) {}

  // Replaces doc's content with the question q, whose fields are record.
  void question(const QuestionRef& q, const bank::Record& record, QTextDocument& doc);
  // Replaces doc's content with the passage of record (RC) under its passage number.
  void passage(Kind kind, const bank::Record& record, QTextDocument& doc);
  // What tells one passage from another: its number, or its text where it has none; empty for
  // a question of a kind without passages.
  static std::string passageOf(Kind kind, const bank::Record& record);

  // The answer a question's key shows: the stored letter, or kNoAnswer.
  static QString answerOf(const QuestionRef& q, const bank::Record& record);
  // Whether questions of the kind have an answer to show with the key (an essay topic has none).
  static bool hasAnswer(Kind kind);

 private:
  bool withKey_;
  QTextDocument rich_;  // each rich-text field is read here, then copied in
};

}  // namespace exchange::print
