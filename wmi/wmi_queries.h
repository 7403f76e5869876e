// The WMI queries behind the summary, in the order the program makes them, and the properties it reads.
#ifndef KCC_WMI_WMI_QUERIES_H
#define KCC_WMI_WMI_QUERIES_H

#include <string>

struct WmiQuery {
  const wchar_t* className;
  const wchar_t* where;         // appended to the class name, empty for none
  const wchar_t* properties[2]; // read from each instance; null where a query reads fewer
  const wchar_t* whereProperty; // the property the where clause tests, null for none
};

inline constexpr WmiQuery kMemoryQuery = {L"Win32_PhysicalMemory", L"", {L"Capacity", nullptr}, nullptr};
// Level 4 is the second-level cache in WMI's numbering.
inline constexpr WmiQuery kCacheQuery = {L"Win32_CacheMemory", L" Where level = 4", {L"MaxCacheSize", nullptr},
                                         L"Level"};
inline constexpr WmiQuery kComputerSystemQuery = {L"Win32_ComputerSystem", L"", {L"Manufacturer", L"Model"}, nullptr};
inline constexpr WmiQuery kBiosQuery = {L"Win32_BIOS", L"", {L"SerialNumber", L"SMBIOSBIOSVersion"}, nullptr};
inline constexpr WmiQuery kOperatingSystemQuery = {L"Win32_OperatingSystem", L"", {L"Caption", L"CSDVersion"},
                                                   nullptr};

inline constexpr const WmiQuery* kSummaryQueries[] = {&kMemoryQuery, &kCacheQuery, &kComputerSystemQuery, &kBiosQuery,
                                                      &kOperatingSystemQuery};

// What follows "Select * From ".
inline std::wstring QueryText(const WmiQuery& query) { return std::wstring(query.className) + query.where; }

// The WQL text of a query given as what follows "Select * From ".
inline std::wstring SelectText(const std::wstring& what) { return L"Select * From " + what; }

#endif
