#pragma once
// Shared by the RTF tests: reading files, per-character formatting, text similarity.

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QTextDocument>

#include <filesystem>
#include <memory>
#include <vector>

namespace rtf_test {

QByteArray readFile(const std::filesystem::path& path);
QByteArray fixture(const char* name);

std::unique_ptr<QTextDocument> read(const QByteArray& rtf);

// What the round trip must keep for every character.
struct CharLook {
  QString font;
  double size = 0;
  bool bold = false, italic = false, underline = false, strike = false;
  int vertical = 0;
  QColor colour;
  bool operator==(const CharLook&) const = default;
};
std::vector<CharLook> looks(const QTextDocument& doc);
// The look of the character at document position `pos`.
CharLook lookAt(const QTextDocument& doc, int pos);
// The document position of the first occurrence of `text`.
int positionOf(const QTextDocument& doc, const QString& text);

// True when 1 - (insertions + deletions) / (|a| + |b|) >= threshold, the ratio of
// difflib's SequenceMatcher when the two texts differ little.
bool similarAtLeast(const QString& a, const QString& b, double threshold);
// Every '{' of the RTF has its '}' (escaped braces and \'hh skipped).
bool balanced(const QByteArray& rtf);
// Whitespace runs collapsed to one space, ends trimmed.
QString collapsed(const QString& s);

}  // namespace rtf_test
