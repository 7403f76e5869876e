// Benchmark probe: the platform calls the program makes (OLE, WMI and its five queries, the driver
// walk), without the dialog. `probe.exe --runs N [--empty | --calls]` times N child runs: from start
// to exit, or (--calls) the calls alone, timed inside a child that already has a window, as a
// dialog start has, so that loading user32 and the display driver is not counted twice.
#include "sources/boardinfo_protocol.h"

#include <windows.h>
#include <ole2.h>
#include <wbemidl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
template <typename T>
void Release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

// One query with the reads the dialog makes; every instance's properties are fetched.
void RunQuery(IWbemServices* services, const wchar_t* query, const wchar_t* const* properties) {
  BSTR language = ::SysAllocString(L"WQL");
  BSTR text = ::SysAllocString(query);
  IEnumWbemClassObject* enumerator = nullptr;
  services->ExecQuery(language, text, WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr, &enumerator);
  ::SysFreeString(text);
  ::SysFreeString(language);
  if (!enumerator) return;
  for (;;) {
    IWbemClassObject* object = nullptr;
    ULONG count = 0;
    if (enumerator->Next(WBEM_INFINITE, 1, &object, &count) != WBEM_S_NO_ERROR || !object) break;
    for (const wchar_t* const* name = properties; *name; ++name) {
      VARIANT value;
      ::VariantInit(&value);
      if (SUCCEEDED(object->Get(*name, 0, &value, nullptr, nullptr))) ::VariantChangeType(&value, &value, 0, VT_BSTR);
      ::VariantClear(&value);
    }
    Release(object);
  }
  Release(enumerator);
}

void Wmi() {
  IWbemLocator* locator = nullptr;
  IWbemServices* services = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_ALL, IID_IWbemLocator,
                                reinterpret_cast<void**>(&locator))))
    return;
  BSTR resource = ::SysAllocString(L"\\\\.\\root\\cimv2");
  locator->ConnectServer(resource, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services);
  ::SysFreeString(resource);
  if (services) {
    ::CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                        RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    static const wchar_t* const capacity[] = {L"Capacity", nullptr};
    static const wchar_t* const cache[] = {L"MaxCacheSize", nullptr};
    static const wchar_t* const system[] = {L"Manufacturer", L"Model", nullptr};
    static const wchar_t* const bios[] = {L"SerialNumber", L"SMBIOSBIOSVersion", nullptr};
    static const wchar_t* const os[] = {L"Caption", L"CSDVersion", nullptr};
    RunQuery(services, L"Select * From Win32_PhysicalMemory", capacity);
    RunQuery(services, L"Select * From Win32_CacheMemory Where level = 4", cache);
    RunQuery(services, L"Select * From Win32_ComputerSystem", system);
    RunQuery(services, L"Select * From Win32_BIOS", bios);
    RunQuery(services, L"Select * From Win32_OperatingSystem", os);
  }
  Release(services);
  Release(locator);
}

// The walk: information request, then the structures by handle until 0xFFFF or the count.
int DriverWalk() {
  HANDLE device = ::CreateFileA("\\\\.\\boardinfo", 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == INVALID_HANDLE_VALUE) return 0;
  BoardInfoInfoRequest infoRequest = {BOARDINFO_GET_INFO, 0};
  BoardInfoInfoReply info = {};
  DWORD bytes = 0;
  int structures = 0;
  if (::DeviceIoControl(device, IOCTL_BOARDINFO_CALL, &infoRequest, sizeof(infoRequest), &info, sizeof(info), &bytes,
                        nullptr) &&
      info.status == 0) {
    std::vector<unsigned char> reply(info.largestStructure + 3u);
    BoardInfoStructureRequest request = {BOARDINFO_GET_STRUCTURE, 0, static_cast<uint16_t>(info.tableAddress >> 4), 0};
    for (unsigned i = 0; i < info.structureCount; ++i) {
      if (!::DeviceIoControl(device, IOCTL_BOARDINFO_CALL, &request, sizeof(request), reply.data(),
                             static_cast<DWORD>(reply.size()), &bytes, nullptr) ||
          (reply[0] != 0 && reply[0] != BOARDINFO_STATUS_NO_STRUCTURE))
        break;
      if (reply[0] != 0) continue;
      ++structures;
      request.handle = static_cast<uint16_t>(reply[1] | (reply[2] << 8));
      if (request.handle == BOARDINFO_LAST_HANDLE) break;
    }
  }
  ::CloseHandle(device);
  return structures;
}

enum class Mode { kProbe, kEmpty, kCalls };

// The calls, timed inside this process after a hidden window has brought up user32 and the display
// driver; the exit code is the time in microseconds (0 when the walk found nothing).
DWORD TimeCallsInProcess() {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  ::OleInitialize(nullptr);
  Wmi();
  const int structures = DriverWalk();
  ::OleUninitialize();
  ::QueryPerformanceCounter(&end);
  if (window) ::DestroyWindow(window);
  return structures > 0 ? static_cast<DWORD>(1000000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart) : 0;
}

int TimeChildren(int runs, Mode mode) {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  for (int i = 0; i <= runs; ++i) { // the first run warms up and is not recorded
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    wchar_t line[MAX_PATH + 4];
    ::wsprintfW(line, mode == Mode::kEmpty ? L"\"%s\" --empty" : mode == Mode::kCalls ? L"\"%s\" --calls" : L"\"%s\"",
                self);
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    if (!::CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return 1;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::QueryPerformanceCounter(&end);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (mode == Mode::kCalls && code == 0) {
      std::fprintf(stderr, "probe: the driver walk found no structure\n");
      return 1;
    }
    if (i > 0) times.push_back(mode == Mode::kCalls ? code / 1000.0 : 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
  }
  std::sort(times.begin(), times.end());
  const char* const names[] = {"probe", "empty process", "calls in a process with a window"};
  std::printf("%s\truns %d\tmedian %.1f ms\tmin %.1f\tmax %.1f\n", names[static_cast<int>(mode)], runs,
              times[times.size() / 2], times.front(), times.back());
  return 0;
}
} // namespace

int main(int argc, char** argv) {
  // --empty: a process that does nothing, the baseline of a start under wine.
  if (argc == 2 && lstrcmpA(argv[1], "--empty") == 0) return 0;
  if (argc == 2 && lstrcmpA(argv[1], "--calls") == 0) return static_cast<int>(TimeCallsInProcess());
  if (argc >= 3 && lstrcmpA(argv[1], "--runs") == 0) {
    Mode mode = Mode::kProbe;
    if (argc == 4 && lstrcmpA(argv[3], "--empty") == 0) mode = Mode::kEmpty;
    if (argc == 4 && lstrcmpA(argv[3], "--calls") == 0) mode = Mode::kCalls;
    return TimeChildren(std::max(1, atoi(argv[2])), mode);
  }
  ::OleInitialize(nullptr);
  Wmi();
  const int structures = DriverWalk();
  ::OleUninitialize();
  return structures > 0 ? 0 : 2;
}
