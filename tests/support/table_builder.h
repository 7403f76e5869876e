// Builds SMBIOS structures, tables and the image formats the boardinfo driver reads, for every test.
#ifndef KCC_TESTS_SUPPORT_TABLE_BUILDER_H
#define KCC_TESTS_SUPPORT_TABLE_BUILDER_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "smbios/dmi_table.h"

namespace tablebuilder {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, size_t at, uint32_t v) {
  Put16(b, at, static_cast<uint16_t>(v));
  Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

// One structure: a formatted area of `length` bytes with the header filled in, then its string set.
class StructureBuilder {
public:
  StructureBuilder(uint8_t type, uint8_t length, uint16_t handle) : m_area(length < 4 ? 4 : length, 0) {
    m_area[0] = type;
    m_area[1] = length;
    m_area[2] = static_cast<uint8_t>(handle);
    m_area[3] = static_cast<uint8_t>(handle >> 8);
  }
  StructureBuilder& Byte(size_t offset, uint8_t value) {
    if (offset >= m_area.size()) m_area.resize(offset + 1, 0);
    m_area[offset] = value;
    return *this;
  }
  StructureBuilder& Word(size_t offset, uint16_t value) {
    Byte(offset, static_cast<uint8_t>(value));
    return Byte(offset + 1, static_cast<uint8_t>(value >> 8));
  }
  // The set with its final NUL; no strings gives the two NULs of an empty set.
  Bytes WithStrings(std::initializer_list<const char*> strings = {}) const {
    return WithStrings(std::vector<std::string>(strings.begin(), strings.end()));
  }
  Bytes WithStrings(const std::vector<std::string>& strings) const {
    Bytes bytes = m_area;
    for (const std::string& text : strings) bytes.insert(bytes.end(), text.c_str(), text.c_str() + text.size() + 1);
    if (strings.empty()) bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
  }
  // Raw bytes after the formatted area, exactly as given (for sets cut short).
  Bytes WithRaw(const std::string& raw) const {
    Bytes bytes = m_area;
    bytes.insert(bytes.end(), raw.begin(), raw.end());
    return bytes;
  }

private:
  Bytes m_area;
};

// Formatted area (type, length, handle, then `fields`) and its string set.
inline Bytes Structure(uint8_t type, uint16_t handle, const Bytes& fields = {},
                       const std::vector<std::string>& strings = {}) {
  StructureBuilder structure(type, static_cast<uint8_t>(4 + fields.size()), handle);
  for (size_t i = 0; i < fields.size(); ++i) structure.Byte(4 + i, fields[i]);
  return structure.WithStrings(strings);
}

inline Bytes EndOfTable(uint16_t handle) { return Structure(127, handle); }

inline Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// `count` structures of assorted types and string sets, handles 0..count-2, then end-of-table.
inline std::vector<Bytes> ManyStructures(unsigned count) {
  std::vector<Bytes> list;
  for (unsigned i = 0; i + 1 < count; ++i) {
    Bytes fields(static_cast<size_t>(i % 40), static_cast<uint8_t>(i));
    std::vector<std::string> strings;
    for (unsigned k = 0; k < i % 4; ++k) strings.push_back("string " + std::to_string(i) + "/" + std::to_string(k));
    list.push_back(Structure(static_cast<uint8_t>(i % 44), static_cast<uint16_t>(i), fields, strings));
  }
  list.push_back(EndOfTable(static_cast<uint16_t>(count - 1)));
  return list;
}

// Makes the bytes [from, from + length) of an entry point add up to 0 through the byte at `at`.
inline void Checksum(Bytes& b, size_t from, size_t length, size_t at) {
  b[at] = 0;
  uint8_t sum = 0;
  for (size_t i = from; i < from + length; ++i) sum = static_cast<uint8_t>(sum + b[i]);
  b[at] = static_cast<uint8_t>(-sum);
}

// A `dmidecode --dump-bin` image with a 2.x entry point: "_SM_" (31 bytes), table at 0x20, as the driver's
// writer makes it; `lengthOverride` gives the entry point another table length.
inline Bytes SmDump(const Bytes& table, uint8_t major = 2, uint8_t minor = 4, uint16_t count = 0,
                    int64_t lengthOverride = -1) {
  Bytes image(kDmiDumpTableOffset, 0);
  WriteDmiDumpHeader(major, minor, static_cast<uint32_t>(table.size()), count, image.data());
  if (lengthOverride >= 0) {
    Put16(image, 0x16, static_cast<uint16_t>(lengthOverride));
    Checksum(image, 0x10, 0x0F, 0x15);
    Checksum(image, 0, 0x1F, 0x04);
  }
  image.insert(image.end(), table.begin(), table.end());
  return image;
}

// A dump with a 3.x entry point: "_SM3_" (24 bytes), maximum table size at 0x0C (`maxSize` to give another).
inline Bytes Sm3Dump(const Bytes& table, uint8_t major = 3, uint8_t minor = 2, int64_t maxSize = -1) {
  Bytes image(kDmiDumpTableOffset, 0);
  WriteDmiDumpHeader(major, minor, static_cast<uint32_t>(table.size()), 0, image.data());
  if (maxSize >= 0) {
    Put32(image, 0x0C, static_cast<uint32_t>(maxSize));
    Checksum(image, 0, 0x18, 0x05);
  }
  image.insert(image.end(), table.begin(), table.end());
  return image;
}

// A legacy dump: "_DMI_" entry point (15 bytes) only, BCD revision at 0x0E.
inline Bytes DmiDump(const Bytes& table, uint8_t bcdRevision = 0x21) {
  Bytes image(0x20, 0);
  const char anchor[] = "_DMI_";
  for (int i = 0; i < 5; ++i) image[i] = static_cast<uint8_t>(anchor[i]);
  Put16(image, 0x06, static_cast<uint16_t>(table.size()));
  Put32(image, 0x08, 0x20);
  image[0x0E] = bcdRevision;
  image.insert(image.end(), table.begin(), table.end());
  return image;
}

// GetSystemFirmwareTable's 'RSMB' layout: calling method, major, minor, DMI revision, u32 length, table.
inline Bytes RsmbBlob(const Bytes& table, uint8_t major = 2, uint8_t minor = 4, int64_t lengthOverride = -1) {
  Bytes blob(8, 0);
  blob[1] = major;
  blob[2] = minor;
  Put32(blob, 4, static_cast<uint32_t>(lengthOverride >= 0 ? lengthOverride : static_cast<int64_t>(table.size())));
  blob.insert(blob.end(), table.begin(), table.end());
  return blob;
}

} // namespace tablebuilder

#endif
