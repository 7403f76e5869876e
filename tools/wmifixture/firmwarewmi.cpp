// firmwarewmi: writes the WMI fixture that Windows would derive from an SMBIOS dump, for replaying a bare dump.
//   firmwarewmi DUMP OUT_INI      (under wine, Win32_OperatingSystem comes from the prefix's own WMI)
#include "tools/wmifixture/firmware_wmi.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include "framework/com.h"

#include <wbemidl.h>

namespace {
// The prefix's Caption and CSDVersion, as they would stand beside this firmware.
std::string OperatingSystemSection() {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return std::string();
  std::string section;
  {
    ComPtr<IWbemLocator> locator;
    ComPtr<IWbemServices> services;
    ComPtr<IEnumWbemClassObject> found;
    ComPtr<IWbemClassObject> system;
    ULONG returned = 0;
    BSTR root = ::SysAllocString(L"root\\cimv2");
    BSTR language = ::SysAllocString(L"WQL");
    BSTR query = ::SysAllocString(L"Select * From Win32_OperatingSystem");
    if (SUCCEEDED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                     reinterpret_cast<void**>(locator.Receive()))) &&
        SUCCEEDED(locator->ConnectServer(root, nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Receive())) &&
        SUCCEEDED(services->ExecQuery(language, query, WBEM_FLAG_FORWARD_ONLY, nullptr, found.Receive())) &&
        found->Next(WBEM_INFINITE, 1, system.Receive(), &returned) == S_OK && returned == 1) {
      section = "[Win32_OperatingSystem#0]\n";
      for (const wchar_t* name : {L"Caption", L"CSDVersion"}) {
        VARIANT value;
        ::VariantInit(&value);
        if (SUCCEEDED(system->Get(name, 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR) {
          const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, value.bstrVal, -1, nullptr, 0, nullptr, nullptr);
          std::string utf8(bytes > 0 ? static_cast<size_t>(bytes) - 1 : 0, '\0');
          if (bytes > 1) ::WideCharToMultiByte(CP_UTF8, 0, value.bstrVal, -1, &utf8[0], bytes, nullptr, nullptr);
          section += std::string(name == std::wstring(L"Caption") ? "Caption" : "CSDVersion") + "=VT_BSTR:\"" + utf8 +
                     "\"\n";
        } else {
          section += std::string(name == std::wstring(L"Caption") ? "Caption" : "CSDVersion") + "=VT_NULL\n";
        }
        ::VariantClear(&value);
      }
    }
    ::SysFreeString(query);
    ::SysFreeString(language);
    ::SysFreeString(root);
  }
  ::CoUninitialize();
  return section;
}
} // namespace
#endif

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: firmwarewmi DUMP OUT_INI\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::optional<std::string> sections = FirmwareWmiSections(image.data(), image.size());
  if (!sections) {
    std::fprintf(stderr, "firmwarewmi: %s holds no SMBIOS table\n", argv[1]);
    return 1;
  }
#ifdef _WIN32
  *sections += OperatingSystemSection();
#endif
  std::ofstream out(argv[2], std::ios::binary);
  out << "\xEF\xBB\xBF" << *sections; // UTF-8 with a BOM, as the fixture reads it
  return out.good() ? 0 : 1;
}
