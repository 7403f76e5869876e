// The SMBIOS structure types and field offsets that the program and its tools read, each named once.
#ifndef KCC_SMBIOS_SMBIOS_FIELDS_H
#define KCC_SMBIOS_SMBIOS_FIELDS_H

#include <stddef.h>
#include <stdint.h>

namespace smbios {

enum StructureType : uint8_t {
  kBiosInformation = 0,
  kSystemInformation = 1,
  kBaseboardInformation = 2,
  kSystemEnclosure = 3,
  kProcessorInformation = 4,
  kMemoryModuleInformation = 6,
  kCacheInformation = 7,
  kOemStrings = 11,
  kSystemConfigurationOptions = 12,
  kMemoryDevice = 17,
  kPortableBattery = 22,
  kSystemPowerSupply = 39,
  kInactive = 126,
  kEndOfTable = 127,
  kFirstVendorType = 128, // from here on each vendor's own
};

// Offsets from the structure's start; strings are given by their number in the string set.
constexpr size_t kBiosVersionString = 0x05;

constexpr size_t kSystemManufacturerString = 0x04;
constexpr size_t kSystemProductString = 0x05;
constexpr size_t kSystemVersionString = 0x06;
constexpr size_t kSerialNumberString = 0x07; // of types 1, 2 and 3 alike
constexpr size_t kSystemUuid = 0x08;
constexpr size_t kSystemUuidSize = 16;

constexpr size_t kProcessorType = 0x05;
constexpr uint8_t kCentralProcessor = 3;
constexpr size_t kProcessorVersionString = 0x10;
constexpr size_t kProcessorMaxSpeed = 0x14;
constexpr size_t kProcessorCurrentSpeed = 0x16;
constexpr size_t kProcessorStatus = 0x18;
constexpr uint8_t kSocketPopulated = 0x40; // bit 6 of the status byte

constexpr size_t kMemoryModuleInstalledSize = 0x09;
constexpr uint8_t kMemoryModuleNotInstalled = 0x7F;

constexpr size_t kCacheConfiguration = 0x05;
constexpr size_t kCacheMaximumSize = 0x07;
constexpr size_t kCacheInstalledSize = 0x09;
constexpr size_t kCacheMaximumSize2 = 0x13; // SMBIOS 3.1 on

constexpr size_t kMemoryDeviceSize = 0x0C;
constexpr size_t kMemoryDeviceExtendedSize = 0x1C; // SMBIOS 2.7 on

// The parts' own identifiers beside the system's serial number and UUID, where DSP0134 3.x places them; a
// field counts only where it lies inside the structure's length.
constexpr size_t kAssetTagString = 0x08; // of types 2 and 3 alike
constexpr size_t kProcessorSerialNumberString = 0x20; // SMBIOS 2.3 on
constexpr size_t kProcessorAssetTagString = 0x21;     // SMBIOS 2.3 on
constexpr size_t kMemoryDeviceSerialNumberString = 0x18;
constexpr size_t kMemoryDeviceAssetTagString = 0x19;
constexpr size_t kBatterySerialNumberString = 0x07;
constexpr size_t kBatterySbdsSerialNumber = 0x10; // a word, SMBIOS 2.2 on
constexpr size_t kPowerSupplySerialNumberString = 0x08;
constexpr size_t kPowerSupplyAssetTagString = 0x09;

} // namespace smbios

#endif
