// CWmiData against the WMI fixture provider registered as wine's locator: the program's own path
// through COM, with the odd value types, sums, failures and message boxes a fixture can stage.
#include "wmi/wmi_data.h"

#include "framework/com.h"

#include <wbemidl.h>

#include "sources/firmware_table.h"
#include "sources/machine_info.h"
#include "tests/support/table_builder.h"
#include "tests/wmi/fixture_file.h"
#include "tests/support/message_box_answerer.h"
#include "tests/wmi/satellite_guard.h"

#include <gtest/gtest.h>

namespace {

using kcctest::FixtureFile;
using kcctest::MessageBoxAnswerer;
using kcctest::SatelliteGuard;
using kcctest::SeenBox;

const wchar_t kNextError[] = L"WMI Open Error(IEnumWbemClassObject.Next)\n";
const wchar_t kExecError[] = L"WMI Open Error(IWbemServices.ExecQuery)\n";
constexpr uint64_t kUntouched = 0xA5A5A5A5A5A5A5A5u;

// A machine as the dialog reads it.
const wchar_t kMachine[] = L"[Win32_PhysicalMemory#0]\r\n"
                           L"Capacity=VT_BSTR:536870912\r\n"
                           L"[Win32_PhysicalMemory#1]\r\n"
                           L"Capacity=VT_BSTR:536870912\r\n"
                           L"[Win32_CacheMemory#0]\r\n"
                           L"Level=VT_I4:3\r\n"
                           L"MaxCacheSize=VT_I4:64\r\n"
                           L"[Win32_CacheMemory#1]\r\n"
                           L"Level=VT_I4:4\r\n"
                           L"MaxCacheSize=VT_I4:1536\r\n"
                           L"[Win32_ComputerSystem#0]\r\n"
                           L"Manufacturer=VT_BSTR:Varnel Corporation\r\n"
                           L"Model=VT_BSTR:KV-7\r\n"
                           L"[Win32_BIOS#0]\r\n"
                           L"SerialNumber=VT_BSTR:0123-4567\r\n"
                           L"SMBIOSBIOSVersion=VT_BSTR:R1.10\r\n"
                           L"[Win32_OperatingSystem#0]\r\n"
                           L"Caption=VT_BSTR:Microsoft Windows XP Professional\r\n"
                           L"CSDVersion=VT_NULL\r\n"
                           L"[Win32_Values#0]\r\n"
                           L"Short=VT_I2:-5\r\n"
                           L"Long=VT_I4:42\r\n"
                           L"Huge=VT_I8:26843545600\r\n"
                           L"Flag=VT_BOOL:true\r\n"
                           L"Nothing=VT_NULL\r\n"
                           L"Mixed=VT_BSTR:12abc\r\n"
                           L"Letters=VT_BSTR:abc\r\n"
                           L"[Win32_Three#0]\r\n"
                           L"Capacity=VT_BSTR:1073741824\r\n"
                           L"[Win32_Three#1]\r\n"
                           L"Capacity=VT_BSTR:1073741824\r\n"
                           L"[Win32_Three#2]\r\n"
                           L"Capacity=VT_BSTR:536870912\r\n"
                           L"[Win32_Big#0]\r\n"
                           L"Capacity=VT_BSTR:8589934592\r\n"
                           L"[Win32_Big#1]\r\n"
                           L"Capacity=VT_BSTR:4294967296\r\n";

uint64_t Sum(CWmiData& wmi, const wchar_t* property) {
  uint64_t total = 0, value = 0;
  if (wmi.GetNumber(property, value) == 1) total += value;
  while (wmi.GetNextNumber(property, value) == 1) total += value;
  return total;
}

class CWmiDataFixture : public ::testing::Test {
protected:
  void Open(const std::wstring& text, FixtureFile::Encoding encoding = FixtureFile::Encoding::Utf16) {
    m_file = std::make_unique<FixtureFile>(text, encoding);
    ASSERT_EQ(1, m_wmi.Connect());
  }
  void TearDown() override { m_wmi.Disconnect(); }

