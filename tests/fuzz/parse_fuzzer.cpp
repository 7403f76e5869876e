// libFuzzer target: the structure parsers and string lookup over raw tables and table images.
#include <stdint.h>
#include <stdlib.h>

#include <vector>

#include "sources/machine_info.h"
#include "sources/smbios_image.h"

namespace {
// Each structure lands in a buffer of exactly its own bytes, so that any read past it is caught.
void ParseRawTable(const uint8_t* table, size_t size, CMachineInfo& info) {
  size_t at = 0;
  while (at < size) {
    size_t end = at + (size - at >= 2 ? table[at + 1] : 0);
    if (end < at + 2) end = at + 2;
    while (end + 1 < size && (table[end] != 0 || table[end + 1] != 0)) ++end;
    end = end + 2 < size ? end + 2 : size;
    const std::vector<uint8_t> bytes(table + at, table + end);
    if (const std::optional<SmbiosStructure> structure = SmbiosStructure::At(bytes.data(), bytes.size())) {
      info.DispatchStructure(*structure);
      for (unsigned n = 0; n < 4; ++n) CMachineInfo::GetDmiString(structure->StringSet(), n);
      CMachineInfo::GetDmiString(structure->StringSet(), 255);
    }
    at = end;
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CMachineInfo info;
  SmbiosImage image;
  std::string error;
  if (LoadSmbiosImage(data, size, image, error)) {
    // A well-formed image served by the driver stand-in always walks to its end.
    SmbiosTableDevice device(image);
    if (info.WalkTable(device) != 31) abort();
    if (device.StructureRequests() > device.StructureCount()) abort();
    const std::vector<uint8_t> dump = MakeDumpImage(image);
    SmbiosImage again;
    if (!LoadSmbiosImage(dump.data(), dump.size(), again, error) || again.table != image.table) abort();
    ParseRawTable(image.table.data(), image.table.size(), info);
  } else {
    ParseRawTable(data, size, info);
  }
  info.FormatTexts();
  return 0;
}
