#include "code_page.h"

#include <iconv.h>

#include <array>
#include <cerrno>

namespace ui::rtf {

namespace {

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);

std::string iconvName(int codePage) {
  switch (codePage) {
    case 10000: return "MACINTOSH";
    case 10001: return "CP932";  // Mac Japanese: Shift-JIS
    case 10002: return "CP950";
    case 10003: return "CP949";
    case 10008: return "CP936";
    case 10007: return "MAC-CYRILLIC";
    case 1361: return "JOHAB";
    default: return "CP" + std::to_string(codePage);
  }
}

// A code page that iconv does not know falls back to 1252, the one RichEdit assumes.
iconv_t openConverter(const std::string& to, const std::string& from) {
  return iconv_open(to.c_str(), from.c_str());
}

// Adobe's Symbol encoding, bytes 0x20..0xFF. Bytes without a character of their own map
// to U+F000 + byte, as Windows does, so that every byte reads and writes back the same.
const char16_t kSymbol[224] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212,
    0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B,
    0x003C, 0x003D, 0x003E, 0x003F, 0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399,
    0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F, 0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F, 0xF8E5, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5,
    0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3,
    0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0xF07F,
    // 0x80..0x9F
    0xF080, 0xF081, 0xF082, 0xF083, 0xF084, 0xF085, 0xF086, 0xF087, 0xF088, 0xF089, 0xF08A, 0xF08B, 0xF08C, 0xF08D,
    0xF08E, 0xF08F, 0xF090, 0xF091, 0xF092, 0xF093, 0xF094, 0xF095, 0xF096, 0xF097, 0xF098, 0xF099, 0xF09A, 0xF09B,
    0xF09C, 0xF09D, 0xF09E, 0xF09F,
    // 0xA0..0xFF
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191,
    0x2192, 0x2193, 0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248,
    0x2026, 0xF8E6, 0xF8E7, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283,
    0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209, 0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3, 0x25CA, 0x2329, 0xF8E8, 0xF8E9, 0xF8EA, 0x2211,
    0xF8EB, 0xF8EC, 0xF8ED, 0xF8EE, 0xF8EF, 0xF8F0, 0xF8F1, 0xF8F2, 0xF8F3, 0xF8F4, 0xF0F0, 0x232A, 0x222B, 0x2320,
    0xF8F5, 0x2321, 0xF8F6, 0xF8F7, 0xF8F8, 0xF8F9, 0xF8FA, 0xF8FB, 0xF8FC, 0xF8FD, 0xF8FE, 0xF0FF,
};

}  // namespace

int codePageOfFont(int charset, const QString& fontName, int documentCodePage) {
  if (charset == 2 && fontName.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0) return kSymbolCodePage;
  const int cp = charset >= 0 ? codePageOfCharset(charset) : 0;
  return cp != 0 ? cp : documentCodePage;
}

char16_t symbolFromPrivateUse(char16_t c) {
  if (c >= 0xF020 && c <= 0xF0FF) return kSymbol[c - 0xF020];
  return c;
}

int codePageOfCharset(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 2: return 1252;  // Symbol fonts: the bytes are glyph numbers; keep them as 1252
    case 77: return 10000;
    case 78: return 10001;
    case 79: return 10003;
    case 80: return 10008;
    case 81: return 10002;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;
  }
}

int charsetOfCodePage(int codePage) {
  switch (codePage) {
    case 932: return 128;
    case 949: return 129;
    case 1361: return 130;
    case 936: return 134;
    case 950: return 136;
    case 1253: return 161;
    case 1254: return 162;
    case 1258: return 163;
    case 1255: return 177;
    case 1256: return 178;
    case 1257: return 186;
    case 1251: return 204;
    case 874: return 222;
    case 1250: return 238;
    case 10000: return 77;
    case 437: return 254;
    case 850: return 255;
    default: return 0;
  }
}

Decoder::~Decoder() {
  for (auto& [cp, h] : handles_)
    if (h != kNoHandle) iconv_close(static_cast<iconv_t>(h));
}

void* Decoder::handle(int codePage) {
  auto it = handles_.find(codePage);
  if (it != handles_.end()) return it->second;
  iconv_t h = openConverter("UTF-16LE", iconvName(codePage));
  if (h == kNoHandle && codePage != 1252) h = openConverter("UTF-16LE", "CP1252");
  handles_[codePage] = h;
  return h;
}