  std::unique_ptr<FixtureFile> m_file;
  CWmiData m_wmi;
};

TEST(CWmiDataFixtureRegistration, TheLocatorComesFromTheFixtureProvider) {
  FixtureFile file(kMachine);
  CWmiData wmi;
  ASSERT_EQ(1, wmi.Connect());
  EXPECT_NE(nullptr, ::GetModuleHandleW(L"kccwmifixture.dll")) << "wine's locator answered: is the provider registered?";
  ASSERT_EQ(1, wmi.Query(L"Win32_ComputerSystem"));
  std::wstring manufacturer;
  EXPECT_EQ(1, wmi.GetString(L"Manufacturer", manufacturer));
  EXPECT_EQ(L"Varnel Corporation", manufacturer);
}

TEST_F(CWmiDataFixture, TheDialogsReadingsOfAMachine) {
  Open(kMachine);
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  ASSERT_EQ(1, m_wmi.Query(L"Win32_PhysicalMemory"));
  EXPECT_EQ(1073741824u, Sum(m_wmi, L"Capacity"));
  m_wmi.CloseQuery();
  ASSERT_EQ(1, m_wmi.Query(std::wstring(L"Win32_CacheMemory") + L" Where level = 4"));
  EXPECT_EQ(1536u, Sum(m_wmi, L"MaxCacheSize")) << "level 3 is filtered out";
  m_wmi.CloseQuery();
  std::wstring manufacturer, model, serial, bios, caption, servicePack;
  ASSERT_EQ(1, m_wmi.Query(L"Win32_ComputerSystem"));
  EXPECT_EQ(1, m_wmi.GetString(L"Manufacturer", manufacturer));
  EXPECT_EQ(1, m_wmi.GetString(L"Model", model));
  m_wmi.CloseQuery();
  ASSERT_EQ(1, m_wmi.Query(L"Win32_BIOS"));
  EXPECT_EQ(1, m_wmi.GetString(L"SerialNumber", serial));
  EXPECT_EQ(1, m_wmi.GetString(L"SMBIOSBIOSVersion", bios));
  m_wmi.CloseQuery();
  ASSERT_EQ(1, m_wmi.Query(L"Win32_OperatingSystem"));
  EXPECT_EQ(1, m_wmi.GetString(L"Caption", caption));
  EXPECT_EQ(0, m_wmi.GetString(L"CSDVersion", servicePack)) << "VT_NULL";
  EXPECT_EQ(L"Varnel Corporation", manufacturer);
  EXPECT_EQ(L"KV-7", model);
  EXPECT_EQ(L"0123-4567", serial);
  EXPECT_EQ(L"R1.10", bios);
  EXPECT_EQ(L"Microsoft Windows XP Professional", caption);
  EXPECT_EQ(L"", servicePack);
  EXPECT_TRUE(watcher.Boxes().empty());
}

TEST_F(CWmiDataFixture, StringsOfEachValueType) {
  Open(kMachine);
  ASSERT_EQ(1, m_wmi.Query(L"Win32_Values"));
  std::wstring text = L"untouched";
  EXPECT_EQ(1, m_wmi.GetString(L"Short", text));
  EXPECT_EQ(L"-5", text);
  EXPECT_EQ(1, m_wmi.GetString(L"Long", text));
  EXPECT_EQ(L"42", text);
  EXPECT_EQ(1, m_wmi.GetString(L"Huge", text));
  EXPECT_EQ(L"26843545600", text);
  text = L"untouched";
  EXPECT_EQ(0, m_wmi.GetString(L"Flag", text));
  EXPECT_EQ(L"untouched", text);
  EXPECT_EQ(0, m_wmi.GetString(L"Nothing", text));
  EXPECT_EQ(L"untouched", text);
  EXPECT_EQ(0, m_wmi.GetString(L"NotListed", text));
  EXPECT_EQ(L"untouched", text);
}

TEST_F(CWmiDataFixture, NumbersOfEachValueType) {
  Open(kMachine);
  ASSERT_EQ(1, m_wmi.Query(L"Win32_Values"));
  uint64_t value = kUntouched;
  EXPECT_EQ(1, m_wmi.GetNumber(L"Mixed", value));
  EXPECT_EQ(12u, value);
  value = kUntouched;
  EXPECT_EQ(0, m_wmi.GetNumber(L"Letters", value));
  EXPECT_EQ(0u, value);
  value = kUntouched;
  EXPECT_EQ(0, m_wmi.GetNumber(L"Nothing", value));
  EXPECT_EQ(kUntouched, value);
  EXPECT_EQ(0, m_wmi.GetNumber(L"NotListed", value));
  EXPECT_EQ(kUntouched, value);
  EXPECT_EQ(1, m_wmi.GetNumber(L"Long", value));
  EXPECT_EQ(42u, value);
  EXPECT_EQ(1, m_wmi.GetNumber(L"Huge", value));
  EXPECT_EQ(26843545600u, value);
  EXPECT_EQ(1, m_wmi.GetNumber(L"Short", value));
  EXPECT_EQ(-5, static_cast<int64_t>(value));
}

TEST_F(CWmiDataFixture, ThreeInstancesSumBeyondSigned32Bits) {
  Open(kMachine);
  ASSERT_EQ(1, m_wmi.Query(L"Win32_Three"));
  EXPECT_EQ(2684354560u, Sum(m_wmi, L"Capacity"));
  uint64_t value = 77;
  EXPECT_EQ(0, m_wmi.GetNextNumber(L"Capacity", value)) << "after the last instance";
  EXPECT_EQ(77u, value);
}

TEST_F(CWmiDataFixture, ModulesOfFourGiBAndMoreSumExactly) {
  Open(kMachine);
  ASSERT_EQ(1, m_wmi.Query(L"Win32_Big"));
  EXPECT_EQ(12884901888u, Sum(m_wmi, L"Capacity"));
}

TEST_F(CWmiDataFixture, JapaneseTextFromUtf8AndUtf16Files) {
  const std::wstring name = L"\u30D0\u30FC\u30CD\u30EB\u682A\u5F0F\u4F1A\u793E";
  for (FixtureFile::Encoding encoding : {FixtureFile::Encoding::Utf16, FixtureFile::Encoding::Utf8}) {
    FixtureFile file(L"[Win32_ComputerSystem#0]\r\nManufacturer=VT_BSTR:" + name + L"\r\n", encoding);
    CWmiData wmi;
    ASSERT_EQ(1, wmi.Connect());
    ASSERT_EQ(1, wmi.Query(L"Win32_ComputerSystem"));
    std::wstring manufacturer;
    EXPECT_EQ(1, wmi.GetString(L"Manufacturer", manufacturer));
    EXPECT_EQ(name, manufacturer);
  }
}

TEST(CWmiDataFixtureFailures, ConnectServerFailureThenDisconnectTwice) {
  FixtureFile file(std::wstring(kMachine) + L"[fail]\r\nConnectServer=yes\r\n");
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CWmiData wmi;
  EXPECT_EQ(0, wmi.Connect());
  wmi.Disconnect();
  wmi.Disconnect();
  EXPECT_TRUE(watcher.Boxes().empty());
}

TEST(CWmiDataFixtureFailures, ProxyBlanketFailureFailsConnect) {
  FixtureFile file(std::wstring(kMachine) + L"[fail]\r\nProxyBlanket=1\r\n");
  CWmiData wmi;
  EXPECT_EQ(0, wmi.Connect());
  wmi.Disconnect();
}

TEST_F(CWmiDataFixture, ExecQueryFailureShowsTheBoxWithoutCaptionOrIcon) {
  Open(std::wstring(kMachine) + L"[fail]\r\nExecQuery=Win32_BIOS\r\n");
  SatelliteGuard satellite;
  ASSERT_TRUE(satellite.Loaded());
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  EXPECT_EQ(0, m_wmi.Query(L"Win32_BIOS"));
  std::vector<SeenBox> boxes = watcher.Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(std::wstring(kExecError) + L"Select * From Win32_BIOS", boxes[0].text);
  EXPECT_EQ(L"", boxes[0].caption);
  EXPECT_EQ(nullptr, boxes[0].icon);
  EXPECT_EQ(std::vector<int>{IDOK}, boxes[0].buttons);
  EXPECT_EQ(1, m_wmi.Query(L"Win32_OperatingSystem")) << "the next query works";
  EXPECT_EQ(1u, watcher.Boxes().size());
}

TEST_F(CWmiDataFixture, ClassWithoutInstancesShowsTheNextBoxAndTheNextQueryWorks) {
  Open(kMachine);
  SatelliteGuard satellite;
  ASSERT_TRUE(satellite.Loaded());
  const std::wstring caption = SatelliteGuard::Caption();
  ASSERT_FALSE(caption.empty());
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  EXPECT_EQ(0, m_wmi.Query(L"Win32_Processor"));
  std::vector<SeenBox> boxes = watcher.Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(std::wstring(kNextError) + L"Select * From Win32_Processor", boxes[0].text);
  EXPECT_EQ(caption, boxes[0].caption);
  EXPECT_EQ(::LoadIconW(nullptr, IDI_ERROR), boxes[0].icon);
  ASSERT_EQ(1, m_wmi.Query(L"Win32_BIOS"));
  std::wstring bios;
  EXPECT_EQ(1, m_wmi.GetString(L"SMBIOSBIOSVersion", bios));
  EXPECT_EQ(L"R1.10", bios);
}

TEST_F(CWmiDataFixture, NoMatchingCacheLevelAndTwoSpaces) {
  Open(L"[Win32_CacheMemory#0]\r\nLevel=VT_I4:3\r\nMaxCacheSize=VT_I4:64\r\n");
  SatelliteGuard none(false);
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  EXPECT_EQ(0, m_wmi.Query(L"Win32_CacheMemory Where level = 4"));
  EXPECT_EQ(0, m_wmi.Query(L" Win32_CacheMemory Where level = 4"));
  std::vector<SeenBox> boxes = watcher.Boxes();
  ASSERT_EQ(2u, boxes.size());
  EXPECT_EQ(std::wstring(kNextError) + L"Select * From Win32_CacheMemory Where level = 4", boxes[0].text);
  EXPECT_EQ(std::wstring(kNextError) + L"Select * From  Win32_CacheMemory Where level = 4", boxes[1].text);
  EXPECT_EQ(L"", boxes[0].caption) << "no satellite, no caption";
  EXPECT_EQ(::LoadIconW(nullptr, IDI_ERROR), boxes[1].icon);
}

// ---- WMI's raw SMBIOS table (root\WMI), where Windows gives no firmware table

std::wstring Hex(const tablebuilder::Bytes& bytes) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text;
  for (uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
    text += L' ';
  }
  return text;
}

