// The dialog's display-text rules: size units and fraction, memory rounding, the operating-system line, list names.
#include "dialog/value_format.h"

#include <gtest/gtest.h>

namespace {

struct SizeCase {
  uint64_t kilobytes;
  const wchar_t* text;
};

class FormatSizeBoundary : public testing::TestWithParam<SizeCase> {};

TEST_P(FormatSizeBoundary, GivesUnitAndTruncatedFractionOfTheLastStep) {
  EXPECT_EQ(GetParam().text, FormatSizeText(GetParam().kilobytes)) << GetParam().kilobytes;
}

INSTANTIATE_TEST_SUITE_P(UnitBoundaries, FormatSizeBoundary,
                         testing::Values(SizeCase{0, L"0 KBytes"}, SizeCase{1023, L"1023 KBytes"},
                                         SizeCase{1024, L"1 MBytes"}, SizeCase{1025, L"1 MBytes"},
                                         SizeCase{1026, L"1.001 MBytes"}, SizeCase{1536, L"1.500 MBytes"},
                                         SizeCase{2047, L"1.999 MBytes"}, SizeCase{1048575, L"1023.999 MBytes"},
                                         SizeCase{1048576, L"1 GBytes"},
                                         SizeCase{1049088, L"1 GBytes"}, // 1 GB + 512 KB: no carried fraction
                                         SizeCase{1572864, L"1.500 GBytes"}, SizeCase{2031616, L"1.937 GBytes"},
                                         SizeCase{4194304, L"4 GBytes"}, SizeCase{1073741824ull, L"1 TBytes"},
                                         SizeCase{1099511627776ull, L"1 PBytes"},
                                         SizeCase{1125899906842624ull, L"1024 PBytes"}, // no unit above PBytes
                                         SizeCase{18446744073709551615ull, L"16777215.999 PBytes"}));

TEST(FormatSize, FractionDigitsArePaddedAndNeverRoundedUp) {
  EXPECT_EQ(L"1.001 MBytes", FormatSizeText(1024 + 2));  // remainder 2 gives 1 thousandth
  EXPECT_EQ(L"1 MBytes", FormatSizeText(1024 + 1));      // remainder 1 gives 0: no fraction at all
  EXPECT_EQ(L"1.999 MBytes", FormatSizeText(1024 + 1023));
  EXPECT_EQ(L"2.050 GBytes", FormatSizeText(2 * 1048576 + 52 * 1024));
  EXPECT_EQ(L"0 KBytes", FormatSizeText(0)); // the cache total when no instance was read
}

TEST(FormatSize, FourGigabytesOfMemoryAfterRounding) {
  EXPECT_EQ(L"2 GBytes", FormatSizeText(RoundMemoryKilobytes(2146959360ull)));
}

struct RoundCase {
  uint64_t bytes;
  uint64_t kilobytes;
};

class MemoryRounding : public testing::TestWithParam<RoundCase> {};

TEST_P(MemoryRounding, RoundsUpToWholeFourMegabytes) {
  EXPECT_EQ(GetParam().kilobytes, RoundMemoryKilobytes(GetParam().bytes)) << GetParam().bytes;
}

INSTANTIATE_TEST_SUITE_P(Cases, MemoryRounding,
                         testing::Values(RoundCase{2146959360ull, 2097152}, RoundCase{1073741824ull, 1048576},
                                         RoundCase{1000000000ull, 978944}, RoundCase{0, 0},
                                         RoundCase{1023, 0},             // below one kilobyte: shifted away
                                         RoundCase{1024, 4096},          // one kilobyte: a whole 4 MB step
                                         RoundCase{4096ull * 1024, 4096}, // exactly one step stays
                                         RoundCase{4096ull * 1024 + 1024, 8192},
                                         RoundCase{25769803776ull, 25165824})); // 24 GB: more than 32 bits

TEST(MediaCenter, OnlyNtFiveOneWithTheMetricSet) {
  EXPECT_TRUE(IsMediaCenterEdition(2, 5, 1, 1));
  EXPECT_TRUE(IsMediaCenterEdition(2, 5, 1, -1));
  EXPECT_FALSE(IsMediaCenterEdition(2, 5, 1, 0));
  EXPECT_FALSE(IsMediaCenterEdition(1, 5, 1, 1)); // not NT
  EXPECT_FALSE(IsMediaCenterEdition(2, 6, 1, 1)); // Windows 7 is 6.1
  EXPECT_FALSE(IsMediaCenterEdition(2, 5, 2, 1)); // Server 2003
  EXPECT_FALSE(IsMediaCenterEdition(2, 5, 0, 1));
  EXPECT_FALSE(IsMediaCenterEdition(0, 0, 0, 0)); // a failed version query leaves the record zeroed
}

TEST(OsName, AlwaysOneSpaceBetween) {
  EXPECT_EQ(L"Microsoft Windows 7 Professional Service Pack 1",
            JoinOsName(L"Microsoft Windows 7 Professional", L"Service Pack 1"));
  EXPECT_EQ(L"Microsoft Windows 7 Professional ", JoinOsName(L"Microsoft Windows 7 Professional", L""));
  EXPECT_EQ(L" Service Pack 1", JoinOsName(L"", L"Service Pack 1"));
  EXPECT_EQ(L" ", JoinOsName(L"", L""));
}

TEST(OsName, MediaCenterLineIsProductSpaceServicePack) {
  EXPECT_EQ(L"Windows XP Media Center Edition Service Pack 3",
            JoinMediaCenterName(L"Windows XP Media Center Edition", L"Service Pack 3"));
  EXPECT_EQ(L" Service Pack 3", JoinMediaCenterName(L"", L"Service Pack 3")); // string resource missing
}

TEST(ListName, CaptionWithoutItsMnemonic) {
  const struct {
    const wchar_t* caption;
    const wchar_t* name;
  } cases[] = {{L"Hardware", L"Hardware"},   {L"&Hardware", L"Hardware"},   {L"Hard&ware", L"Hardware"},
               {L"A && B", L"A && B"},       {L"&A && &B", L"A && B"},      {L"&&&A", L"&&A"},
               {L"Trailing&", L"Trailing"},  {L"", L""},                    {L"ハードウェア(&H)", L"ハードウェア(H)"}};
  for (const auto& c : cases) EXPECT_EQ(c.name, WithoutMnemonic(c.caption)) << c.caption;
}

} // namespace
