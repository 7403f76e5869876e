// Windows' own copy of the SMBIOS table (GetSystemFirmwareTable 'RSMB'): asked for its size, then read.
#ifndef KCC_SOURCES_FIRMWARE_TABLE_H
#define KCC_SOURCES_FIRMWARE_TABLE_H

#include <stdint.h>

#include <functional>
#include <vector>

#include "wmi/wmi_value.h"

// GetSystemFirmwareTable's provider signature 'RSMB': the raw SMBIOS data behind an 8-byte header (calling
// method, major, minor, DMI revision, 32-bit table length).
constexpr uint32_t kFirmwareTableRsmb = 0x52534D42u;
// Far above any real table (a 600-structure virtual machine's is 29 KB), and the driver's own limit for a file.
constexpr uint32_t kMaxFirmwareTableBytes = 1024u * 1024u;
// The table may grow between the size query and the read; it is asked for again this many times in all.
constexpr int kFirmwareTableAttempts = 3;

// Answers as GetSystemFirmwareTable does for one provider and table: with a buffer of `size` bytes, the bytes
// written; when the buffer is null or too small, the size needed (and nothing is written); 0 on failure.
using FirmwareTableGetter = std::function<uint32_t(void* buffer, uint32_t size)>;

// The blob as the getter gives it, cut to the bytes it wrote; empty for no answer, a zero size, a size above
// kMaxFirmwareTableBytes, a table that keeps growing, or no memory. Its content is LocateRsmbTable's business.
std::vector<uint8_t> FetchFirmwareTable(const FirmwareTableGetter& get);

// WMI's copy (root\WMI MSSmBios_RawSMBiosTables, for 32-bit XP) as an RSMB blob: empty unless SMBiosData is a
// byte array that passed its check; a positive Size shorter than the array cuts it; a header byte that is no
// number or does not fit a byte is 0.
std::vector<uint8_t> RsmbFromWmi(const WmiValue& data, const WmiValue& size, const WmiValue& major,
                                 const WmiValue& minor, const WmiValue& dmiRevision, const WmiValue& used20);

#ifdef _WIN32
class CallBudget;
// Through GetSystemFirmwareTable, looked up at run time: 32-bit Windows XP has none (empty then).
std::vector<uint8_t> ReadWindowsFirmwareTable();
// Through WMI, within the budget and without a message box (empty when it gives nothing).
std::vector<uint8_t> ReadWmiSmbiosTable(CallBudget& budget);
#endif

#endif