// The table as XP's WMI hands it out, through the program's own reading and walk: the processor row's source.
TEST(WmiSmbiosTable, ReadAndWalkedAsTheFirmwareTableIs) {
  using tablebuilder::StructureBuilder;
  const tablebuilder::Bytes table = tablebuilder::Concat(
      {StructureBuilder(1, 0x08, 1).Byte(4, 1).Byte(5, 2).WithStrings({"Varnel Corporation", "VGN-X90"}),
       StructureBuilder(4, 0x1A, 2).Byte(5, 3).Byte(0x10, 1).Word(0x16, 1600).Byte(0x18, 0x41).WithStrings({"Pentium M"}),
       tablebuilder::EndOfTable(3)});
  FixtureFile file(L"[root\\WMI\\MSSmBios_RawSMBiosTables#0]\r\nSMBiosData=VT_UI1_ARRAY:" + Hex(table) +
                   L"\r\nSize=VT_I4:" + std::to_wstring(table.size()) +
                   L"\r\nSmbiosMajorVersion=VT_UI1:2\r\nSmbiosMinorVersion=VT_UI1:3\r\nDmiRevision=VT_UI1:0\r\n"
                   L"Used20CallingMethod=VT_BOOL:false\r\n");
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CallBudget budget(CWmiData::kBudgetMs);
  const std::vector<uint8_t> blob = ReadWmiSmbiosTable(budget);
  ASSERT_EQ(8 + table.size(), blob.size());
  EXPECT_EQ((std::vector<uint8_t>{0, 2, 3, 0}), std::vector<uint8_t>(blob.begin(), blob.begin() + 4));
  CMachineInfo info;
  EXPECT_EQ(31, info.WalkFirmwareTable(blob, nullptr, TableSource::kWmi));
  EXPECT_EQ(L"Pentium M", info.m_strCpuVersion);
  EXPECT_EQ(1600, info.m_wCpuSpeed);
  EXPECT_EQ(L"VGN-X90", info.m_strSysProductName);
  // A namespace without the class gives nothing, and shows no box: the five queries' boxes are the dialog's.
  FixtureFile none(L"[MSSmBios_RawSMBiosTables#0]\r\nSMBiosData=VT_UI1_ARRAY:" + Hex(table) + L"\r\n");
  EXPECT_TRUE(ReadWmiSmbiosTable(budget).empty()) << "the class is in root\\cimv2 here";
  EXPECT_TRUE(watcher.Boxes().empty());
}

// A WMI that never answers costs the table read the budget, and then nothing more is waited for: the
// dialog's own connection, which shares the budget, fails at once.
TEST(WmiSmbiosTable, AWmiThatHangsCostsTheBudgetOnce) {
  FixtureFile file(L"[hang]\r\nConnectServer=yes\r\n");
  CallBudget budget(500);
  const DWORD start = ::GetTickCount();
  EXPECT_TRUE(ReadWmiSmbiosTable(budget).empty());
  EXPECT_TRUE(budget.Exhausted());
  CWmiData wmi(&budget);
  EXPECT_EQ(0, wmi.Connect());
  EXPECT_LT(::GetTickCount() - start, 3000u);
}

} // namespace
