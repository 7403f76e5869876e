// Path rules of the collector's Win32 layer, kept apart so that they build and are tested natively.
#ifndef KCC_SOURCES_MACHINE_PATHS_H
#define KCC_SOURCES_MACHINE_PATHS_H

#include <stddef.h>

#include <string>

// The buffers the collector reads paths and registry values into.
constexpr size_t kMachinePathBuffer = 260;

// Appends "\oeminfo.ini" to the directory in `path`; false, with `path` unchanged, when the result
// would not fit in `capacity` bytes with its terminator.
bool AppendOemFileName(char* path, size_t capacity);

// A registry value naming the driver: the part after the last backslash is the name, the part
// before it the directory to make current during the open.
struct DriverLocation {
  bool hasDirectory = false;
  std::string directory;
  std::string name;
};
// Tells a lead byte of the ANSI code page, whose trail byte may be 0x5C (in code page 932 表 is
// 0x95 0x5C): such a pair is one character, never a backslash. Null: a single-byte code page.
typedef bool (*LeadByteTest)(unsigned char byte);
DriverLocation SplitDriverLocation(const char* value, LeadByteTest isLeadByte = nullptr);

// "\\.\" + name; false when that does not fit in `capacity` bytes with its terminator.
bool BuildDevicePath(const std::string& name, char* path, size_t capacity);

// A registry read that filled the whole buffer without a NUL holds no usable string.
bool HoldsTerminatedString(const char* buffer, size_t capacity);

#endif
