// A reference reading of SMBIOS images for the driver tests, written apart from the driver's own parser.
#include "tests/driver/smbios_reference.h"

#include <algorithm>
#include <cstring>

namespace reference {

namespace {

uint32_t LittleEndian(const std::vector<uint8_t>& b, size_t at, size_t width) {
  uint32_t v = 0;
  for (size_t i = width; i-- > 0;) v = (v << 8) | b.at(at + i);
  return v;
}

Table FromPlace(const std::vector<uint8_t>& image, size_t at, size_t length, uint8_t major) {
  if (at > image.size()) return Table();
  return FromRawTable(image.data() + at, std::min(length, image.size() - at), major);
}

} // namespace

size_t Table::Largest() const {
  size_t largest = 0;
  for (const Structure& s : structures) largest = std::max(largest, s.bytes.size());
  return largest;
}

size_t Table::Size() const {
  size_t size = 0;
  for (const Structure& s : structures) size += s.bytes.size();
  return size;
}

Table FromRawTable(const uint8_t* data, size_t size, uint8_t major) {
  Table table;
  table.valid = true;
  table.major = major;
  const uint8_t* const end = data + size;
  const uint8_t* at = data;
  const uint8_t doubleNul[2] = {0, 0};
  while (end - at >= 4) {
    const uint8_t length = at[1];
    if (length < 4 || length > end - at) break;
    const uint8_t* strings = at + length;
    const uint8_t* close = std::search(strings, end, doubleNul, doubleNul + 2);
    if (close == end) break;
    Structure s;
    s.type = at[0];
    s.handle = static_cast<uint16_t>(at[2] | (at[3] << 8));
    s.bytes.assign(at, close + 2);
    table.structures.push_back(s);
    at = close + 2;
    if (s.type == 127) break;
  }
  return table;
}

Table FromRsmb(const std::vector<uint8_t>& blob) {
  if (blob.size() < 8) return Table();
  return FromPlace(blob, 8, LittleEndian(blob, 4, 4), blob[1]);
}

Table FromImage(const std::vector<uint8_t>& image) {
  auto anchored = [&](const char* anchor) {
    size_t n = std::strlen(anchor);
    return image.size() >= n && std::equal(anchor, anchor + n, image.begin());
  };
  if (anchored("_SM3_")) {
    if (image.size() < 24) return Table();
    return FromPlace(image, LittleEndian(image, 0x10, 4), LittleEndian(image, 0x0C, 4), image[7]);
  }
  if (anchored("_SM_")) {
    if (image.size() < 31) return Table();
    return FromPlace(image, LittleEndian(image, 0x18, 4), LittleEndian(image, 0x16, 2), image[6]);
  }
  return FromRsmb(image);
}

} // namespace reference
