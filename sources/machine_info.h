// CMachineInfo: the raw machine facts (firmware tables, OS version, product id, oeminfo.ini) and their display texts.
#ifndef KCC_SOURCES_MACHINE_INFO_H
#define KCC_SOURCES_MACHINE_INFO_H

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "smbios/dmi_device.h"
#include "smbios/smbios_structure.h"

#ifdef _WIN32
struct HKEY__; // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): HKEY without <windows.h>
#endif
class CallBudget;

// What GetVersionExW reports, reduced to what the version text is made of.
struct OsVersionRecord {
  uint32_t majorVersion = 0;
  uint32_t minorVersion = 0;
  uint32_t buildNumber = 0;
  uint32_t platformId = 0;
  std::wstring servicePack;
};

// Where ReadMachineInfo stopped: no driver location (21, 22), no driver (23 to 25), a failed walk (26 to 30),
// or the walk's end (31).
enum WalkStatus : int {
  kWalkNoLocationKey = 21,        // no location in either view; the own view's second key does not open
  kWalkNoLocationValue = 22,      // no location in either view; the own view's second key has no readable value
  kWalkNoCurrentDirectory = 23,   // the current directory could not be kept
  kWalkNoDriverDirectory = 24,    // the driver's directory could not be made current
  kWalkNoDevice = 25,             // the device does not open
  kWalkInformationFailed = 26,    // the information request failed
  kWalkInformationRefused = 27,   // its reply's status is not 0
  kWalkNoMemory = 28,             // no room for the structure buffer
  kWalkStructureFailed = 29,      // a structure request failed
  kWalkStructureRefused = 30,     // a reply's status is neither 0 nor 83h
  kWalkComplete = 31,
};

// Which table the walk read (WalkWindowsTables gives the order).
enum class TableSource { kNone, kDriver, kFirmware, kWmi };

// What Windows knows of the first processor, where it has it: its name (ProcessorNameString) and speed (~MHz).
struct WindowsProcessor {
  std::optional<std::wstring> name;
  std::optional<uint32_t> mhz;
};

// Fetches one of Windows' copies of the table as an RSMB blob; empty when that copy gives nothing.
using TableFetch = std::function<std::vector<uint8_t>()>;

class CMachineInfo {
public:
  CMachineInfo();
  ~CMachineInfo();
  CMachineInfo(const CMachineInfo&) = delete;
  CMachineInfo& operator=(const CMachineInfo&) = delete;

  // The WalkStatus of the table walked (m_tableSource), or the driver's 21 to 25 when no source gave one. The
  // observer sees every call of the walk; WMI waits within `wmiBudget` (one of its own when none is given).
  int ReadMachineInfo(IDmiCallObserver* observer = nullptr, CallBudget* wmiBudget = nullptr);
  // The sources after the driver's walk, in their order: a driver that opened (a status above 25) keeps the
  // last word; else the firmware table, else WMI's table, each fetched only when the one before gave nothing.
  int WalkWindowsTables(int driverStatus, const TableFetch& firmware, const TableFetch& wmi,
                        IDmiCallObserver* observer = nullptr);
  void ReadOsVersion();
  void ReadProductId();
  void ReadOemInfo();
  void FormatTexts();
  static std::string FormatProcessorSpeed(int16_t speedMHz);
  // After the walk: where no central processor gave a name (or only spaces), Windows' name without the spaces
  // around it; where none gave a speed, Windows' speed if a processor runs at it. The firmware's always win.
  void TakeWindowsProcessor(const WindowsProcessor& windows);

  // "%d.%02d.%03d%s", at most 127 characters; the build number is chosen by platform id.
  static std::wstring FormatOsVersion(const OsVersionRecord& version);

  // kWalkComplete at the walk's end, else its failure (26 to 30); parsed structures stay in the fields either way.
  int WalkTable(IDmiDevice& device);
  // The walk over an RSMB blob served in-process by the driver's table logic: 0, with nothing changed, when it
  // holds no complete structure; else the walk's status, and m_tableSource is `source`.
  int WalkFirmwareTable(std::vector<uint8_t> blob, IDmiCallObserver* observer = nullptr,
                        TableSource source = TableSource::kFirmware);

  // One structure of a reply, by its type byte.
  void DispatchStructure(const SmbiosStructure& structure);
  void ParseBiosInfo(const SmbiosStructure& structure);
  void ParseSystemInfo(const SmbiosStructure& structure);
  void ParseProcessorInfo(const SmbiosStructure& structure);
  static uint16_t GetMemoryModuleSize(const SmbiosStructure& structure);
  static uint16_t GetL2CacheSize(const SmbiosStructure& structure);
  // String `number` (1 = first) of a set; nothing for 0, past the last, or not ending inside the set.
  static std::optional<std::string_view> GetDmiString(std::string_view stringSet, unsigned number);

#ifdef _WIN32
  // 0: read into the 260-byte buffer, NUL-terminated; 1: the key does not open; 2: the value cannot be read.
  // `view` is a registry view flag (KEY_WOW64_64KEY, KEY_WOW64_32KEY), 0 for the process's own.
  static int ReadRegistryString(HKEY__* root, const char* subKey, const char* valueName, char* buffer,
                                unsigned long view = 0);
#endif

  std::wstring m_strSysManufacturer;
  std::wstring m_strSysProductName;
  std::wstring m_strSysVersion;
  std::wstring m_strSysSerialNumber;
  std::wstring m_strBiosVersion;
  std::wstring m_strCpuVersion;
  uint16_t m_wCpuSpeed;
  bool m_bCpuVersionFromWindows = false; // the name came from TakeWindowsProcessor, not the table
  bool m_bCpuSpeedFromWindows = false;   // the speed likewise
  std::wstring m_strCpuSpeed;
  int32_t m_nMemoryMB; // 32-bit: a 16-bit sum printed sizes above 32767 MB as negative numbers
  std::wstring m_strMemory;
  int32_t m_nCacheKB;
  std::wstring m_strCache;
  std::wstring m_strOsVersion;
  std::wstring m_strProductId;
  std::wstring m_strOemManufacturer;
  std::wstring m_strOemModel;
  TableSource m_tableSource;

#ifdef _WIN32
  // The driver's side of ReadMachineInfo: locates and opens the driver and walks through it; 21 to 25 when
  // no device opened.
  int ReadDriverTable(IDmiCallObserver* observer = nullptr);
  // HKLM\HARDWARE\DESCRIPTION\System\CentralProcessor\0 as it is: a value that is missing or of another type
  // is left out.
  static WindowsProcessor ReadWindowsProcessor();
#endif

private:
  void StoreString(const SmbiosStructure& structure, size_t offset, std::wstring& field);
};

#endif
