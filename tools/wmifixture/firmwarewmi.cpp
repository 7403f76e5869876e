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
std::string Utf8(const wchar_t* text) {
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return std::string();
  std::string utf8(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], bytes, nullptr, nullptr);
  utf8.resize(static_cast<size_t>(bytes) - 1);
  return utf8;
}

// The prefix's Caption and CSDVersion, as they would stand beside this firmware; nothing when WMI fails.
std::string OperatingSystemSection() {
  ComPtr<IWbemLocator> locator;
  ComPtr<IWbemServices> services;
  ComPtr<IEnumWbemClassObject> found;
  ComPtr<IWbemClassObject> system;
  ULONG returned = 0;
  const BString root(L"root\\cimv2");
  const BString language(L"WQL");
  const BString query(L"Select * From Win32_OperatingSystem");
  if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                locator.ReceiveVoid())) ||
      FAILED(locator->ConnectServer(root.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Receive())) ||
      FAILED(services->ExecQuery(language.Get(), query.Get(), WBEM_FLAG_FORWARD_ONLY, nullptr, found.Receive())) ||
      found->Next(WBEM_INFINITE, 1, system.Receive(), &returned) != S_OK || returned != 1)
    return std::string();
  std::string section = "[Win32_OperatingSystem#0]\n";
  for (const wchar_t* name : {L"Caption", L"CSDVersion"}) {
    Variant value;
    const bool text = SUCCEEDED(system->Get(name, 0, value.Receive(), nullptr, nullptr)) && value.Type() == VT_BSTR;
    section += Utf8(name) + (text ? "=VT_BSTR:\"" + Utf8(V_BSTR(value.Get())) + "\"\n" : "=VT_NULL\n");
  }
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
  if (SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    *sections += OperatingSystemSection();
    ::CoUninitialize();
  }
#endif
  std::ofstream out(argv[2], std::ios::binary);
  out << "\xEF\xBB\xBF" << *sections; // UTF-8 with a BOM, as the fixture reads it
  return out.good() ? 0 : 1;
}
