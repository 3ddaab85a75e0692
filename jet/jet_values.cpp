#include "jet_values.h"

#include <iconv.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace jet::values {

namespace {

// Decimals carry up to 28 digits: one 128-bit magnitude.
__extension__ using Uint128 = unsigned __int128;

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string utf16ToUtf8(const std::vector<char16_t>& units) {
  std::string out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      appendUtf8(out, 0xFFFD);
    } else {
      appendUtf8(out, u);
    }
  }
  return out;
}

// Writes magnitude / 10^scale with exactly scale decimals.
template <typename Unsigned>
std::string scaled(bool negative, Unsigned magnitude, int scale) {
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  if (scale > 0) {
    if (static_cast<int>(digits.size()) <= scale) digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<size_t>(scale), 1, '.');
  }
  bool zero = digits.find_first_not_of("0.") == std::string::npos;
  return (negative && !zero ? "-" : "") + digits;
}

// Days since 1970-01-01 to a proleptic Gregorian date.
void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

}  // namespace

std::string jet4Text(std::string_view b) {
  std::vector<char16_t> units;
  units.reserve(b.size());
  auto byte = [&](size_t i) { return static_cast<unsigned char>(b[i]); };
  if (b.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
    bool compressed = true;
    size_t i = 2;
    while (i < b.size()) {
      if (byte(i) == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        units.push_back(byte(i++));
      } else if (i + 1 < b.size()) {
        units.push_back(static_cast<char16_t>(byte(i) | (byte(i + 1) << 8)));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    for (size_t i = 0; i + 1 < b.size(); i += 2) units.push_back(static_cast<char16_t>(byte(i) | (byte(i + 1) << 8)));
  }
  return utf16ToUtf8(units);
}

std::string codePageText(std::string_view bytes, const std::string& charset) {
  iconv_t cd = iconv_open("UTF-8", charset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("the code page " + charset + " is not known here");
  std::string out;
  std::vector<char> buf(bytes.size() * 4 + 16);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* o = buf.data();
    size_t oLeft = buf.size();
    size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buf.data(), static_cast<size_t>(o - buf.data()));
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      // A byte the code page does not define: keep the position visible, go on.
      appendUtf8(out, 0xFFFD);
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

std::string isoDate(double serial) {
  if (!std::isfinite(serial) || std::fabs(serial) > 1e8) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, serial);
    return std::string(buf, res.ptr);
  }
  long long day = static_cast<long long>(std::trunc(serial));
  long long ms = std::llround(std::fabs(serial - static_cast<double>(day)) * 86400000.0);
  if (ms >= 86400000) {
    ms -= 86400000;
    day += 1;
  }
  long long y;
  unsigned m, d;
  civilFromDays(day - 25569, y, m, d);  // 1899-12-30 is 25569 days before 1970-01-01
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02lld:%02lld:%02lld", y, m, d, ms / 3600000,
                        ms / 60000 % 60, ms / 1000 % 60);
  if (ms % 1000) n += std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ".%03lld", ms % 1000);
  return std::string(buf, static_cast<size_t>(n));
}

std::string currency(std::int64_t v) {
  bool negative = v < 0;
  std::uint64_t magnitude = negative ? ~static_cast<std::uint64_t>(v) + 1 : static_cast<std::uint64_t>(v);
  return scaled(negative, magnitude, 4);
}

std::string decimal(const unsigned char* b, int scale) {
  Uint128 magnitude = 0;
  for (int word = 0; word < 4; ++word) {
    const unsigned char* w = b + 1 + word * 4;
    std::uint32_t part = static_cast<std::uint32_t>(w[0]) | static_cast<std::uint32_t>(w[1]) << 8 |
                         static_cast<std::uint32_t>(w[2]) << 16 | static_cast<std::uint32_t>(w[3]) << 24;
    magnitude = (magnitude << 32) | part;
  }
  if (scale < 0 || scale > 38) scale = 0;
  return scaled((b[0] & 0x80) != 0, magnitude, scale);
}

}  // namespace jet::values
