// Path rules of the collector's Win32 layer, kept apart so that they build and are tested natively.
#ifndef KCC_SOURCES_MACHINE_PATHS_H
#define KCC_SOURCES_MACHINE_PATHS_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// The buffers the collector reads paths and registry values into.
constexpr size_t kMachinePathBuffer = 260;

// The maker's keys under HKEY_LOCAL_MACHINE (driver location, memory method), spelt once for the collector, the
// dialog and the capture.
#define KCC_SHARED_SERVICES_KEY "SOFTWARE\\Varnel Corporation\\Shared Info\\Shared Services"
#define KCC_SHARED_VXDS_KEY "SOFTWARE\\Varnel Corporation\\Shared Info\\Shared VxDs"
#define KCC_MEMORY_METHOD_KEY "SOFTWARE\\Varnel Corporation\\KIVO Control Center\\KIVOinfo"
constexpr char kSharedServicesKey[] = KCC_SHARED_SERVICES_KEY;
constexpr char kSharedVxdsKey[] = KCC_SHARED_VXDS_KEY;
constexpr wchar_t kSharedServicesKeyW[] = L"" KCC_SHARED_SERVICES_KEY;
constexpr wchar_t kSharedVxdsKeyW[] = L"" KCC_SHARED_VXDS_KEY;
constexpr wchar_t kMemoryMethodKeyW[] = L"" KCC_MEMORY_METHOD_KEY;
// Where Windows keeps what it knows of the first processor, written from the processor itself at every boot
// (values "ProcessorNameString" and "~MHz"); one key in both registry views.
constexpr wchar_t kCentralProcessorKeyW[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

// How oeminfo.ini in the native system32 is reached: a 32-bit process on 64-bit Windows goes through Sysnative
// (Vista on) or turns the redirection off (XP x64, Server 2003 x64, which lack the alias).
enum class OemFileAccess { kSystemDirectory, kSysnative, kRedirectionOff };
OemFileAccess ChooseOemFileAccess(bool wow64, uint32_t windowsMajorVersion);

// The file's path for that access, in `path` of `capacity` characters with the terminator: the system
// directory and "\oeminfo.ini", or for kSysnative the folder above it and "\Sysnative\oeminfo.ini". False,
// with nothing to read, when it does not fit or the directory has no folder above it.
template <typename Char>
bool OemFilePath(const Char* systemDirectory, OemFileAccess access, Char* path, size_t capacity) {
  static const char kFile[] = "\\oeminfo.ini", kAlias[] = "\\Sysnative";
  size_t length = 0;
  while (length < capacity && systemDirectory[length] != 0) ++length;
  if (access == OemFileAccess::kSysnative) {
    while (length > 0 && systemDirectory[length - 1] != '\\') --length; // C:\WINDOWS\system32: C:\WINDOWS
    if (length < 2) return false;
    --length;
  }
  const size_t alias = access == OemFileAccess::kSysnative ? sizeof(kAlias) - 1 : 0;
  if (length + alias + sizeof(kFile) > capacity) return false;
  for (size_t i = 0; i < length; ++i) path[i] = systemDirectory[i];
  for (size_t i = 0; i < alias; ++i) path[length++] = static_cast<Char>(kAlias[i]);
  for (size_t i = 0; i < sizeof(kFile); ++i) path[length + i] = static_cast<Char>(kFile[i]);
  return true;
}

// Where the file gives neither a manufacturer nor a model, both come from the registry (OEMInformation).
inline bool OemFromRegistry(bool hasManufacturer, bool hasModel) { return !hasManufacturer && !hasModel; }

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
