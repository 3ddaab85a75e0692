#pragma once
// Decoding of Jet's stored values that does not need the file: text in its compressed
// UTF-16 form, date serials, currency and decimals. Kept apart so each rule is tested
// on its own bytes.

#include <cstdint>
#include <string>
#include <string_view>

namespace jet::values {

// Jet 4 text: UTF-16LE, or Jet's compressed form (0xFF 0xFE, then runs of one-byte
// characters switched to two-byte ones by a 0x00). Surrogate pairs become one character;
// an unpaired surrogate becomes U+FFFD.
std::string jet4Text(std::string_view bytes);
// Jet 3 text in a code page ("CP1252", "GBK", ...) to UTF-8. Throws std::runtime_error
// when the conversion is unknown.
std::string codePageText(std::string_view bytes, const std::string& charset);

// Days since 1899-12-30; for negative serials the fraction counts forwards from the day.
// Milliseconds are written only when stored.
std::string isoDate(double serial);
// Currency: a 64-bit count of ten-thousandths.
std::string currency(std::int64_t tenThousandths);
// Decimal: sign byte then a 128-bit magnitude, in four little-endian 32-bit words with
// the most significant word first.
std::string decimal(const unsigned char* seventeenBytes, int scale);

}  // namespace jet::values
