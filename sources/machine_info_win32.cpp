// CMachineInfo's Win32 layer: version, product id, oeminfo.ini, the driver and Windows' firmware table.
#include "sources/machine_info.h"

#include <windows.h>

#include <direct.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <memory>
#include <optional>

#include "framework/com_worker.h"
#include "framework/handles.h"
#include "framework/text.h"
#include "smbios/boardinfo_protocol.h"
#include "sources/firmware_table.h"
#include "sources/machine_paths.h"
#include "sources/oem_info.h"
#include "sources/wow64.h"
#include "wmi/wmi_data.h"

static_assert(kMachinePathBuffer == MAX_PATH, "the collector's buffers are MAX_PATH bytes");

namespace {

// The current directory while the driver's own directory is made current, given back on destruction. Kept in
// wide characters: a directory named outside the ANSI code page is given back too.
class CurrentDirectoryRestorer {
public:
  CurrentDirectoryRestorer() {
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) return;
    m_saved.resize(needed);
    const DWORD length = ::GetCurrentDirectoryW(needed, &m_saved[0]);
    m_saved.resize(length < needed ? length : 0);
  }
  ~CurrentDirectoryRestorer() {
    if (!m_saved.empty() && m_changed) ::SetCurrentDirectoryW(m_saved.c_str());
  }
  CurrentDirectoryRestorer(const CurrentDirectoryRestorer&) = delete;
  CurrentDirectoryRestorer& operator=(const CurrentDirectoryRestorer&) = delete;
  bool Saved() const { return !m_saved.empty(); }
  bool Change(const std::string& directory) {
    m_changed = ::_chdir(directory.c_str()) == 0;
    return m_changed;
  }

private:
  std::wstring m_saved;
  bool m_changed = false;
};

// The opened boardinfo device, owned by the caller: one DeviceIoControl per call.
class BoardInfoDevice : public IDmiDevice {
public:
  BoardInfoDevice(HANDLE device, IDmiCallObserver* observer) : m_device(device), m_observer(observer) {}
  bool Call(const void* input, uint32_t inputSize, void* output, uint32_t outputSize) override {
    DWORD returned = 0; // not examined: the status byte tells
    const bool succeeded = ::DeviceIoControl(m_device, IOCTL_BOARDINFO_CALL, const_cast<void*>(input), inputSize,
                                             output, outputSize, &returned, nullptr) != FALSE;
    if (m_observer) m_observer->OnCall(input, inputSize, output, outputSize, succeeded);
    return succeeded;
  }

private:
  HANDLE m_device;
  IDmiCallObserver* m_observer;
};


} // namespace

void CMachineInfo::ReadOsVersion() {
  OSVERSIONINFOW info;
  ::ZeroMemory(&info, sizeof(info));
  info.dwOSVersionInfoSize = sizeof(info);
  static_assert(sizeof(OSVERSIONINFOW) == 276, "the wide version record");
  if (!::GetVersionExW(&info)) {
    m_strOsVersion = L"Unknown";
    return;
  }
  OsVersionRecord version;
  version.majorVersion = info.dwMajorVersion;
  version.minorVersion = info.dwMinorVersion;
  version.buildNumber = info.dwBuildNumber;
  version.platformId = info.dwPlatformId;
  version.servicePack.assign(info.szCSDVersion, ::wcsnlen(info.szCSDVersion, ARRAYSIZE(info.szCSDVersion)));
  m_strOsVersion = FormatOsVersion(version);
  ReadProductId();
}

