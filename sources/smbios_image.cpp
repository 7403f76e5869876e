// Loading of SMBIOS table images, and a table-backed stand-in for the boardinfo driver.
#include "sources/smbios_image.h"

#include <string.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "sources/boardinfo_protocol.h"

namespace {
uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Dword(const uint8_t* p) { return Word(p) | (static_cast<uint32_t>(Word(p + 2)) << 16); }
void PutWord(uint8_t* p, uint16_t v) { p[0] = static_cast<uint8_t>(v); p[1] = static_cast<uint8_t>(v >> 8); }
void PutDword(uint8_t* p, uint32_t v) { PutWord(p, static_cast<uint16_t>(v)); PutWord(p + 2, static_cast<uint16_t>(v >> 16)); }

bool TakeTable(const uint8_t* file, size_t size, uint64_t offset, uint64_t length, SmbiosImage& image, std::string& error) {
  if (offset > size || length > size - offset) {
    error = "table lies outside the file";
    return false;
  }
  image.table.assign(file + offset, file + offset + length);
  return true;
}
} // namespace

bool LoadSmbiosImage(const uint8_t* file, size_t size, SmbiosImage& image, std::string& error) {
  image = SmbiosImage();
  if (size >= 0x18 && memcmp(file, "_SM3_", 5) == 0) {
    image.majorVersion = file[7];
    image.minorVersion = file[8];
    const uint32_t maximumSize = Dword(file + 0x0C);
    const uint64_t address = Dword(file + 0x10) | (static_cast<uint64_t>(Dword(file + 0x14)) << 32);
    image.tableAddress = static_cast<uint32_t>(address);
    // The 3.0 entry point gives only a maximum size: take what the file holds up to it.
    if (address > size) {
      error = "table lies outside the file";
      return false;
    }
    return TakeTable(file, size, address, std::min<uint64_t>(maximumSize, size - address), image, error);
  }
  if (size >= 0x1F && memcmp(file, "_SM_", 4) == 0 && memcmp(file + 0x10, "_DMI_", 5) == 0) {
    image.majorVersion = file[6];
    image.minorVersion = file[7];
    image.tableAddress = Dword(file + 0x18);
    return TakeTable(file, size, image.tableAddress, Word(file + 0x16), image, error);
  }
  if (size >= 8) {
    const uint32_t length = Dword(file + 4);
    if (8u + static_cast<uint64_t>(length) == size) {
      image.majorVersion = file[1];
      image.minorVersion = file[2];
      return TakeTable(file, size, 8, length, image, error);
    }
  }
  error = "neither an SMBIOS entry point nor an RSMB blob";
  return false;
}

bool LoadSmbiosImageFile(const std::string& path, SmbiosImage& image, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return LoadSmbiosImage(bytes.data(), bytes.size(), image, error);
}

std::vector<uint8_t> MakeDumpImage(const SmbiosImage& image) {
  std::vector<uint8_t> dump(0x20, 0);
  memcpy(dump.data(), "_SM3_", 5);
  dump[6] = 0x18;
  dump[7] = image.majorVersion >= 3 ? image.majorVersion : 3;
  dump[8] = image.majorVersion >= 3 ? image.minorVersion : 0;
  dump[0x0A] = 0x01; // entry point revision 3.0
  PutDword(dump.data() + 0x0C, static_cast<uint32_t>(image.table.size()));
  PutDword(dump.data() + 0x10, 0x20);
  uint8_t sum = 0;
  for (size_t i = 0; i < 0x18; ++i) sum = static_cast<uint8_t>(sum + dump[i]);
  dump[5] = static_cast<uint8_t>(0x100 - sum);
  dump.insert(dump.end(), image.table.begin(), image.table.end());
  return dump;
}

std::vector<SmbiosSpan> SplitSmbiosTable(const uint8_t* table, size_t size) {
  std::vector<SmbiosSpan> spans;
  size_t at = 0;
  while (size - at >= 4) {
    const uint8_t length = table[at + 1];
    if (length < 4 || length > size - at) break;
    size_t end = at + length;
    while (end + 1 < size && (table[end] != 0 || table[end + 1] != 0)) ++end;
    if (end + 1 >= size) break; // no double NUL before the end
    end += 2;
    const SmbiosSpan span = {at, end - at, Word(table + at + 2), table[at]};
    spans.push_back(span);
    at = end;
    if (span.type == 127) break;
  }
  return spans;
}

SmbiosTableDevice::SmbiosTableDevice(const SmbiosImage& image)
    : m_image(image), m_spans(SplitSmbiosTable(m_image.table.data(), m_image.table.size())) {}

bool SmbiosTableDevice::Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) {
  if (inputSize < 2) return false;
  const uint8_t* in = static_cast<const uint8_t*>(input);
  uint8_t* out = static_cast<uint8_t*>(output);
  const uint16_t function = Word(in);
  if (function == BOARDINFO_GET_INFO) {
    if (outputSize < sizeof(BoardInfoInfoReply)) return false;
    size_t largest = 0;
    for (const SmbiosSpan& span : m_spans) largest = std::max(largest, span.size);
    memset(out, 0, sizeof(BoardInfoInfoReply));
    out[1] = static_cast<uint8_t>((m_image.majorVersion << 4) | (m_image.minorVersion & 0x0F));
    PutWord(out + 2, static_cast<uint16_t>(m_spans.size()));
    PutWord(out + 4, static_cast<uint16_t>(largest));
    PutDword(out + 6, m_image.tableAddress);
    PutWord(out + 10, static_cast<uint16_t>(m_image.table.size()));
    m_atStart = true;
    return true;
  }
  if (function != BOARDINFO_GET_STRUCTURE || inputSize < sizeof(BoardInfoStructureRequest) ||
      outputSize < BOARDINFO_STRUCTURE_REPLY_HEADER)
    return false;
  ++m_structureRequests;
  const uint16_t handle = Word(in + 2);
  size_t index = 0;
  if (handle != 0 || !m_atStart || m_spans.empty()) {
    while (index < m_spans.size() && m_spans[index].handle != handle) ++index;
  }
  memset(out, 0, outputSize);
  if (index >= m_spans.size()) {
    out[0] = BOARDINFO_STATUS_NO_STRUCTURE;
    return true;
  }
  const SmbiosSpan& span = m_spans[index];
  if (span.size > outputSize - BOARDINFO_STRUCTURE_REPLY_HEADER) return false;
  out[0] = BOARDINFO_STATUS_OK;
  m_atStart = false;
  PutWord(out + 1, index + 1 < m_spans.size() ? m_spans[index + 1].handle : BOARDINFO_LAST_HANDLE);
  memcpy(out + BOARDINFO_STRUCTURE_REPLY_HEADER, m_image.table.data() + span.offset, span.size);
  return true;
}
