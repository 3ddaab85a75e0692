#include "rtf_test_util.h"

#include <QTextBlock>
#include <QTextCursor>

#include <fstream>
#include <iterator>

#include "rtf/rtf_format.h"
#include "rtf/rtf_reader.h"

namespace rtf_test {

QByteArray readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

QByteArray fixture(const char* name) {
  return readFile(std::filesystem::path(ZORBEX_FIXTURES_DIR) / "rtf" / name);
}

std::unique_ptr<QTextDocument> read(const QByteArray& rtf) {
  auto doc = std::make_unique<QTextDocument>();
  ui::rtf::readRtf(rtf, *doc);
  return doc;
}

static CharLook lookOf(const QTextCharFormat& f) {
  CharLook l;
  l.font = ui::rtf::fontName(f);
  l.size = f.fontPointSize();
  l.bold = f.fontWeight() > QFont::Medium;
  l.italic = f.fontItalic();
  l.underline = ui::rtf::isUnderlined(f);
  l.strike = f.fontStrikeOut();
  l.vertical = f.verticalAlignment();
  if (f.hasProperty(QTextFormat::ForegroundBrush)) l.colour = f.foreground().color();
  return l;
}

std::vector<CharLook> looks(const QTextDocument& doc) {
  std::vector<CharLook> out;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it)
      out.insert(out.end(), static_cast<size_t>(it.fragment().length()), lookOf(it.fragment().charFormat()));
  return out;
}

CharLook lookAt(const QTextDocument& doc, int pos) {
  QTextCursor c(const_cast<QTextDocument*>(&doc));
  c.setPosition(pos + 1);
  return lookOf(c.charFormat());
}

int positionOf(const QTextDocument& doc, const QString& text) {
  return static_cast<int>(doc.toPlainText().indexOf(text));
}

bool similarAtLeast(const QString& a, const QString& b, double threshold) {
  // Myers' O((n + m) D) difference, stopped once D shows the ratio is below threshold.
  const int n = static_cast<int>(a.size()), m = static_cast<int>(b.size());
  if (n + m == 0) return true;
  const int maxD = static_cast<int>((1.0 - threshold) * (n + m));
  std::vector<int> v(static_cast<size_t>(2 * maxD + 3), 0);
  const int off = maxD + 1;
  for (int d = 0; d <= maxD; ++d) {
    for (int k = -d; k <= d; k += 2) {
      int x = (k == -d || (k != d && v[static_cast<size_t>(off + k - 1)] < v[static_cast<size_t>(off + k + 1)]))
                  ? v[static_cast<size_t>(off + k + 1)]
                  : v[static_cast<size_t>(off + k - 1)] + 1;
      int y = x - k;
      while (x < n && y < m && a[x] == b[y]) ++x, ++y;
      v[static_cast<size_t>(off + k)] = x;
      if (x >= n && y >= m) return true;
    }
  }
  return false;
}

bool balanced(const QByteArray& rtf) {
  int depth = 0;
  for (qsizetype i = 0; i < rtf.size(); ++i) {
    if (rtf[i] == '\\') {
      ++i;
    } else if (rtf[i] == '{') {
      ++depth;
    } else if (rtf[i] == '}' && --depth < 0) {
      return false;
    }
  }
  return depth == 0;
}

QString collapsed(const QString& s) { return s.simplified(); }

}  // namespace rtf_test
