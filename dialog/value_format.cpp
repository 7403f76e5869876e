// Display-text rules of the information dialog: sizes, memory rounding, the operating-system line, list names.
#include "dialog/value_format.h"

#include <math.h>

#include "framework/text.h"

namespace {
const wchar_t* const kUnits[] = {L" KBytes", L" MBytes", L" GBytes", L" TBytes", L" PBytes"};
constexpr unsigned kLastUnit = 4;

std::wstring Widen(const char* text) {
  std::wstring wide;
  for (; *text; ++text) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
  return wide;
}
} // namespace

std::wstring FormatSizeText(uint64_t kilobytes) {
  uint64_t value = kilobytes;
  unsigned unit = 0;
  unsigned fraction = 0;
  while (value >= 1024 && unit < kLastUnit) {
    // Only the last step's remainder is shown, cut (not rounded) to thousandths.
    fraction = static_cast<unsigned>((value % 1024) * 1000 / 1024);
    value /= 1024;
    ++unit;
  }
  // At most 2^64 / 1024^4 is left, so the value fits the signed formatter.
  std::string text = DecimalText(static_cast<int64_t>(value));
  if (fraction != 0) text += "." + DecimalText(fraction, 3, '0');
  return Widen(text.c_str()) + kUnits[unit];
}

bool IsMediaCenterEdition(unsigned long platformId, unsigned long major, unsigned long minor, int mediaCenterMetric) {
  return platformId == 2 && major == 5 && minor == 1 && mediaCenterMetric != 0;
}

std::wstring JoinOsName(const std::wstring& caption, const std::wstring& servicePack) { return caption + L" " + servicePack; }

std::wstring JoinMediaCenterName(const std::wstring& product, const std::wstring& servicePack) {
  return product + L" " + servicePack;
}

uint64_t RoundMemoryKilobytes(uint64_t bytes) {
  const uint64_t kilobytes = bytes >> 10;
  // Both factors are powers of two: an exact division by 4096, then up to the next whole unit.
  const double units = ceil(static_cast<double>(kilobytes) * 0.0009765625 * 0.25);
  return static_cast<uint64_t>(units) * 4096;
}

std::wstring WithoutMnemonic(const std::wstring& caption) {
  std::wstring text;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != L'&') {
      text += caption[i];
    } else if (i + 1 < caption.size() && caption[i + 1] == L'&') {
      text += L"&&";
      ++i;
    }
  }
  return text;
}
