// Reading Windows' firmware table: the size query, then the read, again while the table grows; or WMI's copy.
#include "sources/firmware_table.h"

#include <algorithm>
#include <new>

std::vector<uint8_t> FetchFirmwareTable(const FirmwareTableGetter& get) {
  uint32_t needed = get(nullptr, 0);
  for (int attempt = 0; attempt < kFirmwareTableAttempts; ++attempt) {
    if (needed == 0 || needed > kMaxFirmwareTableBytes) return {};
    std::vector<uint8_t> blob;
    try {
      blob.assign(needed, 0);
    } catch (const std::bad_alloc&) {
      return {};
    }
    const uint32_t answer = get(blob.data(), needed);
    if (answer == 0) return {};
    if (answer <= needed) {
      blob.resize(answer);
      return blob;
    }
    needed = answer; // grown since the size query: nothing was copied, ask with the new size
  }
  return {};
}

namespace {
// A byte of the header: a number that fits, else 0.
uint8_t HeaderByte(const WmiValue& value) {
  return value.isNumber && value.number >= 0 && value.number <= 0xFF ? static_cast<uint8_t>(value.number) : 0;
}
} // namespace

std::vector<uint8_t> RsmbFromWmi(const WmiValue& data, const WmiValue& size, const WmiValue& major,
                                 const WmiValue& minor, const WmiValue& dmiRevision, const WmiValue& used20) {
  if (data.type != kWmiByteArrayType || data.bytes.empty() || data.bytes.size() > kMaxFirmwareTableBytes) return {};
  uint32_t length = static_cast<uint32_t>(data.bytes.size());
  // A Size of 0 is no size given, not an empty table.
  if (size.isNumber && size.number > 0 && static_cast<uint64_t>(size.number) < length)
    length = static_cast<uint32_t>(size.number);
  std::vector<uint8_t> blob(8 + static_cast<size_t>(length), 0);
  blob[0] = used20.isNumber && used20.number != 0 ? 1 : 0;
  blob[1] = HeaderByte(major);
  blob[2] = HeaderByte(minor);
  blob[3] = HeaderByte(dmiRevision);
  for (int i = 0; i < 4; ++i) blob[4 + i] = static_cast<uint8_t>(length >> (8 * i));
  std::copy_n(data.bytes.data(), length, blob.data() + 8);
  return blob;
}