void Decoder::decode(int codePage, const char* bytes, size_t size, QString& out) {
  if (codePage == kSymbolCodePage) {
    for (size_t i = 0; i < size; ++i) {
      const auto b = static_cast<unsigned char>(bytes[i]);
      out += QChar(b >= 0x20 ? kSymbol[b - 0x20] : char16_t(b));
    }
    return;
  }
  size_t ascii = 0;
  while (ascii < size && static_cast<unsigned char>(bytes[ascii]) < 0x80) ++ascii;
  if (ascii == size) {  // the common case needs no converter
    out += QLatin1StringView(bytes, static_cast<qsizetype>(size));
    return;
  }
  iconv_t h = static_cast<iconv_t>(handle(codePage));
  if (h == kNoHandle) {
    out += QLatin1StringView(bytes, static_cast<qsizetype>(size));
    return;
  }
  iconv(h, nullptr, nullptr, nullptr, nullptr);
  char16_t buffer[256];
  auto append = [&out, &buffer](size_t outLeft) {
    out.append(reinterpret_cast<const QChar*>(buffer),
               static_cast<qsizetype>((sizeof buffer - outLeft) / sizeof(char16_t)));
  };
  // Some converters (1258) hold a letter back until they know whether an accent
  // follows; this gives it out.
  auto drain = [&]() {
    char* outPtr = reinterpret_cast<char*>(buffer);
    size_t outLeft = sizeof buffer;
    iconv(h, nullptr, nullptr, &outPtr, &outLeft);
    append(outLeft);
  };
  char* in = const_cast<char*>(bytes);
  size_t inLeft = size;
  while (inLeft > 0) {
    char* outPtr = reinterpret_cast<char*>(buffer);
    size_t outLeft = sizeof buffer;
    size_t r = iconv(h, &in, &inLeft, &outPtr, &outLeft);
    int err = errno;
    append(outLeft);
    if (r != static_cast<size_t>(-1)) break;
    if (err == E2BIG) continue;
    // An invalid or incomplete sequence: one replacement character per bad byte.
    drain();
    out += QChar(QChar::ReplacementCharacter);
    ++in;
    --inLeft;
  }
  drain();
}

Encoder::~Encoder() {
  for (auto& [cp, h] : handles_)
    if (h != kNoHandle) iconv_close(static_cast<iconv_t>(h));
}

QByteArray Encoder::encode(int codePage, char32_t ch) {
  if (codePage == kSymbolCodePage) {
    for (int b = 0x20; b <= 0xFF; ++b)
      if (kSymbol[b - 0x20] == ch) return QByteArray(1, static_cast<char>(b));
    return {};
  }
  if (ch < 0x80) {
    // Every code page here keeps ASCII; the bytes are shared, not allocated per call.
    static const auto ascii = [] {
      std::array<char, 128> a{};
      for (int i = 0; i < 128; ++i) a[static_cast<size_t>(i)] = static_cast<char>(i);
      return a;
    }();
    return QByteArray::fromRawData(ascii.data() + ch, 1);
  }
  auto key = std::make_pair(codePage, ch);
  auto cached = cache_.find(key);
  if (cached != cache_.end()) return cached->second;

  auto it = handles_.find(codePage);
  if (it == handles_.end()) it = handles_.emplace(codePage, openConverter(iconvName(codePage), "UTF-32LE")).first;
  iconv_t h = static_cast<iconv_t>(it->second);
  QByteArray result;
  if (h != kNoHandle) {
    iconv(h, nullptr, nullptr, nullptr, nullptr);
    char32_t c = ch;
    char* in = reinterpret_cast<char*>(&c);
    size_t inLeft = sizeof c;
    char buffer[16];
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    if (iconv(h, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
        iconv(h, nullptr, nullptr, &outPtr, &outLeft) != static_cast<size_t>(-1))
      result = QByteArray(buffer, static_cast<qsizetype>(sizeof buffer - outLeft));
  }
  // The 1255 and 1258 converters join a letter and a following accent byte into one
  // character; an accent written as a byte could join a letter it was not joined to.
  if ((codePage == 1255 || codePage == 1258) && QChar::category(ch) == QChar::Mark_NonSpacing) result.clear();
  // Only a mapping that reads back as the same character counts: a best-fit byte would
  // change the text on the next read.
  if (!result.isEmpty()) {
    QString back;
    check_.decode(codePage, result.constData(), static_cast<size_t>(result.size()), back);
    if (back != QString::fromUcs4(&ch, 1)) result.clear();
  }
  cache_.emplace(key, result);
  return result;
}

}  // namespace ui::rtf
