// The boardinfo driver's table logic: locating and indexing the SMBIOS table, and the two requests.
#include "smbios/dmi_table.h"

#include "smbios/boardinfo_protocol.h"

namespace {

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

void Write16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Write32(uint8_t* p, uint32_t v) {
  Write16(p, static_cast<uint16_t>(v));
  Write16(p + 2, static_cast<uint16_t>(v >> 16));
}

uint16_t Clamp16(uint32_t v) { return v > 0xFFFFu ? 0xFFFFu : static_cast<uint16_t>(v); }

bool StartsWith(const uint8_t* image, size_t size, const char* tag) {
  size_t i = 0;
  for (; tag[i] != '\0'; ++i) {
    if (i >= size || image[i] != static_cast<uint8_t>(tag[i])) return false;
  }
  return true;
}

// The table at `address` taken as an offset into the image (0x20 in a dump), cut to what the image holds.
bool PlaceTable(const uint8_t* image, size_t size, uint64_t address, uint64_t length, DmiImage* out) {
  if (address > size) return false;
  size_t available = size - static_cast<size_t>(address);
  out->table = image + address;
  out->size = length < available ? static_cast<size_t>(length) : available;
  return true;
}

// Sets the byte at `at` so that the `length` bytes from `from` add up to zero.
void Checksum(uint8_t* bytes, size_t from, size_t length, size_t at) {
  bytes[at] = 0;
  uint8_t sum = 0;
  for (size_t i = from; i < from + length; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  bytes[at] = static_cast<uint8_t>(0x100 - sum);
}

void WriteTag(uint8_t* at, const char* tag) {
  for (size_t i = 0; tag[i] != '\0'; ++i) at[i] = static_cast<uint8_t>(tag[i]);
}

// Calls visit(offset, size) for each complete structure in table order; returns how many it visited.
template <typename Visit>
uint32_t WalkStructures(const uint8_t* table, size_t size, uint32_t limit, Visit visit) {
  size_t offset = 0;
  uint32_t count = 0;
  while (offset < size && count < limit) {
    size_t structureSize = DmiStructureSize(table + offset, size - offset);
    if (structureSize == 0) break;
    visit(offset, structureSize);
    ++count;
    uint8_t type = table[offset];
    offset += structureSize;
    if (type == 127) break;
  }
  return count;
}

// One more 0x83 answer for the configured handle, if any are still due in this walk.
bool TakeNoStructureAnswer(const BoardInfoServer* server, BoardInfoWalk* walk) {
  if (server->faults.noStructureCount == 0xFFFFFFFFu) return true;
  uint32_t left = __atomic_load_n(&walk->noStructureLeft, __ATOMIC_SEQ_CST);
  while (left != 0) {
    if (__atomic_compare_exchange_n(&walk->noStructureLeft, &left, left - 1, false, __ATOMIC_SEQ_CST,
                                    __ATOMIC_SEQ_CST))
      return true;
  }
  return false;
}

BoardInfoResult AnswerInformation(const BoardInfoServer* server, BoardInfoWalk* walk, uint8_t* out,
                                  size_t* written) {
  // Each walk starts with an information request: its counters start again here, and its first
  // structure request may ask for handle 0 to mean the table's first structure.
  __atomic_store_n(&walk->structureRequests, 0u, __ATOMIC_SEQ_CST);
  __atomic_store_n(&walk->noStructureLeft, server->faults.noStructureCount, __ATOMIC_SEQ_CST);
  __atomic_store_n(&walk->atStart, 1u, __ATOMIC_SEQ_CST);
  __atomic_store_n(&walk->following, kBoardInfoNowhere, __ATOMIC_SEQ_CST);
  const BoardInfoFaults& faults = server->faults;
  if (faults.failInfo != 0) return kBoardInfoDeviceError;

  const DmiTable& table = server->table;
  uint8_t reply[sizeof(BoardInfoInfoReply)];
  reply[0] = static_cast<uint8_t>(faults.infoStatus);
  reply[1] = table.major;
  Write16(reply + 2, Clamp16(faults.hasStructureCount ? faults.structureCount : table.count));
  Write16(reply + 4, Clamp16(faults.hasLargestStructure ? faults.largestStructure : table.largest));
  Write32(reply + 6, kBoardInfoTableAddress);
  Write16(reply + 10, Clamp16(table.length));
  __builtin_memcpy(out, reply, sizeof(reply));
  *written = sizeof(reply);
  return kBoardInfoReplied;
}

// Where the table holds `handle`, or table.count. Handle 0 is "the first structure" only at a walk's start, and
// the structure after the last one served wins over an earlier one repeating its handle (docs/firmware.md).
uint32_t FindStructure(const DmiTable& table, uint16_t handle, bool atStart, uint32_t following) {
  if (handle == 0 && atStart) return 0;
  if (following < table.count && table.entries[following].handle == handle) return following;
  uint32_t index = 0;
  while (index < table.count && table.entries[index].handle != handle) ++index;
  return index;
}

BoardInfoResult AnswerStructure(const BoardInfoServer* server, BoardInfoWalk* walk, uint16_t handle, uint8_t* out,
                                size_t outSize, size_t* written) {
  const BoardInfoFaults& faults = server->faults;
  uint32_t number = __atomic_add_fetch(&walk->structureRequests, 1u, __ATOMIC_SEQ_CST);
  if (faults.failStructure != 0 && number == faults.failStructure) return kBoardInfoDeviceError;

  uint8_t status = BOARDINFO_STATUS_OK;
  const DmiTable& table = server->table;
  uint32_t index = table.count;
  uint8_t forced = static_cast<uint8_t>(faults.structureStatus);
  if (faults.hasNoStructureHandle && handle == static_cast<uint16_t>(faults.noStructureHandle) &&
      TakeNoStructureAnswer(server, walk)) {
    status = BOARDINFO_STATUS_NO_STRUCTURE;
  } else if (forced != 0 &&
             (!faults.hasStructureStatusHandle || handle == static_cast<uint16_t>(faults.structureStatusHandle))) {
    status = forced;
  } else {
    index = FindStructure(table, handle, __atomic_load_n(&walk->atStart, __ATOMIC_SEQ_CST) != 0,
                          __atomic_load_n(&walk->following, __ATOMIC_SEQ_CST));
  }
  if (status == BOARDINFO_STATUS_OK && index >= table.count) status = BOARDINFO_STATUS_NO_STRUCTURE;

  const DmiEntry* entry = status == BOARDINFO_STATUS_OK ? &table.entries[index] : nullptr;
  size_t copy = 0;
  if (entry != nullptr) {
    size_t room = outSize - BOARDINFO_STRUCTURE_REPLY_HEADER;
    copy = entry->size;
    if (copy > room) {
      if (faults.copyTruncated != 0) {
        copy = room;
      } else {
        status = kBoardInfoStatusBufferTooSmall;
        entry = nullptr;
        copy = 0;
      }
    }
  }
  uint16_t next = BOARDINFO_LAST_HANDLE;
  if (entry != nullptr) {
    // The walk has moved past its start once a structure is served; a 0x83 keeps it where it was.
    __atomic_store_n(&walk->atStart, 0u, __ATOMIC_SEQ_CST);
    __atomic_store_n(&walk->following, index + 1, __ATOMIC_SEQ_CST);
    if (index + 1 < table.count) next = table.entries[index + 1].handle;
  }
  out[0] = status;
  Write16(out + 1, next);
  if (copy != 0) __builtin_memcpy(out + BOARDINFO_STRUCTURE_REPLY_HEADER, table.data + entry->offset, copy);
  *written = BOARDINFO_STRUCTURE_REPLY_HEADER + copy;
  return kBoardInfoReplied;
}

} // namespace

bool LocateRsmbTable(const uint8_t* blob, size_t size, DmiImage* out) {
  if (blob == nullptr || size < 8) return false;
  out->major = blob[1];
  out->minor = blob[2];
  return PlaceTable(blob, size, 8, Read32(blob + 4), out);
}

void WriteDmiDumpHeader(uint8_t major, uint8_t minor, uint32_t length, uint16_t count, uint8_t* header) {
  for (uint32_t i = 0; i < kDmiDumpTableOffset; ++i) header[i] = 0;
  if (major >= 3 || length > 0xFFFFu) {
    WriteTag(header, "_SM3_");
    header[0x06] = 0x18;
    header[0x07] = major >= 3 ? major : 3;
    header[0x08] = major >= 3 ? minor : 0;
    header[0x0A] = 0x01; // entry point revision 3.0
    Write32(header + 0x0C, length);
    Write32(header + 0x10, kDmiDumpTableOffset);
    Checksum(header, 0, 0x18, 0x05);
    return;
  }
  WriteTag(header, "_SM_");
  header[0x05] = 0x1F;
  header[0x06] = major;
  header[0x07] = minor;
  WriteTag(header + 0x10, "_DMI_");
  Write16(header + 0x16, static_cast<uint16_t>(length));
  Write32(header + 0x18, kDmiDumpTableOffset);
  Write16(header + 0x1C, count);
  header[0x1E] = static_cast<uint8_t>((major << 4) | (minor & 0x0F));
  Checksum(header, 0x10, 0x0F, 0x15);
  Checksum(header, 0, 0x1F, 0x04);
}

bool LocateDmiTable(const uint8_t* image, size_t size, DmiImage* out) {
  if (image == nullptr) return false;
  if (StartsWith(image, size, "_SM3_")) {
    if (size < 0x18) return false;
    out->major = image[7];
    out->minor = image[8];
    uint64_t address = Read32(image + 0x10) | (static_cast<uint64_t>(Read32(image + 0x14)) << 32);
    return PlaceTable(image, size, address, Read32(image + 0x0C), out);
  }
  if (StartsWith(image, size, "_SM_")) {
    if (size < 0x1F) return false;
    out->major = image[6];
    out->minor = image[7];
    return PlaceTable(image, size, Read32(image + 0x18), Read16(image + 0x16), out);
  }
  if (StartsWith(image, size, "_DMI_")) {
    if (size < 0x0F) return false;
    out->major = image[0x0E] >> 4;
    out->minor = image[0x0E] & 0x0F;
    return PlaceTable(image, size, Read32(image + 0x08), Read16(image + 0x06), out);
  }
  return LocateRsmbTable(image, size, out);
}

size_t DmiStructureSize(const uint8_t* at, size_t available) {
  if (available < 4) return 0;
  size_t length = at[1];
  if (length < 4 || length > available) return 0;
  // The string set ends at the first double NUL; a structure without strings has just the two NULs.
  for (size_t i = length; i + 1 < available; ++i) {
    if (at[i] == 0 && at[i + 1] == 0) return i + 2;
  }
  return 0;
}

uint32_t CountDmiStructures(const uint8_t* table, size_t size) {
  return WalkStructures(table, size, 0xFFFFFFFFu, [](size_t, size_t) {});
}

void IndexDmiTable(const DmiImage& image, DmiEntry* entries, uint32_t capacity, DmiTable* out) {
  uint32_t largest = 0;
  size_t length = 0;
  uint32_t slot = 0;
  WalkStructures(image.table, image.size, entries != nullptr ? capacity : 0, [&](size_t offset, size_t size) {
    DmiEntry& entry = entries[slot++];
    entry.offset = static_cast<uint32_t>(offset);
    entry.size = static_cast<uint32_t>(size);
    entry.handle = Read16(image.table + offset + 2);
    if (size > largest) largest = static_cast<uint32_t>(size);
    length = offset + size;
  });
  out->data = image.table;
  out->count = slot;
  out->largest = largest;
  out->length = static_cast<uint32_t>(length);
  out->entries = entries;
  out->major = image.major;
}

void InitBoardInfoServer(BoardInfoServer* server, const DmiTable& table, const BoardInfoFaults& faults) {
  server->table = table;
  server->faults = faults;
}

void InitBoardInfoWalk(const BoardInfoServer* server, BoardInfoWalk* walk) {
  walk->structureRequests = 0;
  walk->noStructureLeft = server->faults.noStructureCount;
  walk->atStart = 0;
  walk->following = kBoardInfoNowhere;
}

BoardInfoResult BoardInfoCall(const BoardInfoServer* server, BoardInfoWalk* walk, const void* in, size_t inSize,
                              void* out, size_t outSize, size_t* written) {
  *written = 0;
  if (in == nullptr || inSize < 2) return kBoardInfoInvalidParameter;
  // Copy the request first: with buffered transfer the reply overwrites it.
  uint8_t request[sizeof(BoardInfoStructureRequest)] = {};
  __builtin_memcpy(request, in, inSize < sizeof(request) ? inSize : sizeof(request));
  uint8_t* reply = static_cast<uint8_t*>(out);
  switch (Read16(request)) {
  case BOARDINFO_GET_INFO:
    if (inSize < sizeof(BoardInfoInfoRequest)) return kBoardInfoInvalidParameter;
    if (reply == nullptr || outSize < sizeof(BoardInfoInfoReply)) return kBoardInfoBufferTooSmall;
    return AnswerInformation(server, walk, reply, written);
  case BOARDINFO_GET_STRUCTURE:
    if (inSize < sizeof(BoardInfoStructureRequest)) return kBoardInfoInvalidParameter;
    if (reply == nullptr || outSize < BOARDINFO_STRUCTURE_REPLY_HEADER) return kBoardInfoBufferTooSmall;
    return AnswerStructure(server, walk, Read16(request + 2), reply, outSize, written);
  default:
    if (reply == nullptr || outSize < 1) return kBoardInfoBufferTooSmall;
    reply[0] = kBoardInfoStatusUnknownFunction;
    *written = 1;
    return kBoardInfoReplied;
  }
}
