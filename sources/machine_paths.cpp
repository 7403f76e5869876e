// Path rules of the collector's Win32 layer: the oeminfo.ini path, the driver's name and device path.
#include "sources/machine_paths.h"

#include <string.h>

namespace {
const char kOemFileName[] = "\\oeminfo.ini";
const char kDevicePrefix[] = "\\\\.\\";
} // namespace

bool AppendOemFileName(char* path, size_t capacity) {
  const size_t length = strnlen(path, capacity);
  if (length == capacity || length + sizeof(kOemFileName) > capacity) return false;
  memcpy(path + length, kOemFileName, sizeof(kOemFileName));
  return true;
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
