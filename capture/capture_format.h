// The capture's rules apart from Windows: the dump rebuilt from driver replies, redaction, .reg lines, its folders.
#ifndef KCC_CAPTURE_CAPTURE_FORMAT_H
#define KCC_CAPTURE_CAPTURE_FORMAT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace capture {

using Bytes = std::vector<uint8_t>;

// What a walk got from the driver: the information reply, then each structure it was given, in order.
class WalkRecord {
public:
  // One call of the walk: request and reply as they went over the wire.
  void Add(const uint8_t* input, size_t inputSize, const uint8_t* output, size_t outputSize, bool succeeded);

  bool HasInformation() const { return m_hasInformation; }
  const Bytes& Information() const { return m_information; } // the 12-byte reply
  const std::vector<Bytes>& Structures() const { return m_structures; }
  unsigned Calls() const { return m_calls; }

private:
  bool m_hasInformation = false;
  Bytes m_information;
  std::vector<Bytes> m_structures;
  unsigned m_calls = 0;
};

// A `dmidecode --dump-bin` image of the structures, in the order given.
Bytes DumpOfStructures(const std::vector<Bytes>& structures, uint8_t major, uint8_t minor);
// A dump of the table of an RSMB blob (GetSystemFirmwareTable's layout), as the firmware gave it; empty when
// the blob holds none.
Bytes DumpOfRsmb(const uint8_t* blob, size_t size);

// Blanks every identifier in the table of a dump, keeping every length: the serial number and asset tag strings
// of types 1 to 4, 17, 22 and 39 (by their fields' offsets, each inside its structure's length) by asterisks,
// the system UUID by zeroes and the battery's SBDS serial number by zero. Then every copy of such a text in
// the strings no field names (types 11, 12, 126 and the vendors' from 128 on) is blanked too, unless the text
// also stands in a named string of another field: it is then a name or a placeholder ("To Be Filled By
// O.E.M.", a processor name in its asset tag), as the table shows it elsewhere. A string that the program's
// own rows read (BIOS version, system manufacturer, product and version, processor name) stays as it is even
// where an identifier field names it too. Returns how many fields and strings it changed.
unsigned RedactDump(Bytes& dump);
// Asterisks as long as the text, for a serial number elsewhere.
std::wstring Placeholder(const std::wstring& text);
// A registry value's data with every character of a string type (and every byte of another type) but its
// NULs made an asterisk: the same type and length, nothing of the text.
Bytes RedactRegistryValue(uint32_t type, const Bytes& data);

// Every file a capture may write: the names a capture owns in its folder.
inline constexpr const wchar_t* kCaptureFiles[] = {L"smbios.bin",  L"wmi.ini",     L"registry.reg",
                                                   L"oeminfo.ini", L"summary.txt", L"capture.txt",
                                                   L"no-driver-service", L"firmware-table", L"wmi-table"};

// What a folder named for a capture holds: nothing, an earlier capture (its capture.txt is this tool's, and
// nothing but the files a capture writes is there), or anything else, which a capture must not touch.
enum class FolderContents { kEmpty, kEarlierCapture, kOther };
FolderContents ClassifyFolder(const std::vector<std::wstring>& names, bool notesAreOurs);
// Whether the first bytes of a capture.txt are this tool's.
bool NotesAreOurs(const std::string& head);

// The folder beside `leaf` in which the capture of process `pid` is written, or in which it sets the earlier
// capture aside while it puts the new one in place.
std::wstring WorkFolderName(const std::wstring& leaf, uint32_t pid, bool earlier);
// Whether `name` is such a folder of `leaf`; if so, whose and which.
bool ParseWorkFolderName(const std::wstring& name, const std::wstring& leaf, uint32_t& pid, bool& earlier);
// The name of a capture made without a folder named: "KCCCapture 2024-05-31 14-05-09".
std::wstring DatedFolderName(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                             unsigned second);

// One value line of a version 5 registry file: a string or a DWORD as regedit writes them when the data are
// exactly that, else hex(type) with the bytes as they are.
std::wstring RegistryValueLine(const std::wstring& name, uint32_t type, const Bytes& data);

// A HKLM key of the 32-bit view as 64-bit Windows' regedit names it: "SOFTWARE\\X" becomes
// "SOFTWARE\\WOW6432Node\\X" (the prefix in any letter case); another path stays as it is.
std::wstring Wow6432Path(const std::wstring& path);

// Wine's name for the Windows that GetVersionEx reports, for its Version setting; empty when it has none.
std::wstring WineVersionName(uint32_t major, uint32_t minor);

} // namespace capture

#endif
