// SMBIOS structure parsing: the string lookup and the fields of types 0, 1, 4, 6 and 7.
#include "sources/machine_info.h"

#include <limits>

#include "framework/text.h"
#include "smbios/smbios_fields.h"

std::optional<std::string_view> CMachineInfo::GetDmiString(std::string_view stringSet, unsigned number) {
  if (number == 0) return std::nullopt;
  size_t at = 0;
  for (unsigned i = 1; i < number; ++i) {
    const size_t end = stringSet.find('\0', at);
    if (end == std::string_view::npos) return std::nullopt;
    at = end + 1;
    // The set's final NUL, or the end of the buffer where that NUL is missing.
    if (at >= stringSet.size() || stringSet[at] == '\0') return std::nullopt;
  }
  const size_t end = stringSet.find('\0', at);
  if (end == std::string_view::npos) return std::nullopt; // runs off the buffer
  return stringSet.substr(at, end - at);
}

void CMachineInfo::StoreString(const SmbiosStructure& structure, size_t offset, std::wstring& field) {
  const std::optional<uint8_t> number = structure.Byte(offset);
  if (!number) return;
  if (const std::optional<std::string_view> text = GetDmiString(structure.StringSet(), *number)) field = WidenAnsi(*text);
}

void CMachineInfo::ParseBiosInfo(const SmbiosStructure& structure) { StoreString(structure, smbios::kBiosVersionString, m_strBiosVersion); }

void CMachineInfo::ParseSystemInfo(const SmbiosStructure& structure) {
  StoreString(structure, smbios::kSystemManufacturerString, m_strSysManufacturer);
  StoreString(structure, smbios::kSystemProductString, m_strSysProductName);
  StoreString(structure, smbios::kSystemVersionString, m_strSysVersion);
  StoreString(structure, smbios::kSerialNumberString, m_strSysSerialNumber);
}

namespace {
// A current speed no processor runs at, as some firmware lists for one core: 32768 MHz or more (the speed text
// reads the word as signed), or over twice the structure's own maximum (real turbo speeds stay below 1.7 times).
bool ImplausibleSpeed(const SmbiosStructure& structure, uint16_t speed) {
  if (speed >= 0x8000u) return true;
  const std::optional<uint16_t> maximum = structure.Word(smbios::kProcessorMaxSpeed);
  return maximum && *maximum != 0 && speed > 2u * *maximum;
}
} // namespace

void CMachineInfo::ParseProcessorInfo(const SmbiosStructure& structure) {
  if (structure.Byte(smbios::kProcessorType) != smbios::kCentralProcessor) return;
  // An empty socket of a multi-socket board is no processor: its zero speed and absent name would hide the
  // populated socket's. A structure too short for the status byte counts; a disabled processor counts too.
  const std::optional<uint8_t> status = structure.Byte(smbios::kProcessorStatus);
  if (status && !(*status & smbios::kSocketPopulated)) return;
  StoreString(structure, smbios::kProcessorVersionString, m_strCpuVersion);
  const std::optional<uint16_t> speed = structure.Word(smbios::kProcessorCurrentSpeed);
  if (speed && !ImplausibleSpeed(structure, *speed)) m_wCpuSpeed = *speed;
}

uint16_t CMachineInfo::GetMemoryModuleSize(const SmbiosStructure& structure) {
  const std::optional<uint8_t> size = structure.Byte(smbios::kMemoryModuleInstalledSize);
  if (!size || *size == smbios::kMemoryModuleNotInstalled) return 0;
  // Bit 7 marks a double-bank module; the rest is the power of two in MB.
  const unsigned power = (*size & 0x7Fu) % 32u;
  return static_cast<uint16_t>(1u << power);
}

uint16_t CMachineInfo::GetL2CacheSize(const SmbiosStructure& structure) {
  const std::optional<uint8_t> configuration = structure.Byte(smbios::kCacheConfiguration);
  if (!configuration || (*configuration & 0x03u) != 0x01u) return 0; // level field 01: second level
  const std::optional<uint16_t> installed = structure.Word(smbios::kCacheInstalledSize);
  if (!installed) return 0;
  const uint32_t size = (*installed & 0x8000u) ? (*installed & 0x7FFFu) * 64u : *installed; // bit 15: 64K units
  return static_cast<uint16_t>(size);
}

void CMachineInfo::DispatchStructure(const SmbiosStructure& structure) {
  switch (structure.Type()) {
  case smbios::kBiosInformation:
    ParseBiosInfo(structure);
    break;
  case smbios::kSystemInformation:
    ParseSystemInfo(structure);
    break;
  case smbios::kProcessorInformation:
    ParseProcessorInfo(structure);
    break;
  case smbios::kMemoryModuleInformation: {
    // Stops at the field's limit rather than overflowing.
    const int64_t sum = static_cast<int64_t>(m_nMemoryMB) + GetMemoryModuleSize(structure);
    m_nMemoryMB = static_cast<int32_t>(sum > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : sum);
    break;
  }
  case smbios::kCacheInformation:
    if (const uint16_t size = GetL2CacheSize(structure)) m_nCacheKB = size;
    break;
  default:
    break;
  }
}
