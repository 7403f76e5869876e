// Path rules of the collector's Win32 layer: how oeminfo.ini is reached, the driver's name and device path.
#include "sources/machine_paths.h"

#include <string.h>

namespace {
const char kDevicePrefix[] = "\\\\.\\";
} // namespace

OemFileAccess ChooseOemFileAccess(bool wow64, uint32_t windowsMajorVersion) {
  if (!wow64) return OemFileAccess::kSystemDirectory;
  return windowsMajorVersion >= 6 ? OemFileAccess::kSysnative : OemFileAccess::kRedirectionOff;
}

DriverLocation SplitDriverLocation(const char* value, LeadByteTest isLeadByte) {
  DriverLocation location;
  const char* slash = nullptr;
  for (const char* at = value; *at != '\0'; ++at) {
    if (isLeadByte && isLeadByte(static_cast<unsigned char>(*at)) && at[1] != '\0') {
      ++at; // the trail byte belongs to this character
    } else if (*at == '\\') {
      slash = at;
    }
  }
  if (!slash) {
    location.name = value;
    return location;
  }
  location.hasDirectory = true;
  location.directory.assign(value, static_cast<size_t>(slash - value));
  location.name = slash + 1;
  return location;
}

bool BuildDevicePath(const std::string& name, char* path, size_t capacity) {
  const size_t prefix = sizeof(kDevicePrefix) - 1;
  if (prefix + name.size() + 1 > capacity) return false;
  memcpy(path, kDevicePrefix, prefix);
  memcpy(path + prefix, name.c_str(), name.size() + 1);
  return true;
}

bool HoldsTerminatedString(const char* buffer, size_t capacity) { return memchr(buffer, 0, capacity) != nullptr; }
