// The walk of the SMBIOS structure table through the boardinfo driver's requests, over the device seam.
#include "sources/machine_info.h"

#include <new>
#include <utility>
#include <vector>

#include "smbios/boardinfo_protocol.h"
#include "smbios/table_device.h"

namespace {
uint16_t ReadWord(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)); }
uint32_t ReadDword(const uint8_t* bytes) { return ReadWord(bytes) | (static_cast<uint32_t>(ReadWord(bytes + 2)) << 16); }
} // namespace

int CMachineInfo::WalkTable(IDmiDevice& device) {
  const BoardInfoInfoRequest infoRequest = {BOARDINFO_GET_INFO, 0};
  uint8_t info[sizeof(BoardInfoInfoReply)] = {};
  if (!device.Call(&infoRequest, sizeof(infoRequest), info, sizeof(info))) return kWalkInformationFailed;
  if (info[0] != BOARDINFO_STATUS_OK) return kWalkInformationRefused;
  const uint16_t structureCount = ReadWord(info + 2);
  const uint16_t largestStructure = ReadWord(info + 4);
  const uint32_t tableAddress = ReadDword(info + 6);

  // Zero-filled: behind a short reply lie NULs or what earlier replies left, never unread heap bytes.
  std::vector<uint8_t> reply;
  try {
    reply.assign(largestStructure + BOARDINFO_STRUCTURE_REPLY_HEADER, 0);
  } catch (const std::bad_alloc&) {
    return kWalkNoMemory;
  }

  BoardInfoStructureRequest request = {BOARDINFO_GET_STRUCTURE, 0, static_cast<uint16_t>(tableAddress >> 4), 0};
  // Bounded by the count even when the driver keeps answering 0x83 or never says 0xFFFF.
  for (unsigned requests = 0; requests < structureCount; ++requests) {
    if (!device.Call(&request, sizeof(request), reply.data(), static_cast<uint32_t>(reply.size()))) return kWalkStructureFailed;
    const uint8_t status = reply[0];
    if (status == BOARDINFO_STATUS_NO_STRUCTURE) continue; // same handle again
    if (status != BOARDINFO_STATUS_OK) return kWalkStructureRefused;
    request.handle = ReadWord(reply.data() + 1);
    if (const std::optional<SmbiosStructure> structure =
            SmbiosStructure::At(reply.data() + BOARDINFO_STRUCTURE_REPLY_HEADER, reply.size() - BOARDINFO_STRUCTURE_REPLY_HEADER))
      DispatchStructure(*structure);
    if (request.handle == BOARDINFO_LAST_HANDLE) break;
  }
  return kWalkComplete;
}

int CMachineInfo::WalkFirmwareTable(std::vector<uint8_t> blob, IDmiCallObserver* observer, TableSource source) {
  TableDevice device(std::move(blob), TableDevice::kRsmb);
  // A blob without a structure gives nothing: the caller keeps what the driver's side said.
  if (device.Table().count == 0) return 0;
  device.SetObserver(observer);
  m_tableSource = source;
  return WalkTable(device);
}

int CMachineInfo::WalkWindowsTables(int driverStatus, const TableFetch& firmware, const TableFetch& wmi,
                                    IDmiCallObserver* observer) {
  // A driver that opened has the last word, also when its walk failed.
  if (driverStatus > kWalkNoDevice) return driverStatus;
  // No driver to open, as on every 64-bit Windows that refuses unsigned drivers: Windows' own copy of the
  // table; on 32-bit XP, which has no firmware table, WMI's.
  if (const int walked = WalkFirmwareTable(firmware(), observer, TableSource::kFirmware)) return walked;
  if (const int walked = WalkFirmwareTable(wmi(), observer, TableSource::kWmi)) return walked;
  return driverStatus;
}
