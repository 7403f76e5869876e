// Reading Windows' firmware table: the size query, then the read, again while the table grows.
#include "sources/firmware_table.h"

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
