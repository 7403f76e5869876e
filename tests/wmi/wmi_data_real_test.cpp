// CWmiData against wine's own WMI: the classes and properties the dialog reads, the memory sum
// against the kernel's figure, and the message boxes of queries that find nothing or are refused.
#include "wmi/wmi_data.h"

#include "framework/com.h"

#include <wbemidl.h>

#include "sources/firmware_table.h"
#include "tests/support/message_box_answerer.h"
#include "tests/wmi/satellite_guard.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using kcctest::MessageBoxAnswerer;
using kcctest::SatelliteGuard;
using kcctest::SeenBox;

const wchar_t kNextError[] = L"WMI Open Error(IEnumWbemClassObject.Next)\n";
const wchar_t kExecError[] = L"WMI Open Error(IWbemServices.ExecQuery)\n";

// The first instance's property straight from WMI, as the oracle for what CWmiData reads.
struct RawValue {
  bool found = false;
  VARTYPE type = VT_EMPTY;
  std::wstring text; // through VariantChangeType, when it has a text form
};

RawValue ReadRaw(const wchar_t* className, const wchar_t* property) {
  RawValue raw;
  ComPtr<IWbemLocator> locator;
  ComPtr<IWbemServices> services;
  ComPtr<IEnumWbemClassObject> enumerator;
  ComPtr<IWbemClassObject> object;
  if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                locator.ReceiveVoid())))
    return raw;
  BString resource(L"root\\cimv2");
  if (FAILED(locator->ConnectServer(resource.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Receive())))
    return raw;
  BString wql(L"WQL");
  BString query((std::wstring(L"SELECT * FROM ") + className).c_str());
  if (FAILED(services->ExecQuery(wql.Get(), query.Get(), WBEM_FLAG_FORWARD_ONLY, nullptr, enumerator.Receive())))
    return raw;
  ULONG count = 0;
  if (enumerator->Next(WBEM_INFINITE, 1, object.Receive(), &count) != WBEM_S_NO_ERROR) return raw;
  Variant value;
  if (FAILED(object->Get(property, 0, value.Receive(), nullptr, nullptr))) return raw;
  raw.found = true;
  raw.type = value.Type();
  Variant text;
  if (SUCCEEDED(::VariantChangeType(text.Receive(), value.Get(), 0, VT_BSTR)) && V_BSTR(text.Get()))
    raw.text = V_BSTR(text.Get());
  return raw;
}

// A provider left registered by an interrupted run would stand in for wine's WMI here.
TEST(WineLocator, IsWinesOwnServer) {
  wchar_t server[MAX_PATH] = {};
  DWORD size = sizeof(server);
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegGetValueW(HKEY_LOCAL_MACHINE,
                           L"Software\\Classes\\CLSID\\{4590F811-1D3A-11D0-891F-00AA004B2E24}\\InprocServer32",
                           nullptr, RRF_RT_REG_SZ, nullptr, server, &size));
  const std::wstring path(server);
  ASSERT_GE(path.size(), 12u);
  EXPECT_EQ(0, ::lstrcmpiW(path.substr(path.size() - 12).c_str(), L"wbemprox.dll")) << ::testing::PrintToString(path);
  CWmiData wmi;
  ASSERT_EQ(1, wmi.Connect());
  EXPECT_EQ(nullptr, ::GetModuleHandleW(L"kccwmifixture.dll"));
}

class CWmiDataWine : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(1, m_wmi.Connect()) << "wine's WMI locator"; }
  void TearDown() override { m_wmi.Disconnect(); }

  std::wstring ReadString(const wchar_t* className, const wchar_t* property) {
    std::wstring value;
    EXPECT_EQ(1, m_wmi.Query(className)) << className;
    EXPECT_EQ(1, m_wmi.GetString(property, value)) << property;
    m_wmi.CloseQuery();
    return value;
  }

  CWmiData m_wmi;
};

