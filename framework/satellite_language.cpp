// The table from Windows language id to language satellite, and the order the program tries satellites in.
#include "framework/satellite_language.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace {
// Primary language ids (winnt.h's LANG_*), kept here so that the rule builds without <windows.h>.
constexpr uint16_t kChinese = 0x04;

// A regional variant reads its language's satellite (de-AT/CH/LU/LI: the texts use no ß; fr-CA/BE/CH; every
// Latin American Spanish: no Spain-only terms; it-CH), and pt-PT the Brazilian one, which differs from it in a
// few words ("operacional", "operativo"), far less than either differs from English.
struct Primary {
  uint16_t language;
  const wchar_t* suffix;
};
constexpr Primary kByPrimaryLanguage[] = {
    {0x07, L"DEU"}, // German
    {0x09, L"ENU"}, // English
    {0x0A, L"ESN"}, // Spanish
    {0x0C, L"FRA"}, // French
    {0x10, L"ITA"}, // Italian
    {0x11, L"JPN"}, // Japanese
    {0x12, L"KOR"}, // Korean
    {0x16, L"PTB"}, // Portuguese
};

// Chinese goes by script, not by country: Taiwan, Hong Kong and Macao write Traditional characters (and
// Windows' own Hong Kong and Macao interface is Traditional); the mainland and Singapore write Simplified,
// which a Chinese sublanguage not named here (a future one, or the neutral zh-Hans) reads as well.
constexpr uint16_t kTraditionalChinese[] = {
    0x01, // zh-TW
    0x03, // zh-HK
    0x05, // zh-MO
    0x1F, // zh-Hant, the neutral Traditional Chinese (0x7C04)
};
} // namespace

const wchar_t* SatelliteSuffix(uint16_t language) {
  const uint16_t primary = language & 0x3FF;
  const uint16_t sublanguage = language >> 10;
  if (primary == kChinese) {
    const bool traditional = std::find(std::begin(kTraditionalChinese), std::end(kTraditionalChinese), sublanguage) !=
                             std::end(kTraditionalChinese);
    return traditional ? L"CHT" : L"CHS";
  }
  for (const Primary& entry : kByPrimaryLanguage) {
    if (entry.language == primary) return entry.suffix;
  }
  return nullptr;
}

std::vector<const wchar_t*> SatelliteSuffixes(uint16_t userLanguage, uint16_t systemLanguage) {
  std::vector<const wchar_t*> suffixes;
  for (const wchar_t* suffix : {SatelliteSuffix(userLanguage), SatelliteSuffix(systemLanguage), L"ENU"}) {
    if (!suffix) continue;
    const bool tried = std::any_of(suffixes.begin(), suffixes.end(),
                                   [suffix](const wchar_t* earlier) { return std::wcscmp(earlier, suffix) == 0; });
    if (!tried) suffixes.push_back(suffix);
  }
  return suffixes;
}
