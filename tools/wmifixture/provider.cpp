// The fixture provider's entry points: class factory and locator for CLSID_WbemLocator.
#include "tools/wmifixture/wbem_objects.h"

#include <new>
#include <string>

namespace wmifixture {
namespace {

LONG g_locks = 0;
// Big enough for any machine's fixture; a runaway file is refused rather than read.
constexpr DWORD kMaxFixtureBytes = 16u << 20;

// A Unix path (leading '/') is seen through wine's mapping of the Unix root.
std::wstring WindowsPath(std::wstring path) {
  if (path.empty() || path[0] != L'/') return path;
  using DosName = WCHAR*(CDECL*)(const char*);
  const auto dosName = reinterpret_cast<DosName>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (dosName) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string unix(static_cast<size_t>(size > 0 ? size : 1), '\0');
    if (size > 0 && ::WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, &unix[0], size, nullptr, nullptr) > 0) {
      if (WCHAR* dos = dosName(unix.c_str())) {
        std::wstring result(dos);
        ::HeapFree(::GetProcessHeap(), 0, dos);
        return result;
      }
    }
  }
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return L"Z:" + path;
}

// KCC_WMI_FIXTURE first, then HKLM\Software\KCCSystemInfo\WmiFixture "File" (REG_EXPAND_SZ is expanded).
std::wstring FixturePath() {
  wchar_t buffer[MAX_PATH * 2];
  DWORD length = ::GetEnvironmentVariableW(L"KCC_WMI_FIXTURE", buffer, MAX_PATH * 2);
  if (length > 0 && length < MAX_PATH * 2) return WindowsPath(buffer);
  DWORD size = sizeof(buffer);
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\KCCSystemInfo\\WmiFixture", L"File", RRF_RT_REG_SZ,
                     nullptr, buffer, &size) == ERROR_SUCCESS && buffer[0])
    return WindowsPath(buffer);
  return std::wstring();
}

HRESULT LoadFixture(std::shared_ptr<const Fixture>& fixture) {
  const std::wstring path = FixturePath();
  if (path.empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(::GetLastError());
  std::string bytes;
  HRESULT hr = S_OK;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size)) hr = HRESULT_FROM_WIN32(::GetLastError());
  else if (size.QuadPart > kMaxFixtureBytes) hr = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
  else {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
      hr = HRESULT_FROM_WIN32(::GetLastError());
    bytes.resize(read);
  }
  ::CloseHandle(file);
  if (FAILED(hr)) return hr;
  fixture = std::make_shared<const Fixture>(Fixture::FromBytes(bytes));
  return S_OK;
}

// The local namespace a resource names, root\cimv2 or root\WMI (the two the program connects to); empty for
// any other.
std::wstring LocalNamespace(const wchar_t* resource) {
  if (!resource) return std::wstring();
  std::wstring name(resource);
  for (wchar_t& c : name)
    if (c == L'/') c = L'\\';
  const std::wstring local = L"\\\\.\\";
  if (name.compare(0, local.size(), local) == 0) name.erase(0, local.size());
  for (const wchar_t* known : {L"root\\cimv2", L"root\\WMI"})
    if (::lstrcmpiW(name.c_str(), known) == 0) return name;
  return std::wstring();
}

class Locator final : public IWbemLocator {
public:
  Locator() { AddLiveObject(); }
  ~Locator() { RemoveLiveObject(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IWbemLocator) return E_NOINTERFACE;
    *object = static_cast<IWbemLocator*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_count)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = ::InterlockedDecrement(&m_count);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }

  // The fixture file is read here, once per connection.
  HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR, const BSTR, const BSTR, LONG, const BSTR,
                                          IWbemContext*, IWbemServices** services) override {
    if (!services) return WBEM_E_INVALID_PARAMETER;
    *services = nullptr;
    const std::wstring nameSpace = LocalNamespace(resource);
    if (nameSpace.empty()) return WBEM_E_INVALID_NAMESPACE;
    try {
      std::shared_ptr<const Fixture> fixture;
      const HRESULT hr = LoadFixture(fixture);
      if (FAILED(hr)) return hr;
      if (fixture->HangsConnectServer()) Hang();
      if (fixture->FailsConnectServer()) return WBEM_E_ACCESS_DENIED;
      *services = CreateServices(std::move(fixture), nameSpace);
      return *services ? WBEM_S_NO_ERROR : WBEM_E_OUT_OF_MEMORY;
    } catch (...) {
      return WBEM_E_OUT_OF_MEMORY;
    }
  }

private:
  LONG m_count = 1;
};

class LocatorFactory final : public IClassFactory {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // One static instance: its count does not keep the module alive, LockServer does.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Locator* locator = new (std::nothrow) Locator();
    if (!locator) return E_OUTOFMEMORY;
    const HRESULT hr = locator->QueryInterface(riid, object);
    locator->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) ::InterlockedIncrement(&g_locks);
    else ::InterlockedDecrement(&g_locks);
    return S_OK;
  }
};

LocatorFactory g_factory;

} // namespace
} // namespace wmifixture

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_WbemLocator) return CLASS_E_CLASSNOTAVAILABLE;
  return wmifixture::g_factory.QueryInterface(riid, object);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
  return wmifixture::LiveObjects() == 0 && wmifixture::g_locks == 0 ? S_OK : S_FALSE;
}
