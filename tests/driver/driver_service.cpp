// The driver tests' control of the boardinfo service through the service manager and the registry.
#include "tests/driver/driver_service.h"

#include "framework/handles.h"
#include "tests/support/win32_support.h"

#include <cstdlib>

namespace drivertest {

namespace {

struct ServiceTraits {
  static void Close(SC_HANDLE h) { ::CloseServiceHandle(h); }
};
using ServiceHandle = UniqueResource<SC_HANDLE, nullptr, ServiceTraits>;

const wchar_t kParametersKey[] = L"System\\CurrentControlSet\\Services\\boardinfo\\Parameters";
const DWORD kTimeoutMs = 20000;

bool Failed(std::string* error, const char* what, DWORD code = ::GetLastError()) {
  if (error) *error = std::string(what) + " (error " + std::to_string(code) + ")";
  return false;
}

bool WaitForState(SC_HANDLE service, DWORD wanted, std::string* error) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    SERVICE_STATUS status{};
    if (!::QueryServiceStatus(service, &status)) return Failed(error, "QueryServiceStatus");
    if (status.dwCurrentState == wanted) return true;
    if (wanted == SERVICE_RUNNING && status.dwCurrentState == SERVICE_STOPPED)
      return Failed(error, "the driver stopped while starting", status.dwWin32ExitCode);
    if (::GetTickCount() - start > kTimeoutMs) return Failed(error, "service state timeout", status.dwCurrentState);
    ::Sleep(2);
  }
}

bool WriteParameters(const DriverSettings& settings, std::string* error) {
  LSTATUS status = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kParametersKey);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return Failed(error, "RegDeleteKeyW", status);
  RegistryKey key;
  status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                             key.Receive(), nullptr);
  if (status != ERROR_SUCCESS) return Failed(error, "RegCreateKeyExW", status);
  if (!settings.tableFile.empty()) {
    const std::wstring& file = settings.tableFile;
    status = ::RegSetValueExW(key.Get(), L"TableFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                              static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) return Failed(error, "RegSetValueExW TableFile", status);
  }
  for (const auto& value : settings.values) {
    status = ::RegSetValueExW(key.Get(), value.first.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&value.second), sizeof(DWORD));
    if (status != ERROR_SUCCESS) return Failed(error, "RegSetValueExW", status);
  }
  return true;
}

// What this process last made the driver start with; nothing known at first.
bool g_known = false;
DriverSettings g_current;

bool OpenService(ServiceHandle* manager, ServiceHandle* service, std::string* error) {
  manager->Reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!*manager) return Failed(error, "OpenSCManagerW");
  service->Reset(::OpenServiceW(manager->Get(), L"boardinfo", SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (!*service) return Failed(error, "the boardinfo service is not installed: OpenServiceW");
  return true;
}

bool Stop(SC_HANDLE service, std::string* error) {
  SERVICE_STATUS status{};
  if (!::ControlService(service, SERVICE_CONTROL_STOP, &status) && ::GetLastError() != ERROR_SERVICE_NOT_ACTIVE)
    return Failed(error, "ControlService(STOP)");
  return WaitForState(service, SERVICE_STOPPED, error);
}

} // namespace

bool StopDriver(std::string* error) {
  g_known = false;
  ServiceHandle manager, service;
  return OpenService(&manager, &service, error) && Stop(service.Get(), error);
}

bool RestartDriver(const DriverSettings& settings, std::string* error) {
  g_known = false;
  ServiceHandle manager, service;
  if (!OpenService(&manager, &service, error) || !Stop(service.Get(), error)) return false;
  if (!WriteParameters(settings, error)) return false;
  if (!::StartServiceW(service.Get(), 0, nullptr)) return Failed(error, "StartServiceW");
  if (!WaitForState(service.Get(), SERVICE_RUNNING, error)) return false;
  g_known = true;
  g_current = settings;
  return true;
}

bool EnsureDriver(const DriverSettings& settings, std::string* error) {
  if (g_known && g_current == settings) return true;
  return RestartDriver(settings, error);
}

bool RestoreDefaultDriver(std::string* error) { return RestartDriver(DriverSettings(), error); }

std::wstring SamplePath(const char* name) {
  const char* source = std::getenv("KCC_SOURCE_DIR");
  std::string unixPath = std::string(source ? source : ".") + "/tests/driver/samples/" + name;
  return kcctest::UnixToWindowsPath(unixPath);
}

std::vector<uint8_t> ReadFileBytes(const std::wstring& path) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  std::vector<uint8_t> bytes;
  if (!file) return bytes;
  uint8_t chunk[4096];
  DWORD got = 0;
  while (::ReadFile(file.Get(), chunk, sizeof(chunk), &got, nullptr) && got != 0)
    bytes.insert(bytes.end(), chunk, chunk + got);
  return bytes;
}

std::wstring WriteTempFile(const std::wstring& name, const std::vector<uint8_t>& bytes) {
  wchar_t folder[MAX_PATH];
  DWORD length = ::GetTempPathW(MAX_PATH, folder);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring path = std::wstring(folder) + name;
  UniqueFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::wstring();
  DWORD written = 0;
  if (!bytes.empty() &&
      (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
       written != bytes.size()))
    return std::wstring();
  return path;
}

} // namespace drivertest
