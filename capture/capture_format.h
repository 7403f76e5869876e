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
// the strings no field names (types 11, 12, 126 and the vendors' from 128 on) is blanked too, in any letter
// case, and so is the UUID written as text there (8-4-4-4-12, in either byte order); unless the text also
// stands in a named string of another field: it is then a name or a placeholder ("To Be Filled By O.E.M.", a
// processor name in its asset tag), as the table shows it elsewhere. A string that the program's own rows read
// (BIOS version, system manufacturer, product and version, processor name) stays as it is even where an
// identifier field names it too. Structures after the end-of-table structure count like any other: a driver
// may serve them. Returns how many fields and strings it changed.
unsigned RedactDump(Bytes& dump);
// The system UUID as text, as firmware and tools write it: SMBIOS 2.6's order (the first three fields
// little-endian) and the order before it (all bytes as they stand).
std::vector<std::string> UuidTexts(const uint8_t* uuid);
// What the program reads of an oeminfo.ini, in the file's own encoding (UTF-16 or UTF-8 with their byte-order
// mark, UTF-16 without one, or 8-bit): each [General] section's header and its Manufacturer and Model lines,
// byte for byte, and nothing else.
Bytes RedactOemInfo(const Bytes& file);
// Asterisks as long as the text, for a serial number elsewhere.
std::wstring Placeholder(const std::wstring& text);
// A registry value's data with every character of a string type (and every byte of another type) but its
// NULs made an asterisk: the same type and length, nothing of the text.
Bytes RedactRegistryValue(uint32_t type, const Bytes& data);

// The command line: FOLDER, /redact, /summary, /json. Options start with / or -, any letter case, as the
// program's own switches; an option it does not know, a second folder, a folder with /summary or /json
// without it is a usage error, never a folder name.
struct Options {
  std::wstring folder;
  bool redact = false;
  bool summary = false;
  bool json = false;
  bool usage = false;     // not understood: the usage is shown
  std::wstring refused;   // the argument that was not understood
};
Options ParseOptions(const std::vector<std::wstring>& arguments);

// A text as a JSON string, quotes included; every character outside printable ASCII as \uXXXX, so that the
// bytes read the same in every code page a script may decode them in.
std::wstring JsonString(const std::wstring& text);

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

// The folders a capture of process `pid` keeps beside the folder `leaf` named for it: FOLDER.kcccapture-PID
// while it writes, FOLDER.kcccapture-PID-moving once it is complete and its files move into FOLDER (capture.txt
// last), and FOLDER.kcccapture-PID-earlier for the earlier capture's files meanwhile. The folder named for it is
// never renamed once it exists: it may be some process's current directory, which Windows does not rename.
enum class WorkFolder { kWriting, kMovingIn, kEarlier };
std::wstring WorkFolderName(const std::wstring& leaf, uint32_t pid, WorkFolder kind);
// Whether `name` is such a folder of `leaf`; if so, whose and which.
bool ParseWorkFolderName(const std::wstring& name, const std::wstring& leaf, uint32_t& pid, WorkFolder& kind);

// Whether a capture is still at work, from opening its process: opened and not ended, or not opened for any
// reason but that no such process exists (another user's capture: access denied).
bool CaptureRunning(bool opened, bool ended, uint32_t openError);

// What an ended capture left beside the folder, by its folders.
struct Leftovers {
  bool writing = false;
  bool movingIn = false;
  bool movingInHasNotes = false; // its capture.txt, moved last, is still there: the move did not end
  bool earlier = false;
};
enum class LeftoverPlan {
  kLeave,          // its capture is running
  kRemove,         // it ended before it touched the folder, or after its capture was in place
  kPutEarlierBack, // it ended while it set the earlier capture aside: the earlier one goes back
  kUndoMoveIn,     // it ended while its files moved in: those go, the earlier capture goes back
};
LeftoverPlan PlanLeftovers(bool running, const Leftovers& found, bool targetExists);

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
