// WMI as Windows derives it from the firmware: a fixture file made from an SMBIOS dump.
#ifndef KCC_TOOLS_WMIFIXTURE_FIRMWARE_WMI_H
#define KCC_TOOLS_WMIFIXTURE_FIRMWARE_WMI_H

#include <stddef.h>
#include <stdint.h>

#include <optional>
#include <string>

// The fixture sections (UTF-8, no BOM) of a `dmidecode --dump-bin` image or RSMB blob: Win32_ComputerSystem
// Manufacturer and Model (type 1), Win32_BIOS SerialNumber (type 1) and SMBIOSBIOSVersion (type 0),
// Win32_PhysicalMemory Capacity in bytes for each installed type 17 device, Win32_CacheMemory Level (3 for
// the first level, 4 the second, 5 the third) and MaxCacheSize in KB for each type 7. Nothing when the
// image holds no table. Strings are read as Latin-1 and written quoted, line breaks as spaces.
std::optional<std::string> FirmwareWmiSections(const uint8_t* image, size_t size);

#endif
