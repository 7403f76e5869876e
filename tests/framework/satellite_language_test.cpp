// The satellite each Windows UI language reads, regional variants included, and the order they are tried in.
#include <stdint.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/satellite_language.h"

namespace {
std::wstring Suffix(uint16_t language) {
  const wchar_t* suffix = SatelliteSuffix(language);
  return suffix ? suffix : L"(none)";
}

struct Case {
  uint16_t language;
  const char* tag;
  const wchar_t* suffix;
};

const Case kCases[] = {
    {0x0409, "en-US", L"ENU"}, {0x0809, "en-GB", L"ENU"}, {0x1009, "en-CA", L"ENU"},
    {0x0411, "ja-JP", L"JPN"},
    {0x0407, "de-DE", L"DEU"}, {0x0C07, "de-AT", L"DEU"}, {0x0807, "de-CH", L"DEU"}, {0x1007, "de-LU", L"DEU"},
    {0x1407, "de-LI", L"DEU"},
    {0x040C, "fr-FR", L"FRA"}, {0x0C0C, "fr-CA", L"FRA"}, {0x080C, "fr-BE", L"FRA"}, {0x100C, "fr-CH", L"FRA"},
    {0x0C0A, "es-ES", L"ESN"}, {0x040A, "es-ES_tradnl", L"ESN"}, {0x080A, "es-MX", L"ESN"}, {0x2C0A, "es-AR", L"ESN"},
    {0x540A, "es-US", L"ESN"},
    {0x0410, "it-IT", L"ITA"}, {0x0810, "it-CH", L"ITA"},
    {0x0416, "pt-BR", L"PTB"}, {0x0816, "pt-PT", L"PTB"},
    {0x0804, "zh-CN", L"CHS"}, {0x1004, "zh-SG", L"CHS"}, {0x0004, "zh-Hans", L"CHS"},
    {0x0404, "zh-TW", L"CHT"}, {0x0C04, "zh-HK", L"CHT"}, {0x1404, "zh-MO", L"CHT"}, {0x7C04, "zh-Hant", L"CHT"},
    {0x0412, "ko-KR", L"KOR"},
    // No satellite: the system's language or English is tried next.
    {0x0413, "nl-NL", L"(none)"}, {0x0419, "ru-RU", L"(none)"}, {0x0403, "ca-ES", L"(none)"},
    {0x0000, "neutral", L"(none)"}, {0x007F, "invariant", L"(none)"},
};

TEST(SatelliteSuffix, EachLanguageAndRegionalVariant) {
  for (const Case& c : kCases) EXPECT_EQ(c.suffix, Suffix(c.language)) << c.tag;
}

std::vector<std::wstring> Order(uint16_t user, uint16_t system) {
  std::vector<std::wstring> order;
  for (const wchar_t* suffix : SatelliteSuffixes(user, system)) order.push_back(suffix);
  return order;
}

TEST(SatelliteSuffixes, UserThenSystemThenEnglish) {
  using List = std::vector<std::wstring>;
  EXPECT_EQ((List{L"DEU", L"JPN", L"ENU"}), Order(0x0407, 0x0411));
  EXPECT_EQ((List{L"CHT", L"CHS", L"ENU"}), Order(0x0C04, 0x0804)); // zh-HK user on a zh-CN system
  EXPECT_EQ((List{L"PTB", L"ENU"}), Order(0x0816, 0x0409));
  // A user language without a satellite falls to the system's: Catalan on a Spanish Windows.
  EXPECT_EQ((List{L"ESN", L"ENU"}), Order(0x0403, 0x0C0A));
  EXPECT_EQ((List{L"ENU"}), Order(0x0413, 0x0419));
  // Each satellite once: two variants of one language, or English given twice.
  EXPECT_EQ((List{L"FRA", L"ENU"}), Order(0x0C0C, 0x040C));
  EXPECT_EQ((List{L"ENU"}), Order(0x0409, 0x0809));
  EXPECT_EQ((List{L"ENU", L"KOR"}), Order(0x0409, 0x0412));
}
} // namespace
