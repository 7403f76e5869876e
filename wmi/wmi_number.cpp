// Number parsing and formatting of WMI property values.
#include "wmi/wmi_number.h"

namespace {
bool IsParseSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
} // namespace

bool ParseWmiNumber(std::wstring_view text, uint64_t& value) {
  value = 0;
  size_t i = 0;
  while (i < text.size() && IsParseSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  uint64_t result = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i, ++digits)
    result = result * 10u + static_cast<uint64_t>(text[i] - L'0'); // unsigned: wraps, never UB
  if (digits == 0) return false;
  value = negative ? uint64_t{0} - result : result;
  return true;
}

std::wstring SignedDecimalText(int64_t value) {
  // Work on the magnitude as unsigned so that INT64_MIN is no exception.
  uint64_t magnitude = value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  wchar_t buffer[24];
  size_t pos = sizeof(buffer) / sizeof(buffer[0]);
  do {
    buffer[--pos] = static_cast<wchar_t>(L'0' + magnitude % 10u);
    magnitude /= 10u;
  } while (magnitude != 0);
  if (value < 0) buffer[--pos] = L'-';
  return std::wstring(buffer + pos, sizeof(buffer) / sizeof(buffer[0]) - pos);
}
