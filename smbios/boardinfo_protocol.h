// Wire format of the boardinfo DMI access driver: control code, requests and replies (SMBIOS 50h/51h).
#ifndef KCC_SMBIOS_BOARDINFO_PROTOCOL_H
#define KCC_SMBIOS_BOARDINFO_PROTOCOL_H

#include <stdint.h>

// CTL_CODE(0x22, 0, METHOD_BUFFERED, FILE_ANY_ACCESS); both requests use it, the first word picks the function.
#define IOCTL_BOARDINFO_CALL 0x00220000u

#define BOARDINFO_GET_INFO 0x0050u
#define BOARDINFO_GET_STRUCTURE 0x0051u

#define BOARDINFO_STATUS_OK 0x00u
#define BOARDINFO_STATUS_NO_STRUCTURE 0x83u // no structure for this handle; the caller asks again
#define BOARDINFO_LAST_HANDLE 0xFFFFu

#pragma pack(push, 1)
typedef struct BoardInfoInfoRequest {
  uint16_t function; // BOARDINFO_GET_INFO
  uint16_t reserved;
} BoardInfoInfoRequest;

typedef struct BoardInfoInfoReply {
  uint8_t status;
  uint8_t revision;
  uint16_t structureCount;
  uint16_t largestStructure; // formatted area plus strings, in bytes
  uint32_t tableAddress;     // physical; the structure request takes it shifted right by 4
  uint16_t tableSize;
} BoardInfoInfoReply;

typedef struct BoardInfoStructureRequest {
  uint16_t function; // BOARDINFO_GET_STRUCTURE
  uint16_t handle;   // 0 in a walk's first request: the first structure
  uint16_t segment;  // low 16 bits of tableAddress >> 4
  uint16_t reserved;
} BoardInfoStructureRequest;

// The structure reply is status (1), next handle (2), then the structure with its string set.
#define BOARDINFO_STRUCTURE_REPLY_HEADER 3u
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(BoardInfoInfoRequest) == 4, "information request is 4 bytes");
static_assert(sizeof(BoardInfoInfoReply) == 12, "information reply is 12 bytes");
static_assert(sizeof(BoardInfoStructureRequest) == 8, "structure request is 8 bytes");
#endif

#endif
