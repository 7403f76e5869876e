// A bounds-checked view of one SMBIOS structure inside a driver reply: formatted area and string set.
#ifndef KCC_SMBIOS_SMBIOS_STRUCTURE_H
#define KCC_SMBIOS_SMBIOS_STRUCTURE_H

#include <stddef.h>
#include <stdint.h>

#include <optional>
#include <string_view>

class SmbiosStructure {
public:
  // The structure at the start of `bytes`, where `size` is what the buffer holds from there on.
  // Fails for a length byte below 4 or a formatted area that does not fit: such data is not parsed.
  static std::optional<SmbiosStructure> At(const uint8_t* bytes, size_t size);

  uint8_t Type() const { return m_bytes[0]; }
  uint8_t Length() const { return m_bytes[1]; }

  // A field is present only when it lies wholly inside the formatted area.
  std::optional<uint8_t> Byte(size_t offset) const;
  std::optional<uint16_t> Word(size_t offset) const;
  std::optional<uint32_t> Dword(size_t offset) const;

  // From the end of the formatted area to the end of the buffer; the set may lack its final NUL.
  std::string_view StringSet() const { return m_strings; }

private:
  SmbiosStructure(const uint8_t* bytes, std::string_view strings) : m_bytes(bytes), m_strings(strings) {}

  const uint8_t* m_bytes;
  std::string_view m_strings;
};

#endif
