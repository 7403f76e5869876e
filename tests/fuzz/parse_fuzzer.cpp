// libFuzzer target: the structure parsers and string lookup over raw tables, table images and firmware blobs.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <cstring>

#include <vector>

#include "sources/machine_info.h"
#include "smbios/dmi_table.h"
#include "tests/support/table_server.h"

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
  tablebuilder::Driver device(std::vector<uint8_t>(data, data + size));
  if (device.Located()) {
    // An image the driver's table logic accepts always walks to its end.
    if (info.WalkTable(device) != 31) abort();
    if (device.StructureRequests() > device.Table().count) abort();
    // Behind an entry point of the driver's writing, the same table is found again.
    const DmiImage& view = device.View();
    std::vector<uint8_t> dump(kDmiDumpTableOffset, 0);
    WriteDmiDumpHeader(view.major, view.minor, static_cast<uint32_t>(view.size), 0, dump.data());
    dump.insert(dump.end(), view.table, view.table + view.size);
    DmiImage again{};
    if (!LocateDmiTable(dump.data(), dump.size(), &again) || again.size != view.size ||
        std::memcmp(again.table, view.table, view.size) != 0)
      abort();
    ParseRawTable(view.table, view.size, info);
  } else {
    ParseRawTable(data, size, info);
  }
  info.FormatTexts();
  // The same bytes as Windows' firmware table: nothing to walk, or a walk to the end.
  CMachineInfo firmware;
  const int status = firmware.WalkFirmwareTable(std::vector<uint8_t>(data, data + size));
  if (status != 0 && status != 31) abort();
  return 0;
}
