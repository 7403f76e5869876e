// Reading WMI property texts as numbers, and integers as text; pure, builds without Windows.
#ifndef KCC_WMI_WMI_NUMBER_H
#define KCC_WMI_WMI_NUMBER_H

#include <cstdint>
#include <string>
#include <string_view>

// Parses as "%d" does, into 64 bits: white space, an optional sign, digits up to the first other character.
// '-' negates modulo 2^64, so int64_t reads a signed value back exactly; excess digits keep the low 64 bits.
// True with `value` set when a digit was read; otherwise false with `value` 0.
bool ParseWmiNumber(std::wstring_view text, uint64_t& value);

// Signed decimal text without grouping: -5, 42, -9223372036854775808.
std::wstring SignedDecimalText(int64_t value);

#endif
