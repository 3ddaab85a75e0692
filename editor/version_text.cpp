#include "version_text.h"

#include <algorithm>
#include <cctype>

#include "field_labels.h"
#include "plain_text.h"

namespace editor {

namespace {

using bank::schema::FieldType;
using bank::schema::FieldWrite;

// A word and the blanks after it; words are compared without their blanks, so that a word
// followed by a blank in one text and ending the other is the same word.
struct Word {
  std::string word, blanks;
};

std::vector<Word> words(const std::string& s) {
  std::vector<Word> out;
  size_t i = 0;
  while (i < s.size()) {
    size_t j = i;
    while (j < s.size() && !std::isspace(static_cast<unsigned char>(s[j]))) ++j;
    size_t k = j;
    while (k < s.size() && std::isspace(static_cast<unsigned char>(s[k]))) ++k;
    out.push_back({s.substr(i, j - i), s.substr(j, k - j)});
    i = k;
  }
  return out;
}

void add(std::vector<DiffPart>& parts, DiffPart::Kind kind, const std::string& text) {
  if (text.empty()) return;
  if (!parts.empty() && parts.back().kind == kind)
    parts.back().text += text;
  else
    parts.push_back({kind, text});
}

bool onlyBlanks(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
}

std::string escaped(const std::string& s) {
  return QString::fromStdString(s).toHtmlEscaped().replace("\n", "<br>").toStdString();
}

// As the rich-text box gives its text, breaks as CR LF: what the History window compares.
std::string plain(const bank::schema::Field& f, const store::Value& v) {
  return bank::PlainText(bank::Breaks::AsTheBoxGivesThem).of(f.type, v).toStdString();
}

}  // namespace

std::vector<DiffPart> wordDiff(const std::string& before, const std::string& after) {
  const std::vector<Word> a = words(before), b = words(after);
  // Longest common subsequence of the words, from the end, so that the walk goes forward.
  std::vector<std::vector<int>> lcs(a.size() + 1, std::vector<int>(b.size() + 1, 0));
  for (size_t i = a.size(); i-- > 0;)
    for (size_t j = b.size(); j-- > 0;)
      lcs[i][j] = a[i].word == b[j].word ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
  std::vector<DiffPart> parts;
  size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (i < a.size() && j < b.size() && a[i].word == b[j].word) {
      add(parts, DiffPart::Same, a[i].word);
      // Blanks that differ after the same word: each text keeps its own (only blanks, which
      // markDifferences leaves unmarked).
      if (a[i].blanks == b[j].blanks) {
        add(parts, DiffPart::Same, a[i].blanks);
      } else {
        add(parts, DiffPart::Removed, a[i].blanks);
        add(parts, DiffPart::Added, b[j].blanks);
      }
      ++i;
      ++j;
    } else if (i < a.size() && (j == b.size() || lcs[i + 1][j] >= lcs[i][j + 1])) {
      add(parts, DiffPart::Removed, a[i].word + a[i].blanks);  // what went before what came in its place
      ++i;
    } else {
      add(parts, DiffPart::Added, b[j].word + b[j].blanks);
      ++j;
    }
  }
  return parts;
}

std::vector<ShownField> shownFields(bank::schema::Kind kind, const Record& values) {
  std::vector<ShownField> out;
  for (const bank::schema::Field& f : bank::schema::kindEntry(kind).fields) {
    if (f.write != FieldWrite::Content && f.write != FieldWrite::ContentIfGiven) continue;
    auto it = values.find(f.name);
    out.push_back({bank::fieldLabel(f.name), it == values.end() ? std::string() : plain(f, it->second)});
  }
  return out;
}

Record recordOf(const store::history::Version& v) {
  Record r;
  for (const auto& [name, value] : v.fields) r[name] = value;
  return r;
}

MarkedTexts markDifferences(const std::vector<ShownField>& version, const std::vector<ShownField>& current) {
  MarkedTexts out;
  for (size_t i = 0; i < version.size() && i < current.size(); ++i) {
    const std::string head = "<p><b>" + escaped(version[i].name) + "</b><br>";
    out.version += head;
    out.current += head;
    for (const DiffPart& p : wordDiff(version[i].text, current[i].text)) {
      // Blanks alone are shown as they are: only words are compared.
      const bool marked = p.kind != DiffPart::Same && !onlyBlanks(p.text);
      if (p.kind != DiffPart::Added)
        out.version += marked
                           ? "<span style=\"background-color:#f6c6c6; text-decoration:line-through\">" +
                                 escaped(p.text) + "</span>"
                           : escaped(p.text);
      if (p.kind != DiffPart::Removed)
        out.current += marked
                           ? "<span style=\"background-color:#c6ecc6\">" + escaped(p.text) + "</span>"
                           : escaped(p.text);
    }
    out.version += "</p>";
    out.current += "</p>";
  }
  return out;
}

}  // namespace editor
