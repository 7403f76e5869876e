// The capture's file formats, apart from Windows: the dump rebuilt from driver replies, redaction, .reg lines.
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

// Overwrites the serial number strings of types 1, 2 and 3 with asterisks of the same length and zeroes the
// type 1 UUID, in the table of a dump. Returns how many fields it changed.
unsigned RedactDump(Bytes& dump);
// Asterisks as long as the text, for a serial number elsewhere.
std::wstring Placeholder(const std::wstring& text);

// One value line of a version 5 registry file: a string or a DWORD as regedit writes them when the data are
// exactly that, else hex(type) with the bytes as they are.
std::wstring RegistryValueLine(const std::wstring& name, uint32_t type, const Bytes& data);

// Wine's name for the Windows that GetVersionEx reports, for its Version setting; empty when it has none.
std::wstring WineVersionName(uint32_t major, uint32_t minor);

} // namespace capture

#endif