void CMachineInfo::ReadProductId() {
  RegistryKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE,
                      key.Receive()) != ERROR_SUCCESS &&
      ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion", 0, KEY_QUERY_VALUE,
                      key.Receive()) != ERROR_SUCCESS)
    return;
  // Only the key that opened is asked: a first key without the value ends the search.
  DWORD size = 0;
  if (::RegQueryValueExA(key.Get(), "ProductId", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return;
  // One byte more than the value, zero-filled: the text ends inside the block even without its own NUL.
  HeapBlock buffer(static_cast<SIZE_T>(size) + 1);
  if (!buffer.Get()) return;
  if (::RegQueryValueExA(key.Get(), "ProductId", nullptr, nullptr, buffer.Get(), &size) == ERROR_SUCCESS)
    m_strProductId = WidenAnsi(reinterpret_cast<const char*>(buffer.Get()));
}

void CMachineInfo::ReadOemInfo() {
  char manufacturer[kMachinePathBuffer] = {};
  char model[kMachinePathBuffer] = {};
  ReadOemStrings(manufacturer, model, sizeof(manufacturer));
  m_strOemManufacturer = WidenAnsi(manufacturer);
  m_strOemModel = WidenAnsi(model);
}

int CMachineInfo::ReadRegistryString(HKEY root, const char* subKey, const char* valueName, char* buffer,
                                     unsigned long view) {
  RegistryKey key;
  if (::RegOpenKeyExA(root, subKey, 0, KEY_READ | view, key.Receive()) != ERROR_SUCCESS) return 1;
  // Cleared for every read, so nothing of an earlier, failed read can end up behind this value.
  ::ZeroMemory(buffer, kMachinePathBuffer);
  DWORD size = kMachinePathBuffer;
  if (::RegQueryValueExA(key.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
    return 2;
  // A value that fills all 260 bytes without a terminator is no string: never read past the buffer.
  if (!HoldsTerminatedString(buffer, kMachinePathBuffer)) {
    ::ZeroMemory(buffer, kMachinePathBuffer);
    return 2;
  }
  return 0;
}

namespace {
// The value is 8-bit text in the ANSI code page: its double-byte characters are read whole.
bool IsAnsiLeadByte(unsigned char byte) { return ::IsDBCSLeadByteEx(CP_ACP, byte) != FALSE; }
} // namespace

int CMachineInfo::ReadMachineInfo(IDmiCallObserver* observer, CallBudget* wmiBudget) {
  ReadOsVersion();
  ReadOemInfo();
  std::unique_ptr<CallBudget> ownBudget;
  if (!wmiBudget) wmiBudget = (ownBudget = std::make_unique<CallBudget>(CWmiData::kBudgetMs)).get();
  const int status = WalkWindowsTables(ReadDriverTable(observer), &ReadWindowsFirmwareTable,
                                       [wmiBudget] { return ReadWmiSmbiosTable(*wmiBudget); }, observer);
  TakeWindowsProcessor(ReadWindowsProcessor());
  return status;
}

WindowsProcessor CMachineInfo::ReadWindowsProcessor() {
  WindowsProcessor processor;
  RegistryKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCentralProcessorKeyW, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
    return processor;
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(key.Get(), L"ProcessorNameString", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      type == REG_SZ && size <= 1024) {
    std::wstring name(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key.Get(), L"ProcessorNameString", nullptr, &type, reinterpret_cast<BYTE*>(&name[0]),
                           &size) == ERROR_SUCCESS && type == REG_SZ) {
      name.resize(::wcsnlen(name.c_str(), size / sizeof(wchar_t))); // with or without its terminator
      processor.name = std::move(name);
    }
  }
  DWORD mhz = 0;
  size = sizeof(mhz);
  if (::RegQueryValueExW(key.Get(), L"~MHz", nullptr, &type, reinterpret_cast<BYTE*>(&mhz), &size) == ERROR_SUCCESS &&
      type == REG_DWORD && size == sizeof(mhz))
    processor.mhz = mhz;
  return processor;
}

int CMachineInfo::ReadDriverTable(IDmiCallObserver* observer) {
  char value[kMachinePathBuffer] = {};
  // The program's own registry view first, as a 32-bit installer writes it; where that has no location, the
  // other view, as a 64-bit driver package writes it. The status says what the own view lacked.
  const auto locate = [&value](REGSAM view) {
    if (ReadRegistryString(HKEY_LOCAL_MACHINE, kSharedServicesKey, "boardinfo", value, view) == 0) return 0;
    return ReadRegistryString(HKEY_LOCAL_MACHINE, kSharedVxdsKey, "boardinfo.vxd", value, view);
  };
  if (const int result = locate(0)) {
    const REGSAM other = OtherRegistryView();
    if (!other || locate(other) != 0) return result == 1 ? kWalkNoLocationKey : kWalkNoLocationValue;
  }

  const DriverLocation location = SplitDriverLocation(value, &IsAnsiLeadByte);
  UniqueFileHandle device;
  {
    std::optional<CurrentDirectoryRestorer> directory;
    if (location.hasDirectory) {
      directory.emplace();
      if (!directory->Saved()) return kWalkNoCurrentDirectory;
      if (!directory->Change(location.directory)) return kWalkNoDriverDirectory;
    }
    // A name too long for the device path is not cut and opened as another device: it is not opened.
    char devicePath[kMachinePathBuffer] = {};
    if (BuildDevicePath(location.name, devicePath, sizeof(devicePath)))
      device.Reset(::CreateFileA(devicePath, 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  } // the former directory is current again here, whether or not the open succeeded
  if (!device) return kWalkNoDevice;

  m_tableSource = TableSource::kDriver;
  BoardInfoDevice driver(device.Get(), observer);
  return WalkTable(driver);
}

std::vector<uint8_t> ReadWindowsFirmwareTable() {
  using GetSystemFirmwareTableFn = UINT(WINAPI*)(DWORD, DWORD, PVOID, DWORD);
  // Vista, XP x64 and Server 2003 SP1 on: looked up, so that the program still starts on 32-bit XP.
  const auto get = reinterpret_cast<GetSystemFirmwareTableFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetSystemFirmwareTable")));
  if (!get) return {};
  return FetchFirmwareTable([get](void* buffer, uint32_t size) -> uint32_t {
    return get(kFirmwareTableRsmb, 0, buffer, size);
  });
}

std::vector<uint8_t> ReadWmiSmbiosTable(CallBudget& budget) {
  CWmiData wmi(&budget);
  // The five queries' boxes are the dialog's; this source fails quietly, as the firmware table's does.
  wmi.SetMessageSink([](void*, const std::wstring&, const std::wstring&) {}, nullptr);
  std::vector<uint8_t> blob;
  if (wmi.ConnectTo(L"\\\\.\\root\\WMI") == 1 && wmi.Query(L"MSSmBios_RawSMBiosTables") == 1) {
    WmiValue data, size, major, minor, dmiRevision, used20;
    wmi.GetValue(L"SMBiosData", data);
    wmi.GetValue(L"Size", size);
    wmi.GetValue(L"SmbiosMajorVersion", major);
    wmi.GetValue(L"SmbiosMinorVersion", minor);
    wmi.GetValue(L"DmiRevision", dmiRevision);
    wmi.GetValue(L"Used20CallingMethod", used20);
    blob = RsmbFromWmi(data, size, major, minor, dmiRevision, used20);
  }
  wmi.Disconnect();
  return blob;
}
