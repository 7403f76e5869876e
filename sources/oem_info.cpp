// The OEM texts: oeminfo.ini from the native system32, else the registry's OEMInformation, 8-bit or wide.
#include "sources/oem_info.h"

#include <windows.h>

#include <optional>

#include "framework/handles.h"
#include "sources/wow64.h"

const wchar_t kOemInformationKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OEMInformation";

namespace {

// The platform's calls and names for one character type.
template <typename Char>
struct OemCalls;

template <>
struct OemCalls<char> {
  static constexpr const char* kSection = "General";
  static constexpr const char* kManufacturer = "Manufacturer";
  static constexpr const char* kModel = "Model";
  static constexpr const char* kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OEMInformation";
  static UINT SystemDirectory(char* buffer, UINT size) { return ::GetSystemDirectoryA(buffer, size); }
  static void Profile(const char* key, char* out, size_t capacity, const char* file) {
    ::GetPrivateProfileStringA(kSection, key, "", out, static_cast<DWORD>(capacity), file);
  }
  static LONG Open(HKEY* key) { return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key); }
  static LONG Query(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) {
    return ::RegQueryValueExA(key, name, nullptr, type, data, size);
  }
};

template <>
struct OemCalls<wchar_t> {
  static constexpr const wchar_t* kSection = L"General";
  static constexpr const wchar_t* kManufacturer = L"Manufacturer";
  static constexpr const wchar_t* kModel = L"Model";
  static UINT SystemDirectory(wchar_t* buffer, UINT size) { return ::GetSystemDirectoryW(buffer, size); }
  static void Profile(const wchar_t* key, wchar_t* out, size_t capacity, const wchar_t* file) {
    ::GetPrivateProfileStringW(kSection, key, L"", out, static_cast<DWORD>(capacity), file);
  }
  static LONG Open(HKEY* key) {
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOemInformationKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key);
  }
  static LONG Query(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) {
    return ::RegQueryValueExW(key, name, nullptr, type, data, size);
  }
};

// A string value, cut to the buffer as the INI read cuts its values; anything but a string reads as empty.
template <typename Char>
void QueryString(HKEY key, const Char* name, Char* out, size_t capacity) {
  using Calls = OemCalls<Char>;
  out[0] = 0;
  DWORD type = 0, size = 0;
  if (Calls::Query(key, name, &type, nullptr, &size) != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
    return;
  // One character more than the value, zero-filled: the text ends inside even without its NUL. A value too
  // big for memory reads as empty.
  const size_t count = size / sizeof(Char) + 1;
  HeapBlock block(count * sizeof(Char));
  if (!block.Get() || Calls::Query(key, name, &type, block.Get(), &size) != ERROR_SUCCESS) return;
  const Char* value = reinterpret_cast<const Char*>(block.Get());
  size_t length = 0;
  while (length + 1 < capacity && length < count && value[length] != 0) ++length;
  for (size_t i = 0; i < length; ++i) out[i] = value[i];
  out[length] = 0;
}

OSVERSIONINFOW WindowsVersion() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  ::GetVersionExW(&version);
  return version;
}

template <typename Char>
void Read(Char* manufacturer, Char* model, size_t capacity, OemInfoOrigin* origin) {
  using Calls = OemCalls<Char>;
  manufacturer[0] = model[0] = 0;
  // The path has room of its own: the texts' capacity has nothing to do with where Windows lives.
  const size_t pathCapacity = MAX_PATH + 1;
  Char directory[pathCapacity] = {};
  Char path[pathCapacity] = {};
  const OemFileAccess access = ChooseOemFileAccess(IsWow64(), WindowsVersion().dwMajorVersion);
  const UINT length = Calls::SystemDirectory(directory, static_cast<UINT>(pathCapacity));
  // A directory too long for the buffer reads nothing from the file.
  const bool built = length > 0 && length < pathCapacity && OemFilePath(directory, access, path, pathCapacity);
  if (built) {
    std::optional<Wow64RedirectionOff> native; // around this read alone
    if (access == OemFileAccess::kRedirectionOff) native.emplace();
    Calls::Profile(Calls::kManufacturer, manufacturer, capacity, path);
    Calls::Profile(Calls::kModel, model, capacity, path);
  }
  const bool fromRegistry = OemFromRegistry(manufacturer[0] != 0, model[0] != 0);
  if (fromRegistry) {
    RegistryKey key;
    if (Calls::Open(key.Receive()) == ERROR_SUCCESS) {
      QueryString(key.Get(), Calls::kManufacturer, manufacturer, capacity);
      QueryString(key.Get(), Calls::kModel, model, capacity);
    }
  }
  if (origin) {
    origin->access = access;
    origin->file = built ? std::wstring(path, path + std::char_traits<Char>::length(path)) : std::wstring();
    origin->fromRegistry = fromRegistry;
  }
}

} // namespace

void ReadOemStrings(char* manufacturer, char* model, size_t capacity, OemInfoOrigin* origin) {
  Read(manufacturer, model, capacity, origin);
}

void ReadOemStrings(wchar_t* manufacturer, wchar_t* model, size_t capacity, OemInfoOrigin* origin) {
  Read(manufacturer, model, capacity, origin);
}
