// A bounds-checked view of one SMBIOS structure: the formatted area's fields and the string set behind it.
#include "smbios/smbios_structure.h"

std::optional<SmbiosStructure> SmbiosStructure::At(const uint8_t* bytes, size_t size) {
  // A length below the four header bytes or beyond the reply would put the string set elsewhere.
  if (size < 4 || bytes[1] < 4 || bytes[1] > size) return std::nullopt;
  const size_t length = bytes[1];
  return SmbiosStructure(bytes, std::string_view(reinterpret_cast<const char*>(bytes) + length, size - length));
}

std::optional<uint8_t> SmbiosStructure::Byte(size_t offset) const {
  if (offset >= Length()) return std::nullopt;
  return m_bytes[offset];
}

std::optional<uint16_t> SmbiosStructure::Word(size_t offset) const {
  if (offset + 2 > Length()) return std::nullopt;
  return static_cast<uint16_t>(m_bytes[offset] | (m_bytes[offset + 1] << 8));
}

std::optional<uint32_t> SmbiosStructure::Dword(size_t offset) const {
  if (offset + 4 > Length()) return std::nullopt;
  return static_cast<uint32_t>(*Word(offset)) | (static_cast<uint32_t>(*Word(offset + 2)) << 16);
}
