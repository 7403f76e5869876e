// The capture's file formats, apart from Windows: the dump rebuilt from driver replies, redaction, .reg lines.
#include "capture/capture_format.h"

#include <stdio.h>

#include "smbios/dmi_table.h"
#include "smbios/boardinfo_protocol.h"
#include "smbios/smbios_fields.h"

namespace capture {
namespace {
uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

using namespace smbios;

// The bytes of string `number` (1 = first) in the string set starting at `strings`, up to `end`.
uint8_t* FindString(uint8_t* strings, const uint8_t* end, unsigned number, size_t& length) {
  uint8_t* at = strings;
  for (unsigned n = 1; at < end && *at != 0; ++n) {
    uint8_t* stop = at;
    while (stop < end && *stop != 0) ++stop;
    if (n == number) {
      length = static_cast<size_t>(stop - at);
      return at;
    }
    at = stop + 1;
  }
  return nullptr;
}
} // namespace

void WalkRecord::Add(const uint8_t* input, size_t inputSize, const uint8_t* output, size_t outputSize,
                     bool succeeded) {
  ++m_calls;
  if (!succeeded || inputSize < 2 || outputSize < 1) return;
  const uint16_t function = Word(input);
  if (function == BOARDINFO_GET_INFO && outputSize >= sizeof(BoardInfoInfoReply)) {
    m_hasInformation = true;
    m_information.assign(output, output + sizeof(BoardInfoInfoReply));
    return;
  }
  if (function != BOARDINFO_GET_STRUCTURE || output[0] != BOARDINFO_STATUS_OK ||
      outputSize <= BOARDINFO_STRUCTURE_REPLY_HEADER)
    return;
  const uint8_t* structure = output + BOARDINFO_STRUCTURE_REPLY_HEADER;
  const size_t available = outputSize - BOARDINFO_STRUCTURE_REPLY_HEADER;
  size_t size = DmiStructureSize(structure, available);
  // A reply cut off inside its string set still counts: the walk parsed it. End it as a table needs.
  if (size == 0 && available >= 4 && structure[1] >= 4 && structure[1] <= available) {
    Bytes cut(structure, structure + available);
    cut.push_back(0);
    cut.push_back(0);
    m_structures.push_back(cut);
    return;
  }
  if (size != 0) m_structures.emplace_back(structure, structure + size);
}

Bytes DumpOfStructures(const std::vector<Bytes>& structures, uint8_t major, uint8_t minor) {
  Bytes dump(kDmiDumpTableOffset, 0);
  for (const Bytes& structure : structures) dump.insert(dump.end(), structure.begin(), structure.end());
  const size_t count = structures.size() > 0xFFFF ? 0xFFFF : structures.size();
  WriteDmiDumpHeader(major, minor, static_cast<uint32_t>(dump.size() - kDmiDumpTableOffset),
                     static_cast<uint16_t>(count), dump.data());
  return dump;
}

Bytes DumpOfRsmb(const uint8_t* blob, size_t size) {
  DmiImage image;
  if (!LocateRsmbTable(blob, size, &image)) return Bytes();
  const uint32_t count = CountDmiStructures(image.table, image.size);
  Bytes dump(kDmiDumpTableOffset, 0);
  dump.insert(dump.end(), image.table, image.table + image.size);
  WriteDmiDumpHeader(image.major, image.minor, static_cast<uint32_t>(image.size),
                     static_cast<uint16_t>(count > 0xFFFF ? 0xFFFF : count), dump.data());
  return dump;
}

unsigned RedactDump(Bytes& dump) {
  DmiImage image;
  if (!LocateDmiTable(dump.data(), dump.size(), &image)) return 0;
  // The structures as the driver's table logic finds them.
  std::vector<DmiEntry> entries(CountDmiStructures(image.table, image.size) + 1);
  DmiTable table;
  IndexDmiTable(image, entries.data(), static_cast<uint32_t>(entries.size()), &table);
  uint8_t* const start = dump.data() + (image.table - dump.data());
  unsigned changed = 0;
  for (uint32_t i = 0; i < table.count; ++i) {
    uint8_t* structure = start + entries[i].offset;
    const uint8_t type = structure[0];
    const uint8_t length = structure[1];
    if ((type == kSystemInformation || type == kBaseboardInformation || type == kSystemEnclosure) &&
        length > kSerialNumberString && structure[kSerialNumberString] != 0) {
      size_t textLength = 0;
      if (uint8_t* text = FindString(structure + length, structure + entries[i].size, structure[kSerialNumberString],
                                     textLength)) {
        for (size_t k = 0; k < textLength; ++k) text[k] = '*';
        ++changed;
      }
    }
    if (type == kSystemInformation && length >= kSystemUuid + kSystemUuidSize) {
      for (size_t k = 0; k < kSystemUuidSize; ++k) structure[kSystemUuid + k] = 0;
      ++changed;
    }
  }
  return changed;
}

std::wstring Placeholder(const std::wstring& text) { return std::wstring(text.size(), L'*'); }

std::wstring RegistryValueLine(const std::wstring& name, uint32_t type, const Bytes& data) {
  std::wstring line = L"\"";
  for (wchar_t c : name) {
    if (c == L'\\' || c == L'"') line += L'\\';
    line += c;
  }
  line += L"\"=";
  const uint32_t kString = 1, kDword = 4;
  if (type == kDword && data.size() == 4) {
    wchar_t number[16];
    (void)swprintf(number, 16, L"dword:%08x", static_cast<unsigned>(data[0] | (data[1] << 8) | (data[2] << 16)) |
                                            (static_cast<unsigned>(data[3]) << 24));
    return line + number;
  }
  if (type == kString && data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0 &&
      data[data.size() - 2] == 0) {
    // A string as regedit writes it, when it is one: a single terminator and no control characters.
    std::wstring text;
    bool plain = true;
    for (size_t i = 0; i + 2 < data.size() && plain; i += 2) {
      const wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
      if (c < 0x20) plain = false;
      if (c == L'\\' || c == L'"') text += L'\\';
      text += c;
    }
    if (plain) return line + L"\"" + text + L"\"";
  }
  wchar_t prefix[16];
  if (type == 3)
    (void)swprintf(prefix, 16, L"hex:");
  else
    (void)swprintf(prefix, 16, L"hex(%x):", type);
  line += prefix;
  for (size_t i = 0; i < data.size(); ++i) {
    wchar_t byte[4];
    (void)swprintf(byte, 4, L"%02x", data[i]); // the buffers fit every value: nothing is cut
    if (i > 0) line += L',';
    line += byte;
  }
  return line;
}

std::wstring WineVersionName(uint32_t major, uint32_t minor) {
  struct Name {
    uint32_t major, minor;
    const wchar_t* name;
  };
  static const Name kNames[] = {{5, 0, L"win2k"}, {5, 1, L"winxp"}, {5, 2, L"win2003"}, {6, 0, L"vista"},
                                {6, 1, L"win7"},  {6, 2, L"win8"},  {6, 3, L"win81"},   {10, 0, L"win10"}};
  for (const Name& name : kNames)
    if (name.major == major && name.minor == minor) return name.name;
  return std::wstring();
}

} // namespace capture
