// Jet's stored forms decoded without a file: compressed text, date serials, exact numbers.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "jet_values.h"

using namespace jet::values;

TEST(JetValues, CompressedTextSwitchesWidthAndJoinsSurrogatePairs) {
  // "ab", then two-byte units: U+6F22 and U+1F601 as a surrogate pair, then "c" again compressed.
  const unsigned char bytes[] = {0xFF, 0xFE, 'a', 'b', 0x00, 0x22, 0x6F, 0x3D, 0xD8, 0x01, 0xDE, 0x00, 'c'};
  EXPECT_EQ(jet4Text(std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes)), "ab漢😁c");
  const unsigned char plain[] = {'x', 0, 0x3D, 0xD8, 'y', 0};  // an unpaired high surrogate
  EXPECT_EQ(jet4Text(std::string_view(reinterpret_cast<const char*>(plain), sizeof plain)), "x\xEF\xBF\xBDy");
}

TEST(JetValues, DatesBeforeTheEpochCountTheirTimeForwards) {
  EXPECT_EQ(isoDate(0.0), "1899-12-30 00:00:00");
  EXPECT_EQ(isoDate(-1.25), "1899-12-29 06:00:00");
  EXPECT_EQ(isoDate(-463126.0), "0632-01-01 00:00:00");
  EXPECT_EQ(isoDate(2958465.0), "9999-12-31 00:00:00");
  EXPECT_EQ(isoDate(1.0 + 1.5 / 86400.0), "1899-12-31 00:00:01.500");
  EXPECT_EQ(isoDate(1.0 + 86399.9999 / 86400.0), "1900-01-01 00:00:00");  // rounds into the next day
}

TEST(JetValues, CurrencyAndDecimalsKeepEveryDigit) {
  EXPECT_EQ(currency(35000), "3.5000");
  EXPECT_EQ(currency(-1), "-0.0001");
  EXPECT_EQ(currency(std::numeric_limits<std::int64_t>::min()), "-922337203685477.5808");
  // 12345678901234567890123 (0x29D_42B64E76_714244CB) at scale 5, negative.
  const unsigned char d[17] = {0x80, 0, 0, 0, 0, 0x9D, 0x02, 0, 0, 0x76, 0x4E, 0xB6, 0x42, 0xCB, 0x44, 0x42, 0x71};
  EXPECT_EQ(decimal(d, 5), "-123456789012345678.90123");
}
