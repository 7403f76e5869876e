// release_walk.exe LOCATION: the collector's own driver walk, printed field by field, in a process of one thread,
// with the driver location LOCATION first in the process's own registry view, then only in the other. The
// release test runs the i686 build against the x86-64 driver (a 32-bit program's requests to a 64-bit driver,
// as on the maker's 64-bit machines) and compares it with the x86-64 build's.
#include "sources/machine_info.h"
#include "sources/machine_paths.h"
#include "sources/wow64.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "framework/handles.h"
#include "framework/text.h"

namespace {

// The location in `view` alone: the value set there, taken away from the other view.
bool PlaceLocation(const char* location, REGSAM view, REGSAM elsewhere) {
  RegistryKey other;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedServicesKey, 0, KEY_SET_VALUE | elsewhere, other.Receive()) == ERROR_SUCCESS)
    ::RegDeleteValueA(other.Get(), "boardinfo");
  RegistryKey key;
  return ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedServicesKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                           key.Receive(), nullptr) == ERROR_SUCCESS &&
         ::RegSetValueExA(key.Get(), "boardinfo", 0, REG_SZ, reinterpret_cast<const BYTE*>(location),
                          static_cast<DWORD>(strlen(location) + 1)) == ERROR_SUCCESS;
}

bool Walk(const char* view) {
  CMachineInfo info;
  const int status = info.ReadDriverTable();
  info.FormatTexts();
  const std::pair<const char*, const std::wstring*> fields[] = {
      {"bios", &info.m_strBiosVersion},      {"manufacturer", &info.m_strSysManufacturer},
      {"product", &info.m_strSysProductName}, {"version", &info.m_strSysVersion},
      {"serial", &info.m_strSysSerialNumber}, {"processor", &info.m_strCpuVersion},
      {"speed", &info.m_strCpuSpeed},         {"memory", &info.m_strMemory},
      {"cache", &info.m_strCache}};
  std::printf("%s\tstatus\t%d\n%s\tsource\t%s\n", view, status, view,
              info.m_tableSource == TableSource::kDriver ? "driver" : "none");
  for (const auto& [name, value] : fields) std::printf("%s\t%s\t%s\n", view, name, NarrowUtf8(*value).c_str());
  return status == kWalkComplete;
}
} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: release_walk LOCATION\n", stderr);
    return 2;
  }
  const REGSAM other = OtherRegistryView();
  bool ok = PlaceLocation(argv[1], 0, other) && Walk("own");
  ok = other && PlaceLocation(argv[1], other, 0) && Walk("other") && ok;
  PlaceLocation(argv[1], 0, other); // as the program's own installer leaves it
  return ok ? 0 : 1;
}
