// Native tests of the WMI number parsing ("%d" rules, full 64 bits) and of signed decimal text.
#include "wmi/wmi_number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

struct ParseCase {
  const wchar_t* text;
  bool parsed;
  uint64_t value;
};

class ParseWmiNumberTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseWmiNumberTest, ReadsLikePercentDIntoSixtyFourBits) {
  const ParseCase& c = GetParam();
  uint64_t value = 0xDEADBEEFu; // must be overwritten on every path
  EXPECT_EQ(c.parsed, ParseWmiNumber(c.text, value)) << "text: \"" << ::testing::PrintToString(std::wstring(c.text)) << '"';
  EXPECT_EQ(c.value, value);
}

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseWmiNumberTest,
    ::testing::Values(
        // Plain values, including those beyond 32 bits.
        ParseCase{L"0", true, 0}, ParseCase{L"42", true, 42}, ParseCase{L"1073741824", true, 1073741824u},
        ParseCase{L"2147483648", true, 2147483648u}, ParseCase{L"4294967295", true, 4294967295u},
        ParseCase{L"4294967296", true, 4294967296u}, ParseCase{L"26843545600", true, 26843545600u},
        ParseCase{L"18446744073709551615", true, kMax},
        // Over-long input keeps the low 64 bits.
        ParseCase{L"18446744073709551616", true, 0}, ParseCase{L"18446744073709551617", true, 1},
        // Stops at the first character that is not a digit.
        ParseCase{L"12abc", true, 12}, ParseCase{L"512 MB", true, 512}, ParseCase{L"1.5", true, 1},
        ParseCase{L"0x10", true, 0}, ParseCase{L"007", true, 7},
        // Leading white space of every kind "%d" skips.
        ParseCase{L"  8", true, 8}, ParseCase{L"\t\n\v\f\r9", true, 9},
        // Signs: '+' is nothing, '-' negates modulo 2^64.
        ParseCase{L"+5", true, 5}, ParseCase{L"-1", true, kMax}, ParseCase{L"-5", true, kMax - 4},
        ParseCase{L"-0", true, 0}, ParseCase{L"  -2147483648", true, 0xFFFFFFFF80000000u},
        // No digit: failure, value 0.
        ParseCase{L"", false, 0}, ParseCase{L"abc", false, 0}, ParseCase{L"+", false, 0}, ParseCase{L"-", false, 0},
        ParseCase{L"- 5", false, 0}, ParseCase{L"+-5", false, 0}, ParseCase{L"   ", false, 0},
        ParseCase{L"True", false, 0}, ParseCase{L"\x00A0" L"5", false, 0}, ParseCase{L"\xFF15", false, 0}));

TEST(ParseWmiNumber, NegativeRoundTripsThroughSignedCast) {
  uint64_t value = 0;
  ASSERT_TRUE(ParseWmiNumber(L"-9223372036854775808", value));
  EXPECT_EQ(std::numeric_limits<int64_t>::min(), static_cast<int64_t>(value));
  ASSERT_TRUE(ParseWmiNumber(L"-5", value));
  EXPECT_EQ(-5, static_cast<int64_t>(value));
}

TEST(ParseWmiNumber, StopsAtEmbeddedNullAndEndOfView) {
  uint64_t value = 0;
  const std::wstring withNull(L"12\0" L"34", 5);
  ASSERT_TRUE(ParseWmiNumber(withNull, value));
  EXPECT_EQ(12u, value);
  // The view's end is the end: no reading past it.
  const wchar_t digits[] = L"123456";
  ASSERT_TRUE(ParseWmiNumber(std::wstring_view(digits, 3), value));
  EXPECT_EQ(123u, value);
}

struct TextCase {
  int64_t value;
  const wchar_t* text;
};

class SignedDecimalTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(SignedDecimalTextTest, HasNoGroupingAndKeepsTheSign) {
  EXPECT_EQ(std::wstring(GetParam().text), SignedDecimalText(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(
    Values, SignedDecimalTextTest,
    ::testing::Values(TextCase{0, L"0"}, TextCase{42, L"42"}, TextCase{-5, L"-5"}, TextCase{1536, L"1536"},
                      TextCase{-32768, L"-32768"}, TextCase{2147483647, L"2147483647"},
                      TextCase{-2147483647 - 1, L"-2147483648"}, TextCase{26843545600, L"26843545600"},
                      TextCase{std::numeric_limits<int64_t>::max(), L"9223372036854775807"},
                      TextCase{std::numeric_limits<int64_t>::min(), L"-9223372036854775808"}));

} // namespace
