// SMBIOS table images (dmidecode --dump-bin files, raw RSMB blobs) and a device that serves one as the driver would.
#ifndef KCC_SOURCES_SMBIOS_IMAGE_H
#define KCC_SOURCES_SMBIOS_IMAGE_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "sources/dmi_device.h"

struct SmbiosImage {
  uint8_t majorVersion = 0;
  uint8_t minorVersion = 0;
  uint32_t tableAddress = 0; // as the entry point gives it; the RSMB blob has none
  std::vector<uint8_t> table;
};

// An entry point "_SM_" (31 bytes) or "_SM3_" (24 bytes) at offset 0 with the table where it says
// (0x20 in a dump), or an 8-byte RSMB header (method, major, minor, DMI revision, u32 length) and the table.
bool LoadSmbiosImage(const uint8_t* file, size_t size, SmbiosImage& image, std::string& error);
bool LoadSmbiosImageFile(const std::string& path, SmbiosImage& image, std::string& error);

// A dmidecode --dump-bin image of a table: a "_SM3_" entry point and the table at 0x20.
std::vector<uint8_t> MakeDumpImage(const SmbiosImage& image);

// One structure in a table: formatted area plus string set with its double NUL.
struct SmbiosSpan {
  size_t offset;
  size_t size;
  uint16_t handle;
  uint8_t type;
};

// The structures up to the end-of-table structure (127) or to the first one that is cut off.
std::vector<SmbiosSpan> SplitSmbiosTable(const uint8_t* table, size_t size);

// Answers the two requests of the boardinfo protocol from a table: handle 0 is the first structure
// in a walk's first structure request and the structure whose handle is 0 after it, an unknown handle gets 0x83, the last structure's next handle is 0xFFFF.
class SmbiosTableDevice : public IDmiDevice {
public:
  explicit SmbiosTableDevice(const SmbiosImage& image);
  bool Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) override;

  unsigned StructureRequests() const { return m_structureRequests; }
  size_t StructureCount() const { return m_spans.size(); }

private:
  SmbiosImage m_image;
  std::vector<SmbiosSpan> m_spans;
  unsigned m_structureRequests = 0;
  bool m_atStart = false; // from an information request to the first structure served
};

#endif
