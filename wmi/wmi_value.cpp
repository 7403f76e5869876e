// The check of a byte array WMI hands back, before anything of it is read.
#include "wmi/wmi_value.h"

size_t ByteArrayLength(const SafeArrayShape& shape, size_t limit) {
  if (shape.dimensions != 1 || shape.elementSize != 1 || !shape.hasData) return 0;
  if (shape.upperBound < shape.lowerBound) return 0;
  // In 64 bits: the bounds of a 32-bit array may span more than a 32-bit count holds.
  const uint64_t count = static_cast<uint64_t>(static_cast<int64_t>(shape.upperBound) - shape.lowerBound) + 1;
  return count > limit ? 0 : static_cast<size_t>(count);
}