TEST_F(CWmiDataWine, ComputerSystemManufacturerAndModel) {
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  ASSERT_EQ(1, m_wmi.Query(L"Win32_ComputerSystem"));
  std::wstring manufacturer, model;
  EXPECT_EQ(1, m_wmi.GetString(L"Manufacturer", manufacturer));
  EXPECT_EQ(1, m_wmi.GetString(L"Model", model));
  m_wmi.CloseQuery();
  const RawValue rawManufacturer = ReadRaw(L"Win32_ComputerSystem", L"Manufacturer");
  const RawValue rawModel = ReadRaw(L"Win32_ComputerSystem", L"Model");
  ASSERT_EQ(VT_BSTR, rawManufacturer.type);
  ASSERT_EQ(VT_BSTR, rawModel.type);
  EXPECT_FALSE(manufacturer.empty());
  EXPECT_FALSE(model.empty());
  EXPECT_EQ(rawManufacturer.text, manufacturer);
  EXPECT_EQ(rawModel.text, model);
  EXPECT_TRUE(watcher.Boxes().empty());
}

TEST_F(CWmiDataWine, BiosVersion) {
  const std::wstring version = ReadString(L"Win32_BIOS", L"SMBIOSBIOSVersion");
  EXPECT_FALSE(version.empty());
  EXPECT_EQ(ReadRaw(L"Win32_BIOS", L"SMBIOSBIOSVersion").text, version);
}

TEST_F(CWmiDataWine, OperatingSystemCaptionAndServicePackMatchTheVersionRecord) {
  const std::wstring caption = ReadString(L"Win32_OperatingSystem", L"Caption");
  const std::wstring servicePack = ReadString(L"Win32_OperatingSystem", L"CSDVersion");
  EXPECT_EQ(0u, caption.rfind(L"Microsoft Windows", 0)) << ::testing::PrintToString(caption);
  EXPECT_EQ(ReadRaw(L"Win32_OperatingSystem", L"Caption").text, caption);
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ASSERT_TRUE(::GetVersionExW(&version)) << ::GetLastError();
#pragma GCC diagnostic pop
  EXPECT_EQ(std::wstring(version.szCSDVersion), servicePack);
}

TEST_F(CWmiDataWine, IntegerPropertyReadsAsTextAndNumber) {
  const RawValue raw = ReadRaw(L"Win32_OperatingSystem", L"OSType");
  ASSERT_TRUE(raw.found);
  ASSERT_TRUE(raw.type == VT_I4 || raw.type == VT_I2) << raw.type;
  ASSERT_EQ(1, m_wmi.Query(L"Win32_OperatingSystem"));
  std::wstring text;
  uint64_t number = 0;
  EXPECT_EQ(1, m_wmi.GetString(L"OSType", text));
  EXPECT_EQ(raw.text, text);
  EXPECT_EQ(1, m_wmi.GetNumber(L"OSType", number));
  EXPECT_EQ(std::to_wstring(number), raw.text);
}

TEST_F(CWmiDataWine, MissingPropertyFailsAndLeavesTheOutputs) {
  ASSERT_EQ(1, m_wmi.Query(L"Win32_BIOS"));
  std::wstring text = L"kept";
  uint64_t number = 77;
  EXPECT_EQ(0, m_wmi.GetString(L"NoSuchProperty", text));
  EXPECT_EQ(0, m_wmi.GetNumber(L"NoSuchProperty", number));
  EXPECT_EQ(L"kept", text);
  EXPECT_EQ(77u, number);
}

TEST_F(CWmiDataWine, PhysicalMemorySumIsTheKernelsTotalBeyond32Bits) {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  ASSERT_TRUE(::GlobalMemoryStatusEx(&status)) << ::GetLastError();
  const RawValue raw = ReadRaw(L"Win32_PhysicalMemory", L"Capacity");
  EXPECT_EQ(VT_BSTR, raw.type) << "a uint64 comes as decimal text";

  ASSERT_EQ(1, m_wmi.Query(L"Win32_PhysicalMemory"));
  uint64_t total = 0, value = 0;
  if (m_wmi.GetNumber(L"Capacity", value) == 1) total += value;
  while (m_wmi.GetNextNumber(L"Capacity", value) == 1) total += value;
  m_wmi.CloseQuery();
  std::printf("Win32_PhysicalMemory Capacity sum %llu, ullTotalPhys %llu\n", static_cast<unsigned long long>(total),
              static_cast<unsigned long long>(status.ullTotalPhys));
  EXPECT_EQ(status.ullTotalPhys, total);
  if (status.ullTotalPhys > 0xFFFFFFFFu) {
    EXPECT_GT(total, 0xFFFFFFFFu);
  }
}

