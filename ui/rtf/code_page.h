#pragma once
// Windows code pages as RTF uses them, converted with iconv from glibc.

#include <QByteArray>
#include <QString>

#include <map>
#include <string>

namespace ui::rtf {

// Code page of an RTF \fcharsetN value; 0 when the charset defers to the document's
// \ansicpg (DEFAULT_CHARSET) or is unknown.
int codePageOfCharset(int charset);
// The charset that names a code page in a font table (the reverse of the above).
int charsetOfCodePage(int codePage);

// The Symbol font's own encoding (Windows CP_SYMBOL): its bytes are Greek letters and
// mathematical signs, not 1252 characters.
inline constexpr int kSymbolCodePage = 42;
// The code page text in a font is written in: the Symbol font has its own; a charset
// that defers to the document gives the document's code page.
int codePageOfFont(int charset, const QString& fontName, int documentCodePage);
// Symbol-font text that Windows gives as U+F020..U+F0FF: the character it stands for.
char16_t symbolFromPrivateUse(char16_t c);

// Decodes byte runs of one code page at a time. Keeps its iconv handles open for the
// life of the object; one object per document read.
class Decoder {
 public:
  Decoder() = default;
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  ~Decoder();
  // Appends the characters of `bytes` in `codePage` to `out`. Bytes that do not form a
  // character come out as U+FFFD; never fails.
  void decode(int codePage, const char* bytes, size_t size, QString& out);

 private:
  void* handle(int codePage);
  std::map<int, void*> handles_;
};

// Encodes single characters into a code page, remembering the answers.
class Encoder {
 public:
  Encoder() = default;
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;
  ~Encoder();
  // The bytes of code point `ch` in `codePage`, or an empty array when the code page
  // lacks it.
  QByteArray encode(int codePage, char32_t ch);

 private:
  std::map<int, void*> handles_;
  std::map<std::pair<int, char32_t>, QByteArray> cache_;
  Decoder check_;
};

}  // namespace ui::rtf
