// A WMI property as it came, taken out of its VARIANT; and the check of a byte array before it is read. Pure.
#ifndef KCC_WMI_WMI_VALUE_H
#define KCC_WMI_WMI_VALUE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// VT_ARRAY | VT_UI1, which WMI gives a uint8[] property as (named here too, where no Windows header is).
constexpr uint16_t kWmiByteArrayType = 0x2011;

struct WmiValue {
  uint16_t type = 0;          // the VARIANT's type: VT_NULL, VT_BSTR, VT_UI1, VT_ARRAY | VT_UI1, ...
  std::wstring text;          // VT_BSTR, whole (it may hold null characters)
  int64_t number = 0;         // the integer types and VT_BOOL (1 or 0); unsigned ones as their value
  bool isNumber = false;      // `number` holds the value
  std::vector<uint8_t> bytes; // VT_ARRAY | VT_UI1 whose shape passed ByteArrayLength
};

// The largest byte array taken out of a VARIANT: far above any SMBIOS table.
constexpr size_t kWmiByteArrayLimit = 1u << 20;

// What a SAFEARRAY says of itself.
struct SafeArrayShape {
  uint32_t dimensions = 0;
  uint32_t elementSize = 0;
  int32_t lowerBound = 0;
  int32_t upperBound = -1;
  bool hasData = false;
};

// How many bytes a one-dimensional array of one-byte elements holds, or 0 for anything else: more dimensions,
// wider elements, no data, bounds that give no element or more than `limit` of them.
size_t ByteArrayLength(const SafeArrayShape& shape, size_t limit);

#endif