TEST_F(CWmiDataWine, CacheLevel4EndsInTheNextBoxAndTheNextQueryWorks) {
  SatelliteGuard satellite;
  ASSERT_TRUE(satellite.Loaded()) << "KCCSystemInfoENU.dll in " << ::testing::PrintToString(kcctest::BinDir());
  const std::wstring caption = SatelliteGuard::Caption();
  ASSERT_FALSE(caption.empty());
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  EXPECT_EQ(0, m_wmi.Query(std::wstring(L"Win32_CacheMemory") + L" Where level = 4"));
  std::vector<SeenBox> boxes = watcher.Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"WMI Open Error(IEnumWbemClassObject.Next)\nSelect * From Win32_CacheMemory Where level = 4", boxes[0].text);
  EXPECT_EQ(caption, boxes[0].caption);
  EXPECT_EQ(::LoadIconW(nullptr, IDI_ERROR), boxes[0].icon);
  EXPECT_NE(nullptr, boxes[0].icon);
  EXPECT_EQ(nullptr, boxes[0].owner);
  EXPECT_EQ(std::vector<int>{IDOK}, boxes[0].buttons);

  // The dialog goes on without CloseQuery.
  ASSERT_EQ(1, m_wmi.Query(L"Win32_BIOS"));
  std::wstring version;
  EXPECT_EQ(1, m_wmi.GetString(L"SMBIOSBIOSVersion", version));
  EXPECT_FALSE(version.empty());
  EXPECT_EQ(1u, watcher.Boxes().size());
}

TEST_F(CWmiDataWine, NextBoxHasNoCaptionWithoutSatellite) {
  SatelliteGuard none(false);
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  EXPECT_EQ(0, m_wmi.Query(L"Win32_CacheMemory Where level = 4"));
  ASSERT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ(L"", watcher.Boxes()[0].caption);
  EXPECT_EQ(::LoadIconW(nullptr, IDI_ERROR), watcher.Boxes()[0].icon);
}

TEST_F(CWmiDataWine, LeadingSpaceShowsTwoSpacesAfterFrom) {
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  EXPECT_EQ(0, m_wmi.Query(L" Win32_CacheMemory Where level = 4"));
  ASSERT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ(std::wstring(kNextError) + L"Select * From  Win32_CacheMemory Where level = 4", watcher.Boxes()[0].text);
  // wine's WQL takes the extra space.
  EXPECT_EQ(1, m_wmi.Query(L" Win32_BIOS"));
  EXPECT_EQ(1u, watcher.Boxes().size());
}

TEST_F(CWmiDataWine, UnknownClassEndsInTheNextBox) {
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  EXPECT_EQ(0, m_wmi.Query(L"Win32_NoSuchClass"));
  ASSERT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ(std::wstring(kNextError) + L"Select * From Win32_NoSuchClass", watcher.Boxes()[0].text);
}

TEST_F(CWmiDataWine, QueryThatWineRefusesShowsTheExecQueryBox) {
  SatelliteGuard satellite; // the ExecQuery box has no caption even so
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  EXPECT_EQ(0, m_wmi.Query(L"Win32_BIOS Where"));
  const std::vector<SeenBox> boxes = watcher.Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(std::wstring(kExecError) + L"Select * From Win32_BIOS Where", boxes[0].text);
  EXPECT_EQ(L"", boxes[0].caption);
  EXPECT_EQ(nullptr, boxes[0].icon);
  EXPECT_EQ(std::vector<int>{IDOK}, boxes[0].buttons);
  EXPECT_EQ(1, m_wmi.Query(L"Win32_BIOS")) << "still connected";
}

// Wine 8 has MSSmBios_RawSMBiosTables but gives SMBiosData as null: the program reads nothing from it, quietly.
TEST(WineRawSmbiosTable, NullDataGivesNoTable) {
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CallBudget budget(CWmiData::kBudgetMs);
  EXPECT_TRUE(ReadWmiSmbiosTable(budget).empty());
  EXPECT_FALSE(budget.Exhausted());
  EXPECT_TRUE(watcher.Boxes().empty());
}

TEST(CWmiDataWineLifetime, DisconnectTwiceAndDestroy) {
  CWmiData wmi;
  ASSERT_EQ(1, wmi.Connect());
  ASSERT_EQ(1, wmi.Query(L"Win32_BIOS"));
  wmi.Disconnect();
  wmi.Disconnect();
  EXPECT_EQ(1, wmi.Connect()) << "a disconnected object can connect again";
}

} // namespace
