// Reading WMI property texts as numbers, and integers as text; pure, builds without Windows.
#ifndef KCC_WMI_WMI_NUMBER_H
#define KCC_WMI_WMI_NUMBER_H

#include <cstdint>
#include <string>
#include <string_view>

// Parses like "%d" does, but into the full 64 bits: leading white space (space, \t \n \v \f \r),
// an optional sign, decimal digits, stopping at the first other character. A '-' negates modulo
// 2^64 (two's complement), so a signed value read back through int64_t is exact: "-1" gives
// 0xFFFFFFFFFFFFFFFF. More digits than 64 bits hold keep the low 64 bits of the value.
// Returns true with `value` set when at least one digit was read; otherwise false with `value` 0.
bool ParseWmiNumber(std::wstring_view text, uint64_t& value);

// Signed decimal text without grouping: -5, 42, -9223372036854775808.
std::wstring SignedDecimalText(int64_t value);

#endif
