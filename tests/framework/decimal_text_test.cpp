// DecimalText against the C library's printf, which it stands in for in the program's texts.
#include <stdint.h>
#include <stdio.h>

#include <string>

#include <gtest/gtest.h>

#include "framework/text.h"

namespace {
std::string Printf(int64_t value, unsigned width, char pad) {
  char text[64];
  if (pad == '0')
    snprintf(text, sizeof(text), "%0*lld", static_cast<int>(width), static_cast<long long>(value));
  else
    snprintf(text, sizeof(text), "%*lld", static_cast<int>(width), static_cast<long long>(value));
  return text;
}
} // namespace

TEST(DecimalText, MatchesPrintfForSignsWidthsAndPads) {
  const int64_t values[] = {0,          1,          -1,        7,          -7,         9,         10,
                            -10,        99,         100,       -100,       999,        1000,      2147483647,
                            -2147483647 - 1,        INT64_MAX, INT64_MIN,  4294967295, 65535,     -32768};
  for (int64_t value : values) {
    for (unsigned width : {0u, 1u, 2u, 3u, 4u, 12u, 25u}) {
      EXPECT_EQ(Printf(value, width, ' '), DecimalText(value, width)) << value << " width " << width;
      EXPECT_EQ(Printf(value, width, '0'), DecimalText(value, width, '0')) << value << " width " << width;
    }
  }
}

TEST(DecimalText, EveryNumberOfDigitsRoundTrips) {
  int64_t value = 1;
  for (int digits = 1; digits <= 18; ++digits, value *= 10) {
    EXPECT_EQ(std::to_string(value), DecimalText(value));
    EXPECT_EQ(std::to_string(value - 1), DecimalText(value - 1));
    EXPECT_EQ(std::to_string(-value), DecimalText(-value));
  }
}
