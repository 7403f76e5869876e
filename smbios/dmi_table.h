// The boardinfo driver's table logic: finding the SMBIOS table in an image, indexing it, answering requests.
// Freestanding C++ (no run-time library, no Windows headers): the driver links it, and so do the native tests.
#ifndef KCC_SMBIOS_DMI_TABLE_H
#define KCC_SMBIOS_DMI_TABLE_H

#include <stddef.h>
#include <stdint.h>

// Where the table lies inside a file or firmware blob, and which SMBIOS version it claims.
struct DmiImage {
  const uint8_t* table;
  size_t size; // bytes available, already clipped to the image
  uint8_t major;
  uint8_t minor;
};

// A `dmidecode --dump-bin` image ("_SM_", "_SM3_" or "_DMI_" entry point at 0) or, failing that, an
// RSMB blob (8-byte header, then the table). False when the image is too short or its table lies outside.
bool LocateDmiTable(const uint8_t* image, size_t size, DmiImage* out);
// An RSMB blob as GetSystemFirmwareTable and SystemFirmwareTableInformation deliver it.
bool LocateRsmbTable(const uint8_t* blob, size_t size, DmiImage* out);

// A dump's table follows its entry point at this offset, as dmidecode writes it.
const uint32_t kDmiDumpTableOffset = 0x20;
// Fills `header` (kDmiDumpTableOffset bytes) with a dump's entry point, checksums included: "_SM_" below
// version 3, "_SM3_" from 3.0 on or for a table longer than 0xFFFF bytes.
void WriteDmiDumpHeader(uint8_t major, uint8_t minor, uint32_t length, uint16_t count, uint8_t* header);

// Bytes of the structure at `at` with its string set (double NUL included), or 0 when it is not complete
// within `available` bytes or its length byte is below 4.
size_t DmiStructureSize(const uint8_t* at, size_t available);

struct DmiEntry {
  uint32_t offset; // from the table's start
  uint32_t size;   // formatted area and string set
  uint16_t handle;
};

// The complete structures of a table, in table order. The walk stops after the end-of-table
// structure (type 127), at the first incomplete or malformed structure, or at the end of the bytes.
struct DmiTable {
  const uint8_t* data;
  uint32_t count;
  uint32_t largest; // biggest entry size
  uint32_t length;  // bytes of all complete structures
  const DmiEntry* entries;
  uint8_t major;
};

// How many structures IndexDmiTable will find (the size of the entry array it needs).
uint32_t CountDmiStructures(const uint8_t* table, size_t size);
// Fills `entries` (room for `capacity`) and describes the table in `out`; `out` refers to both arrays.
void IndexDmiTable(const DmiImage& image, DmiEntry* entries, uint32_t capacity, DmiTable* out);

// Test settings of the driver, read from its Parameters key at start. A zero-initialised value means none.
struct BoardInfoFaults {
  uint32_t failInfo;            // FailInfo: non-zero fails the information request
  uint32_t infoStatus;          // InfoStatus: status byte of the information reply
  bool hasStructureCount;       // StructureCount: the count the information reply gives
  uint32_t structureCount;
  bool hasLargestStructure;     // LargestStructure: the largest size the information reply gives
  uint32_t largestStructure;
  bool hasNoStructureHandle;    // NoStructureHandle: answer 0x83 for this handle ...
  uint32_t noStructureHandle;
  uint32_t noStructureCount;    // NoStructureCount: ... this many times per walk (0xFFFFFFFF: always)
  uint32_t structureStatus;     // StructureStatus: status byte of structure replies
  bool hasStructureStatusHandle; // StructureStatusHandle: only for this handle
  uint32_t structureStatusHandle;
  uint32_t failStructure;       // FailStructure: the n-th structure request of a walk (1-based) fails
  uint32_t copyTruncated;       // CopyTruncated: too small a reply buffer gets what fits, status 0
};

// Physical address the information reply gives for the table; nothing reads memory there.
const uint32_t kBoardInfoTableAddress = 0x000F1000u;
// Status byte for a structure that does not fit the caller's buffer (PnP BIOS BUFFER_TOO_SMALL).
const uint8_t kBoardInfoStatusBufferTooSmall = 0x8Cu;
// Status byte for a function code other than 50h and 51h (PnP BIOS UNKNOWN_FUNCTION).
const uint8_t kBoardInfoStatusUnknownFunction = 0x81u;

// What the driver serves: the table and the settings; read-only once the device is up.
struct BoardInfoServer {
  DmiTable table;
  BoardInfoFaults faults;
};

void InitBoardInfoServer(BoardInfoServer* server, const DmiTable& table, const BoardInfoFaults& faults);

// The walk of one open handle (one file object): two callers walking at once never see each other's
// state. A walk starts at each information request. Fields change atomically.
struct BoardInfoWalk {
  uint32_t structureRequests; // since this handle's latest information request
  uint32_t noStructureLeft;   // 0x83 answers still due for faults.noStructureHandle
  uint32_t atStart;           // from an information request until a structure is served: handle 0 means "first"
  uint32_t following;         // index of the structure after the last one served; kBoardInfoNowhere before any
};

// BoardInfoWalk::following before a structure is served.
const uint32_t kBoardInfoNowhere = 0xFFFFFFFFu;

// A handle as it is opened: no walk started yet, so handle 0 names the structure whose handle is 0.
void InitBoardInfoWalk(const BoardInfoServer* server, BoardInfoWalk* walk);

enum BoardInfoResult {
  kBoardInfoReplied,          // `*written` bytes of reply are in the output buffer
  kBoardInfoInvalidParameter, // input too short for its function
  kBoardInfoBufferTooSmall,   // output too short for even the reply header
  kBoardInfoDeviceError,      // a fault setting asked for a failed request
};

// One IOCTL_BOARDINFO_CALL on the handle whose walk is `walk`. `in` and `out` may be the same buffer
// (METHOD_BUFFERED): the request is read completely before the reply is written. Nothing outside
// [out, out + outSize) is written.
BoardInfoResult BoardInfoCall(const BoardInfoServer* server, BoardInfoWalk* walk, const void* in, size_t inSize,
                              void* out, size_t outSize, size_t* written);

#endif
