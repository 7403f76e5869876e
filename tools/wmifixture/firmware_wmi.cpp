// WMI as Windows derives it from the firmware: a fixture file made from an SMBIOS dump.
#include "tools/wmifixture/firmware_wmi.h"

#include "smbios/smbios_fields.h"

#include "smbios/dmi_table.h"
#include "sources/machine_info.h"
#include "smbios/smbios_structure.h"

#include <string_view>
#include <vector>

namespace {

// SMBIOS field offsets read here.
using namespace smbios;

// A string field as fixture text: Latin-1 bytes to UTF-8, within quotes that keep its spaces.
std::optional<std::string> Text(const SmbiosStructure& s, size_t offset) {
  const std::optional<uint8_t> number = s.Byte(offset);
  if (!number) return std::nullopt;
  const std::optional<std::string_view> text = CMachineInfo::GetDmiString(s.StringSet(), *number);
  if (!text) return std::nullopt;
  std::string out = "\"";
  for (const char c : *text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\r' || byte == '\n') {
      out += ' '; // a line of its own would end the value
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out + "\"";
}

struct Sections {
  std::string text;
  unsigned memory = 0;
  unsigned caches = 0;
  void Open(const std::string& name) { text += "[" + name + "]\n"; }
  void Value(const char* name, const std::string& typed) { text += std::string(name) + "=" + typed + "\n"; }
};

void System(const SmbiosStructure& s, Sections& out) {
  out.Open("Win32_ComputerSystem#0");
  if (auto v = Text(s, kSystemManufacturerString)) out.Value("Manufacturer", "VT_BSTR:" + *v);
  if (auto v = Text(s, kSystemProductString)) out.Value("Model", "VT_BSTR:" + *v);
}

// Size in bytes of a type 17 device; nothing for an empty slot or an unknown size.
std::optional<uint64_t> MemoryBytes(const SmbiosStructure& s) {
  const std::optional<uint16_t> size = s.Word(kMemoryDeviceSize);
  if (!size || *size == 0 || *size == 0xFFFF) return std::nullopt;
  if (*size == 0x7FFF) { // SMBIOS 2.7 on: the size in MB is in the extended field
    const std::optional<uint32_t> extended = s.Dword(kMemoryDeviceExtendedSize);
    if (!extended) return std::nullopt;
    return static_cast<uint64_t>(*extended & 0x7FFFFFFFu) << 20;
  }
  // Bit 15 set: the size is in KB, else in MB.
  return (*size & 0x8000) ? static_cast<uint64_t>(*size & 0x7FFF) << 10 : static_cast<uint64_t>(*size) << 20;
}

// Maximum size of a type 7 cache in KB: the 32-bit field of SMBIOS 3.1 where the 16-bit one says so.
std::optional<uint64_t> CacheKilobytes(const SmbiosStructure& s) {
  const std::optional<uint16_t> size = s.Word(kCacheMaximumSize);
  if (!size) return std::nullopt;
  if (*size == 0xFFFF) {
    const std::optional<uint32_t> wide = s.Dword(kCacheMaximumSize2);
    if (!wide) return std::nullopt;
    return (*wide & 0x80000000u) ? static_cast<uint64_t>(*wide & 0x7FFFFFFFu) * 64 : *wide;
  }
  return (*size & 0x8000) ? static_cast<uint64_t>(*size & 0x7FFF) * 64 : *size;
}

} // namespace

std::optional<std::string> FirmwareWmiSections(const uint8_t* image, size_t size) {
  DmiImage located{};
  if (!LocateDmiTable(image, size, &located)) return std::nullopt;
  const uint32_t count = CountDmiStructures(located.table, located.size);
  std::vector<DmiEntry> entries(count ? count : 1);
  DmiTable table{};
  IndexDmiTable(located, entries.data(), count, &table);

  Sections out;
  std::string bios;
  bool systemSeen = false;
  for (uint32_t i = 0; i < table.count; ++i) {
    const std::optional<SmbiosStructure> s = SmbiosStructure::At(table.data + entries[i].offset, entries[i].size);
    if (!s) continue;
    switch (s->Type()) {
    case kBiosInformation:
      if (auto v = Text(*s, kBiosVersionString)) bios += "SMBIOSBIOSVersion=VT_BSTR:" + *v + "\n";
      break;
    case kSystemInformation:
      if (systemSeen) break; // Windows reports the first
      systemSeen = true;
      System(*s, out);
      if (auto v = Text(*s, kSerialNumberString)) bios += "SerialNumber=VT_BSTR:" + *v + "\n";
      break;
    case kCacheInformation:
      if (auto kb = CacheKilobytes(*s)) {
        const std::optional<uint16_t> configuration = s->Word(kCacheConfiguration);
        out.Open("Win32_CacheMemory#" + std::to_string(out.caches++));
        out.Value("Level", "VT_I4:" + std::to_string(3 + (configuration ? (*configuration & 0x07) : 0)));
        out.Value("MaxCacheSize", "VT_I4:" + std::to_string(*kb));
      }
      break;
    case kMemoryDevice:
      if (auto bytes = MemoryBytes(*s)) {
        out.Open("Win32_PhysicalMemory#" + std::to_string(out.memory++));
        out.Value("Capacity", "VT_BSTR:" + std::to_string(*bytes));
      }
      break;
    default:
      break;
    }
  }
  if (!bios.empty()) out.text += "[Win32_BIOS#0]\n" + bios;
  return out.text;
}
