// CWmiData against in-process fakes of the WMI interfaces, reached through CoCreateInstance as in
// the program: the arguments of every call, each result path, the message boxes and the release order.
#include "wmi/wmi_data.h"

#include "framework/com.h"

#include <wbemidl.h>

#include "tests/wmi/fake_wbem.h"
#include "tests/support/message_box_answerer.h"
#include "tests/wmi/satellite_guard.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <type_traits>

namespace {

using fakewmi::g_record;
using fakewmi::g_script;
using kcctest::MessageBoxAnswerer;
using kcctest::SatelliteGuard;
using kcctest::SeenBox;
using Log = std::vector<std::wstring>;

const wchar_t kNextError[] = L"WMI Open Error(IEnumWbemClassObject.Next)\n";
const wchar_t kExecError[] = L"WMI Open Error(IWbemServices.ExecQuery)\n";

class CWmiDataFake : public ::testing::Test {
protected:
  void SetUp() override {
    g_script = fakewmi::Script();
    g_record = fakewmi::Record();
    m_registration = std::make_unique<fakewmi::Registration>();
    ASSERT_EQ(S_OK, m_registration->Result());
  }
  void TearDown() override {
    m_registration.reset();
    EXPECT_EQ(0, g_record.live) << "a fake WMI object was not released";
  }
  // The log from here on.
  void MarkLog() { m_mark = g_record.log.size(); }
  Log LogSinceMark() const { return Log(g_record.log.begin() + static_cast<std::ptrdiff_t>(m_mark), g_record.log.end()); }

  static void OneInstance(fakewmi::FakeInstance instance) { g_script.instances = {std::move(instance)}; }
  // Connects and runs the query, which must give its first instance.
  static void Open(CWmiData& wmi, const wchar_t* query) {
    ASSERT_EQ(1, wmi.Connect());
    ASSERT_EQ(1, wmi.Query(query));
  }

private:
  std::unique_ptr<fakewmi::Registration> m_registration;
  size_t m_mark = 0;
};

// --- the class

TEST(CWmiDataShape, IsACObjectDestroyedThroughItsBase) {
  static_assert(std::is_base_of<CObject, CWmiData>::value, "CWmiData derives from CObject");
  static_assert(std::has_virtual_destructor<CWmiData>::value, "virtual destructor");
  std::unique_ptr<CObject> object(new CWmiData());
  EXPECT_STREQ("CObject", object->GetRuntimeClass()->m_lpszClassName) << "GetRuntimeClass is inherited";
}

TEST_F(CWmiDataFake, ConstructionMakesNoComCall) {
  { CWmiData wmi; }
  EXPECT_TRUE(g_record.log.empty());
  EXPECT_EQ(0, g_record.live);
}

// --- Connect

TEST_F(CWmiDataFake, ConnectAsksForCimv2AndSetsTheBlanket) {
  CWmiData wmi;
  ASSERT_EQ(1, wmi.Connect());
  EXPECT_EQ(L"\\\\.\\root\\cimv2", g_record.resource);
  EXPECT_TRUE(g_record.resourceIsBstr);
  EXPECT_TRUE(g_record.connectRestNull) << "user, password, locale, authority and context are null";
  EXPECT_EQ(0, g_record.securityFlags);
  ASSERT_EQ(1, g_record.blanketCalls);
  EXPECT_EQ(static_cast<DWORD>(RPC_C_AUTHN_WINNT), g_record.authn);
  EXPECT_EQ(static_cast<DWORD>(RPC_C_AUTHZ_NONE), g_record.authz);
  EXPECT_TRUE(g_record.principalNull);
  EXPECT_EQ(static_cast<DWORD>(RPC_C_AUTHN_LEVEL_CALL), g_record.level);
  EXPECT_EQ(static_cast<DWORD>(RPC_C_IMP_LEVEL_IMPERSONATE), g_record.impersonation);
  EXPECT_TRUE(g_record.identityNull);
  EXPECT_EQ(static_cast<DWORD>(EOAC_NONE), g_record.capabilities);
  EXPECT_EQ(2, g_record.live) << "locator and services, one reference each";
}

TEST_F(CWmiDataFake, LocatorThatCannotBeCreatedFailsAndHoldsNothing) {
  g_script.create = E_OUTOFMEMORY;
  MessageBoxAnswerer boxes(::GetCurrentThreadId());
  CWmiData wmi;
  EXPECT_EQ(0, wmi.Connect());
  EXPECT_EQ(0, g_record.live);
  wmi.Disconnect();
  wmi.Disconnect();
  EXPECT_TRUE(g_record.log.empty()) << "nothing to release";
  EXPECT_TRUE(boxes.Boxes().empty()) << "Connect is silent";
}

TEST_F(CWmiDataFake, FailedConnectServerKeepsTheLocatorUntilDisconnect) {
  g_script.connect = WBEM_E_ACCESS_DENIED;
  g_script.connectGivesServices = false;
  MessageBoxAnswerer boxes(::GetCurrentThreadId());
  CWmiData wmi;
  EXPECT_EQ(0, wmi.Connect());
  EXPECT_EQ(0, g_record.blanketCalls);
  EXPECT_EQ(1, g_record.live) << "the locator stays held";
  wmi.Disconnect();
  EXPECT_EQ((Log{L"~Locator"}), g_record.log);
  wmi.Disconnect();
  EXPECT_EQ((Log{L"~Locator"}), g_record.log) << "a second Disconnect does nothing more";
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(CWmiDataFake, FailedConnectServerThatStillGaveServicesLeaksNothing) {
  g_script.connect = WBEM_E_FAILED;
  CWmiData wmi;
  EXPECT_EQ(0, wmi.Connect());
  EXPECT_EQ(0, g_record.blanketCalls);
}

TEST_F(CWmiDataFake, FailedBlanketFailsConnectButKeepsTheConnection) {
  g_script.blanket = E_ACCESSDENIED;
  OneInstance({{L"SMBIOSBIOSVersion", fakewmi::Bstr(L"R1.10")}});
  MessageBoxAnswerer boxes(::GetCurrentThreadId());
  CWmiData wmi;
  EXPECT_EQ(0, wmi.Connect());
  EXPECT_EQ(2, g_record.live) << "locator and services stay held";
  // Still connected, so a query works.
  ASSERT_EQ(1, wmi.Query(L"Win32_BIOS"));
  std::wstring version;
  EXPECT_EQ(1, wmi.GetString(L"SMBIOSBIOSVersion", version));
  EXPECT_EQ(L"R1.10", version);
  EXPECT_TRUE(boxes.Boxes().empty());
}

// --- Query

struct QueryText {
  const wchar_t* argument;
  const wchar_t* query;
};

class CWmiDataQueryText : public CWmiDataFake, public ::testing::WithParamInterface<QueryText> {};

TEST_P(CWmiDataQueryText, IsSelectStarFromAndTheArgumentUnchanged) {
  OneInstance({});
  CWmiData wmi;
  ASSERT_EQ(1, wmi.Connect());
  ASSERT_EQ(1, wmi.Query(GetParam().argument));
  EXPECT_EQ(GetParam().query, g_record.query);
  EXPECT_TRUE(g_record.queryIsBstr);
  EXPECT_EQ(L"WQL", g_record.language);
  EXPECT_TRUE(g_record.languageIsBstr);
  EXPECT_EQ(WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, g_record.execFlags);
  EXPECT_EQ(0x30, g_record.execFlags);
  EXPECT_TRUE(g_record.execContextNull);
  ASSERT_EQ(1u, g_record.nextCounts.size());
  EXPECT_EQ(1u, g_record.nextCounts[0]);
  // The enumerator itself is asked to wait no longer than what is left of the budget.
  EXPECT_GT(g_record.nextTimeouts[0], 0);
  EXPECT_LE(g_record.nextTimeouts[0], static_cast<LONG>(CWmiData::kBudgetMs));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CWmiDataQueryText,
    ::testing::Values(QueryText{L"Win32_BIOS", L"Select * From Win32_BIOS"},
                      QueryText{L" Win32_BIOS", L"Select * From  Win32_BIOS"},
                      QueryText{L"Win32_CacheMemory Where level = 4", L"Select * From Win32_CacheMemory Where level = 4"},
                      QueryText{L"win32_bios  ", L"Select * From win32_bios  "},
                      QueryText{L"", L"Select * From "},
                      QueryText{L"\u65E5\u672C", L"Select * From \u65E5\u672C"}));

TEST_F(CWmiDataFake, NoEnumeratorShowsTheExecQueryBoxWithoutCaptionOrIcon) {
  g_script.exec = WBEM_E_INVALID_QUERY;
  g_script.execGivesEnumerator = false;
  SatelliteGuard satellite; // string 500 exists, and still the caption is empty
  ASSERT_TRUE(satellite.Loaded());
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CWmiData wmi;
  ASSERT_EQ(1, wmi.Connect());
  EXPECT_EQ(0, wmi.Query(L"Win32_BIOS"));
  const std::vector<SeenBox> boxes = watcher.Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(std::wstring(kExecError) + L"Select * From Win32_BIOS", boxes[0].text);
  EXPECT_EQ(L"", boxes[0].caption);
  EXPECT_EQ(nullptr, boxes[0].icon) << "MB_OK carries no icon";
  EXPECT_EQ(nullptr, boxes[0].owner);
  EXPECT_EQ(std::vector<int>{IDOK}, boxes[0].buttons);
  EXPECT_TRUE(g_record.nextCounts.empty()) << "no Next without an enumerator";
  EXPECT_EQ(2, g_record.live) << "still connected";
}

const HRESULT kFailed = static_cast<HRESULT>(WBEM_E_FAILED);

// What Query judges by: an enumerator and a first object, never the HRESULTs; its box names the query as given.
struct QueryCase {
  const char* name;
  HRESULT exec;
  bool execGivesEnumerator;
  HRESULT nextWithObject;
  bool instance;
  const wchar_t* query;
  int result;
  const wchar_t* box; // the box's text, null for none
};

class QueryJudgement : public CWmiDataFake, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(QueryJudgement, ByEnumeratorAndObjectOnly) {
  const QueryCase& c = GetParam();
  g_script.exec = c.exec;
  g_script.execGivesEnumerator = c.execGivesEnumerator;
  g_script.nextWithObject = c.nextWithObject;
  if (c.instance) g_script.instances = {{{L"Model", fakewmi::Bstr(L"KV-1")}}};
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CWmiData wmi;
  ASSERT_EQ(1, wmi.Connect());
  EXPECT_EQ(c.result, wmi.Query(c.query));
  if (!c.box) {
    EXPECT_TRUE(watcher.Boxes().empty());
    return;
  }
  ASSERT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ(c.box, watcher.Boxes()[0].text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QueryJudgement,
    ::testing::Values(
        QueryCase{"SuccessWithoutEnumerator", S_OK, false, S_OK, true, L"Win32_BIOS", 0,
                  L"WMI Open Error(IWbemServices.ExecQuery)\nSelect * From Win32_BIOS"},
        QueryCase{"FailureWithEnumerator", kFailed, true, S_OK, true, L"Win32_ComputerSystem", 1, nullptr},
        QueryCase{"FailedNextWithAnObject", S_OK, true, kFailed, true, L"Win32_ComputerSystem", 1, nullptr},
        // A leading space gives two spaces after From.
        QueryCase{"NoInstanceLeadingSpace", S_OK, true, S_OK, false, L" Win32_CacheMemory Where level = 4", 0,
                  L"WMI Open Error(IEnumWbemClassObject.Next)\nSelect * From  Win32_CacheMemory Where level = 4"}),
    [](const ::testing::TestParamInfo<QueryCase>& info) { return std::string(info.param.name); });



TEST_F(CWmiDataFake, NoFirstInstanceShowsTheNextBoxWithString500AndErrorIcon) {
  SatelliteGuard satellite;
  ASSERT_TRUE(satellite.Loaded()) << "KCCSystemInfoENU.dll in " << ::testing::PrintToString(kcctest::BinDir());
  const std::wstring caption = SatelliteGuard::Caption();
  ASSERT_FALSE(caption.empty());
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CWmiData wmi;
  ASSERT_EQ(1, wmi.Connect());
  EXPECT_EQ(0, wmi.Query(L"Win32_CacheMemory Where level = 4"));
  const std::vector<SeenBox> boxes = watcher.Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(std::wstring(kNextError) + L"Select * From Win32_CacheMemory Where level = 4", boxes[0].text);
  EXPECT_EQ(caption, boxes[0].caption);
  EXPECT_EQ(::LoadIconW(nullptr, IDI_ERROR), boxes[0].icon);
  EXPECT_NE(nullptr, boxes[0].icon);
  EXPECT_EQ(nullptr, boxes[0].owner);
  EXPECT_EQ(std::vector<int>{IDOK}, boxes[0].buttons);
  EXPECT_EQ(3, g_record.live) << "the enumerator stays held";
}

TEST_F(CWmiDataFake, NextBoxCaptionIsEmptyWithoutSatellite) {
  SatelliteGuard none(false);
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CWmiData wmi;
  ASSERT_EQ(1, wmi.Connect());
  EXPECT_EQ(0, wmi.Query(L"Win32_CacheMemory"));
  ASSERT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ(L"", watcher.Boxes()[0].caption);
  EXPECT_EQ(::LoadIconW(nullptr, IDI_ERROR), watcher.Boxes()[0].icon);
}



TEST_F(CWmiDataFake, QueryAfterAFailedQueryLetsTheOldEnumeratorGoFirst) {
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CWmiData wmi;
  ASSERT_EQ(1, wmi.Connect());
  ASSERT_EQ(0, wmi.Query(L"Win32_CacheMemory Where level = 4"));
  OneInstance({{L"Manufacturer", fakewmi::Bstr(L"Varnel Corporation")}});
  MarkLog();
  ASSERT_EQ(1, wmi.Query(L"Win32_ComputerSystem"));
  EXPECT_EQ((Log{L"~Enum0", L"ExecQuery", L"Next"}), LogSinceMark());
  std::wstring manufacturer;
  EXPECT_EQ(1, wmi.GetString(L"Manufacturer", manufacturer));
  EXPECT_EQ(L"Varnel Corporation", manufacturer);
  EXPECT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ(4, g_record.live) << "locator, services, the new enumerator and its instance";
}

TEST_F(CWmiDataFake, QueryLetsAnOpenQueryGoEvenWhenItFails) {
  OneInstance({});
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CWmiData wmi;
  Open(wmi, L"Win32_BIOS");
  g_script.execGivesEnumerator = false;
  EXPECT_EQ(0, wmi.Query(L"Win32_BIOS"));
  EXPECT_EQ(2, g_record.live) << "no instance of the earlier query may stay behind";
}

TEST_F(CWmiDataFake, QueryWithoutConnectionShowsTheExecQueryBox) {
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CWmiData wmi;
  EXPECT_EQ(0, wmi.Query(L"Win32_BIOS"));
  ASSERT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ(std::wstring(kExecError) + L"Select * From Win32_BIOS", watcher.Boxes()[0].text);
}

// --- GetString

struct StringCase {
  const char* name;
  fakewmi::FakeValue value;
  int result;
  std::wstring text; // the output, which starts as "untouched"
};

class CWmiDataGetString : public CWmiDataFake, public ::testing::WithParamInterface<StringCase> {};

TEST_P(CWmiDataGetString, ReadsTextAndSignedIntegersOnly) {
  OneInstance({{L"Value", GetParam().value}});
  CWmiData wmi;
  Open(wmi, L"Win32_Test");
  std::wstring out = L"untouched";
  EXPECT_EQ(GetParam().result, wmi.GetString(L"Value", out));
  EXPECT_EQ(GetParam().text, out);
  ASSERT_EQ(1u, g_record.getNames.size());
  EXPECT_EQ(L"Value", g_record.getNames[0]);
  EXPECT_TRUE(g_record.getNamesAreBstrs) << "the name goes as a BSTR";
  EXPECT_EQ(0, g_record.getFlags);
  EXPECT_FALSE(g_record.getAskedTypeOrFlavor);
}

std::string StringCaseName(const ::testing::TestParamInfo<StringCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Types, CWmiDataGetString,
    ::testing::Values(StringCase{"Bstr", fakewmi::Bstr(L"The Wine Project"), 1, L"The Wine Project"},
                      StringCase{"EmptyBstr", fakewmi::Bstr(L""), 1, L""},
                      StringCase{"BstrEndsAtNull", fakewmi::Bstr(std::wstring(L"ab\0cd", 5)), 1, L"ab"},
                      StringCase{"BstrJapanese", fakewmi::Bstr(L"\u65E5\u672C"), 1, L"\u65E5\u672C"},
                      StringCase{"I2Negative", fakewmi::I2(-5), 1, L"-5"},
                      StringCase{"I2Min", fakewmi::I2(-32768), 1, L"-32768"},
                      StringCase{"I4", fakewmi::I4(42), 1, L"42"},
                      StringCase{"I4Min", fakewmi::I4(std::numeric_limits<int32_t>::min()), 1, L"-2147483648"},
                      StringCase{"I8Large", fakewmi::I8(26843545600), 1, L"26843545600"},
                      StringCase{"I8Min", fakewmi::I8(std::numeric_limits<int64_t>::min()), 1, L"-9223372036854775808"},
                      StringCase{"Bool", fakewmi::Bool(true), 0, L"untouched"},
                      StringCase{"Null", fakewmi::Null(), 0, L"untouched"},
                      StringCase{"Empty", fakewmi::Empty(), 0, L"untouched"},
                      StringCase{"UI4", fakewmi::UI4(7), 0, L"untouched"},
                      StringCase{"R8", fakewmi::R8(1.5), 0, L"untouched"}),
    StringCaseName);

TEST_F(CWmiDataFake, GetStringOfAMissingPropertyLeavesTheOutput) {
  OneInstance({{L"Model", fakewmi::Bstr(L"KV-1")}});
  CWmiData wmi;
  Open(wmi, L"Win32_ComputerSystem");
  std::wstring out = L"kept";
  EXPECT_EQ(0, wmi.GetString(L"SerialNumber", out));
  EXPECT_EQ(L"kept", out);
}

TEST_F(CWmiDataFake, GetStringClearsAValueOfUnsupportedType) {
  fakewmi::CountingUnknown object;
  OneInstance({{L"Value", fakewmi::Unknown(&object)}});
  CWmiData wmi;
  Open(wmi, L"Win32_Test");
  std::wstring out = L"kept";
  EXPECT_EQ(0, wmi.GetString(L"Value", out));
  EXPECT_EQ(L"kept", out);
  EXPECT_EQ(1, object.Refs()) << "the VARIANT was not cleared";
}

// --- GetValue of a byte array (SMBiosData): only a one-dimensional array of bytes is read, whatever its bounds

struct ByteArrayCase {
  const char* name;
  fakewmi::FakeValue value;
  std::vector<uint8_t> bytes;
};

class CWmiDataByteArray : public CWmiDataFake, public ::testing::WithParamInterface<ByteArrayCase> {};

TEST_P(CWmiDataByteArray, ReadsOneDimensionOfBytes) {
  OneInstance({{L"SMBiosData", GetParam().value}});
  CWmiData wmi;
  Open(wmi, L"MSSmBios_RawSMBiosTables");
  WmiValue value;
  ASSERT_EQ(1, wmi.GetValue(L"SMBiosData", value));
  EXPECT_EQ(kWmiByteArrayType, value.type);
  EXPECT_EQ(GetParam().bytes, value.bytes);
}

const std::vector<uint8_t> kTableBytes = {0x00, 0x18, 0x00, 0x00, 0x7F, 0x04};

INSTANTIATE_TEST_SUITE_P(
    Arrays, CWmiDataByteArray,
    ::testing::Values(ByteArrayCase{"FromZero", fakewmi::ByteArray(kTableBytes), kTableBytes},
                      ByteArrayCase{"FromFive", fakewmi::ByteArray(kTableBytes, 5), kTableBytes},
                      ByteArrayCase{"FromMinusThree", fakewmi::ByteArray(kTableBytes, -3), kTableBytes},
                      ByteArrayCase{"TwoDimensions", fakewmi::ByteArray(kTableBytes, 0, 2), {}},
                      ByteArrayCase{"TwoByteElements", fakewmi::ByteArray(kTableBytes, 0, 1, VT_UI2), {}},
                      ByteArrayCase{"Empty", fakewmi::ByteArray({}), {}}),
    [](const ::testing::TestParamInfo<ByteArrayCase>& info) { return std::string(info.param.name); });

// --- GetNumber

struct NumberCase {
  const char* name;
  fakewmi::FakeValue value;
  int result;
  uint64_t out; // starts as kUntouched
};

constexpr uint64_t kUntouched = 0xA5A5A5A5A5A5A5A5u;

class CWmiDataGetNumber : public CWmiDataFake, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(CWmiDataGetNumber, ParsesTheValueAsTextIntoSixtyFourBits) {
  OneInstance({{L"Capacity", GetParam().value}});
  CWmiData wmi;
  Open(wmi, L"Win32_PhysicalMemory");
  uint64_t out = kUntouched;
  EXPECT_EQ(GetParam().result, wmi.GetNumber(L"Capacity", out));
  EXPECT_EQ(GetParam().out, out);
  EXPECT_TRUE(g_record.getNamesAreBstrs);
}

std::string NumberCaseName(const ::testing::TestParamInfo<NumberCase>& info) { return info.param.name; }

constexpr uint64_t kMinus(uint64_t n) { return uint64_t{0} - n; }

INSTANTIATE_TEST_SUITE_P(
    Values, CWmiDataGetNumber,
    ::testing::Values(NumberCase{"OneGiB", fakewmi::Bstr(L"1073741824"), 1, 1073741824u},
                      NumberCase{"TwoGiBUnsigned", fakewmi::Bstr(L"2147483648"), 1, 2147483648u},
                      NumberCase{"FourGiBExact", fakewmi::Bstr(L"4294967296"), 1, 4294967296u},
                      NumberCase{"TwentyFiveGB", fakewmi::Bstr(L"25276178432"), 1, 25276178432u},
                      NumberCase{"DigitsThenLetters", fakewmi::Bstr(L"12abc"), 1, 12},
                      NumberCase{"LeadingSpace", fakewmi::Bstr(L"  64"), 1, 64},
                      NumberCase{"Letters", fakewmi::Bstr(L"abc"), 0, 0},
                      NumberCase{"EmptyText", fakewmi::Bstr(L""), 0, 0},
                      NumberCase{"MinusWrapsAround", fakewmi::Bstr(L"-5"), 1, kMinus(5)},
                      NumberCase{"I4", fakewmi::I4(1536), 1, 1536},
                      NumberCase{"I2Negative", fakewmi::I2(-5), 1, kMinus(5)},
                      NumberCase{"I8", fakewmi::I8(8589934592), 1, 8589934592u},
                      NumberCase{"UI4", fakewmi::UI4(4294967295u), 1, 4294967295u},
                      // VariantChangeType gives "-1" and "0" for booleans.
                      NumberCase{"BoolTrue", fakewmi::Bool(true), 1, kMinus(1)},
                      NumberCase{"BoolFalse", fakewmi::Bool(false), 1, 0},
                      // VT_EMPTY turns into an empty text: no digit.
                      NumberCase{"Empty", fakewmi::Empty(), 0, 0},
                      // No text form at all: a failed read.
                      NumberCase{"Null", fakewmi::Null(), 0, kUntouched}),
    NumberCaseName);

TEST_F(CWmiDataFake, GetNumberOfAMissingPropertyLeavesTheOutput) {
  OneInstance({});
  CWmiData wmi;
  Open(wmi, L"Win32_PhysicalMemory");
  uint64_t out = kUntouched;
  EXPECT_EQ(0, wmi.GetNumber(L"Capacity", out));
  EXPECT_EQ(kUntouched, out);
}

TEST_F(CWmiDataFake, GetNumberClearsAValueWithoutTextForm) {
  fakewmi::CountingUnknown object;
  OneInstance({{L"Capacity", fakewmi::Unknown(&object)}});
  CWmiData wmi;
  Open(wmi, L"Win32_PhysicalMemory");
  uint64_t out = kUntouched;
  EXPECT_EQ(0, wmi.GetNumber(L"Capacity", out));
  EXPECT_EQ(kUntouched, out);
  EXPECT_EQ(1, object.Refs()) << "the VARIANT was not cleared";
}

// --- GetNextNumber and sums

// The caller's summing loop, as the dialog runs it.
uint64_t Sum(CWmiData& wmi, const wchar_t* property) {
  uint64_t total = 0, value = 0;
  if (wmi.GetNumber(property, value) == 1) total += value;
  while (wmi.GetNextNumber(property, value) == 1) total += value;
  return total;
}

TEST_F(CWmiDataFake, ThreeInstancesSumBeyondSigned32Bits) {
  g_script.instances = {{{L"Capacity", fakewmi::Bstr(L"1073741824")}},
                        {{L"Capacity", fakewmi::Bstr(L"1073741824")}},
                        {{L"Capacity", fakewmi::Bstr(L"536870912")}}};
  CWmiData wmi;
  Open(wmi, L"Win32_PhysicalMemory");
  EXPECT_EQ(2684354560u, Sum(wmi, L"Capacity"));
  EXPECT_EQ(4u, g_record.nextCounts.size()) << "each instance once, then the end";
  for (size_t i = 0; i < g_record.nextTimeouts.size(); ++i) {
    EXPECT_LE(g_record.nextTimeouts[i], static_cast<LONG>(CWmiData::kBudgetMs));
    EXPECT_EQ(1u, g_record.nextCounts[i]);
  }
}

TEST_F(CWmiDataFake, ModulesOfFourGiBAndMoreSumExactly) {
  g_script.instances = {{{L"Capacity", fakewmi::Bstr(L"8589934592")}}, {{L"Capacity", fakewmi::Bstr(L"4294967296")}}};
  CWmiData wmi;
  Open(wmi, L"Win32_PhysicalMemory");
  EXPECT_EQ(12884901888u, Sum(wmi, L"Capacity"));
}

TEST_F(CWmiDataFake, GetNextNumberReleasesTheInstanceBeforeMovingOn) {
  g_script.instances = {{{L"Capacity", fakewmi::Bstr(L"1")}}, {{L"Capacity", fakewmi::Bstr(L"2")}}};
  CWmiData wmi;
  Open(wmi, L"Win32_PhysicalMemory");
  MarkLog();
  uint64_t value = 0;
  ASSERT_EQ(1, wmi.GetNextNumber(L"Capacity", value));
  EXPECT_EQ(2u, value);
  EXPECT_EQ((Log{L"~Object0", L"Next"}), LogSinceMark());
}

TEST_F(CWmiDataFake, GetNextNumberAfterTheLastInstanceLeavesTheOutput) {
  OneInstance({{L"Capacity", fakewmi::Bstr(L"536870912")}});
  CWmiData wmi;
  Open(wmi, L"Win32_PhysicalMemory");
  uint64_t value = 77;
  EXPECT_EQ(0, wmi.GetNextNumber(L"Capacity", value));
  EXPECT_EQ(77u, value);
  EXPECT_EQ(3, g_record.live) << "enumeration ended: no instance held";
  EXPECT_EQ(0, wmi.GetNextNumber(L"Capacity", value)) << "and it stays ended";
  EXPECT_EQ(77u, value);
  // Enumeration ended: the destructor lets go of enumerator, services, locator.
}

TEST_F(CWmiDataFake, FalseFromNextEndsTheEnumerationEvenWithAnObject) {
  // Query does not look at the HRESULT; GetNextNumber does.
  g_script.nextWithObject = WBEM_S_FALSE;
  g_script.instances = {{{L"Capacity", fakewmi::Bstr(L"1")}}, {{L"Capacity", fakewmi::Bstr(L"2")}}};
  CWmiData wmi;
  Open(wmi, L"Win32_PhysicalMemory");
  uint64_t value = 77;
  EXPECT_EQ(0, wmi.GetNextNumber(L"Capacity", value));
  EXPECT_EQ(77u, value);
  EXPECT_EQ(3, g_record.live) << "no instance held after the end";
}

TEST_F(CWmiDataFake, FailingNextEndsTheEnumerationWithOutputUntouched) {
  g_script.instances = {{{L"Capacity", fakewmi::Bstr(L"1")}}, {{L"Capacity", fakewmi::Bstr(L"2")}}};
  g_script.failNextAt = 1;
  CWmiData wmi;
  Open(wmi, L"Win32_PhysicalMemory");
  uint64_t value = 77;
  EXPECT_EQ(0, wmi.GetNextNumber(L"Capacity", value));
  EXPECT_EQ(77u, value);
}

TEST_F(CWmiDataFake, NullOnALaterInstanceEndsTheSumWithWhatItHas) {
  g_script.instances = {{{L"MaxCacheSize", fakewmi::I4(512)}},
                        {{L"MaxCacheSize", fakewmi::Null()}},
                        {{L"MaxCacheSize", fakewmi::I4(256)}}};
  CWmiData wmi;
  Open(wmi, L"Win32_CacheMemory Where level = 4");
  EXPECT_EQ(512u, Sum(wmi, L"MaxCacheSize"));
}

TEST_F(CWmiDataFake, UnparsableTextOnANextInstanceGivesZero) {
  g_script.instances = {{{L"Capacity", fakewmi::Bstr(L"1")}}, {{L"Capacity", fakewmi::Bstr(L"n/a")}}};
  CWmiData wmi;
  Open(wmi, L"Win32_PhysicalMemory");
  uint64_t value = 77;
  EXPECT_EQ(0, wmi.GetNextNumber(L"Capacity", value));
  EXPECT_EQ(0u, value);
}

// --- release order and states

TEST_F(CWmiDataFake, CloseQueryReleasesInstanceThenEnumerator) {
  OneInstance({});
  CWmiData wmi;
  Open(wmi, L"Win32_BIOS");
  MarkLog();
  wmi.CloseQuery();
  EXPECT_EQ((Log{L"~Object0", L"~Enum0"}), LogSinceMark());
  EXPECT_EQ(2, g_record.live);
  wmi.CloseQuery();
  EXPECT_EQ(2u, LogSinceMark().size()) << "nothing more to close";
}

TEST_F(CWmiDataFake, DisconnectReleasesMostRecentFirstAndOnlyOnce) {
  OneInstance({});
  CWmiData wmi;
  Open(wmi, L"Win32_BIOS");
  MarkLog();
  wmi.Disconnect();
  EXPECT_EQ((Log{L"~Object0", L"~Enum0", L"~Services", L"~Locator"}), LogSinceMark());
  wmi.Disconnect();
  EXPECT_EQ(4u, LogSinceMark().size()) << "a second Disconnect does nothing more";
  EXPECT_EQ(0, g_record.live);
}

TEST_F(CWmiDataFake, DestructorReleasesMostRecentFirst) {
  OneInstance({});
  auto wmi = std::make_unique<CWmiData>();
  ASSERT_EQ(1, wmi->Connect());
  ASSERT_EQ(1, wmi->Query(L"Win32_BIOS"));
  MarkLog();
  wmi.reset();
  EXPECT_EQ((Log{L"~Object0", L"~Enum0", L"~Services", L"~Locator"}), LogSinceMark());
}

TEST_F(CWmiDataFake, DestructorAfterAFailedQueryReleasesTheHeldEnumerator) {
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  auto wmi = std::make_unique<CWmiData>();
  ASSERT_EQ(1, wmi->Connect());
  ASSERT_EQ(0, wmi->Query(L"Win32_CacheMemory"));
  MarkLog();
  wmi.reset();
  EXPECT_EQ((Log{L"~Enum0", L"~Services", L"~Locator"}), LogSinceMark());
}

TEST_F(CWmiDataFake, DestructorAfterDisconnectReleasesNothingMore) {
  auto wmi = std::make_unique<CWmiData>();
  ASSERT_EQ(1, wmi->Connect());
  wmi->Disconnect();
  MarkLog();
  wmi.reset();
  EXPECT_TRUE(LogSinceMark().empty());
}

TEST_F(CWmiDataFake, DialogSequenceHoldsOneQueryAtATime) {
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CWmiData wmi;
  ASSERT_EQ(1, wmi.Connect());
  g_script.instances = {{{L"Capacity", fakewmi::Bstr(L"536870912")}}, {{L"Capacity", fakewmi::Bstr(L"536870912")}}};
  ASSERT_EQ(1, wmi.Query(L"Win32_PhysicalMemory"));
  EXPECT_EQ(1073741824u, Sum(wmi, L"Capacity"));
  wmi.CloseQuery();
  EXPECT_EQ(2, g_record.live);
  g_script.instances = {{{L"MaxCacheSize", fakewmi::I4(1024)}}, {{L"MaxCacheSize", fakewmi::I4(1024)}}};
  ASSERT_EQ(1, wmi.Query(std::wstring(L"Win32_CacheMemory") + L" Where level = 4"));
  EXPECT_EQ(2048u, Sum(wmi, L"MaxCacheSize"));
  wmi.CloseQuery();
  g_script.instances = {{{L"Caption", fakewmi::Bstr(L"Microsoft Windows XP Professional")},
                         {L"CSDVersion", fakewmi::Null()}}};
  ASSERT_EQ(1, wmi.Query(L"Win32_OperatingSystem"));
  std::wstring caption, servicePack;
  EXPECT_EQ(1, wmi.GetString(L"Caption", caption));
  EXPECT_EQ(0, wmi.GetString(L"CSDVersion", servicePack));
  EXPECT_EQ(L"Microsoft Windows XP Professional", caption);
  EXPECT_EQ(L"", servicePack);
  wmi.Disconnect();
  EXPECT_EQ(0, g_record.live);
  EXPECT_TRUE(watcher.Boxes().empty());
}

// --- a WMI that stops answering

// Where the fakes hang, what each operation then gives within a short budget, and that nothing is waited for
// once one call ran out: the rest fail at once and show no box, in this object and in another that shares the
// budget. The hung call returns when the test ends, and its objects are let go then, on the worker.
struct HangCase {
  const char* name;
  fakewmi::Hang hang;
  size_t hangAtNext;
  int connect, query;       // what Connect and the first Query give
  const wchar_t* box;       // the first Query's box, if any
  uint64_t memory;          // the sum the caller gets from that query
};

class CWmiDataHang : public CWmiDataFake, public ::testing::WithParamInterface<HangCase> {};

TEST_P(CWmiDataHang, OneCallRunsOutAndNothingIsWaitedForAgain) {
  const HangCase& c = GetParam();
  g_script.hang = c.hang;
  g_script.hangAtNext = c.hangAtNext;
  g_script.instances = {{{L"Capacity", fakewmi::Bstr(L"536870912")}}, {{L"Capacity", fakewmi::Bstr(L"536870912")}}};
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CallBudget budget(300);
  const DWORD start = ::GetTickCount();
  {
    CWmiData wmi(&budget);
    EXPECT_EQ(c.connect, wmi.Connect());
    uint64_t total = 0;
    EXPECT_EQ(c.query, wmi.Query(L"Win32_PhysicalMemory"));
    if (c.query == 1) total = Sum(wmi, L"Capacity");
    EXPECT_EQ(c.memory, total);
    EXPECT_TRUE(wmi.RanOut());
    EXPECT_TRUE(budget.Exhausted());
    EXPECT_EQ(0, wmi.Query(L"Win32_BIOS")) << "not asked again";
    std::wstring text = L"kept";
    EXPECT_EQ(0, wmi.GetString(L"SerialNumber", text));
    EXPECT_EQ(L"kept", text);
    wmi.Disconnect();
  }
  const int connects = g_record.connectCalls;
  CWmiData other(&budget);
  EXPECT_EQ(0, other.Connect());
  EXPECT_EQ(CWmiData::ConnectEnd::kRanOut, other.LastConnect());
  EXPECT_EQ(connects, g_record.connectCalls) << "the budget is shared: the second object asks nothing";
  // Only the call that hung waited, and for no longer than the budget; the boxes do not count.
  EXPECT_LT(::GetTickCount() - start, 3000u);
  const std::vector<SeenBox> boxes = watcher.Boxes();
  if (c.box) {
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(std::wstring(c.box) + L"Select * From Win32_PhysicalMemory", boxes[0].text);
  } else {
    EXPECT_TRUE(boxes.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Hangs, CWmiDataHang,
    ::testing::Values(HangCase{"ConnectServer", fakewmi::Hang::kConnectServer, 0, 0, 0, nullptr, 0},
                      HangCase{"ExecQuery", fakewmi::Hang::kExecQuery, 0, 1, 0, kExecError, 0},
                      HangCase{"FirstNext", fakewmi::Hang::kNext, 0, 1, 0, kNextError, 0},
                      // A later Next that hangs ends the sum with what it has, as the end of the instances does.
                      HangCase{"SecondNext", fakewmi::Hang::kNext, 1, 1, 1, nullptr, 536870912},
                      HangCase{"Get", fakewmi::Hang::kGet, 0, 1, 1, nullptr, 0}),
    [](const ::testing::TestParamInfo<HangCase>& info) { return info.param.name; });

// A Next that gives up with WBEM_S_TIMEDOUT, at once or after the caller stopped waiting: the first Next's box,
// nothing asked again, and every object let go on the worker while it is still in its apartment, however late the
// call returns (just after the budget, while the caller still holds the object; long after it was destroyed).
class CWmiDataTimedOut : public CWmiDataFake, public ::testing::WithParamInterface<fakewmi::TimedOut> {};

TEST_P(CWmiDataTimedOut, EveryObjectIsReleasedInItsApartment) {
  g_script.nextTimesOut = GetParam();
  OneInstance({{L"Capacity", fakewmi::Bstr(L"1")}});
  MessageBoxAnswerer watcher(::GetCurrentThreadId());
  CallBudget budget(300);
  {
    CWmiData wmi(&budget);
    ASSERT_EQ(1, wmi.Connect());
    EXPECT_EQ(0, wmi.Query(L"Win32_PhysicalMemory"));
    EXPECT_TRUE(wmi.RanOut());
    EXPECT_EQ(0, wmi.Query(L"Win32_BIOS")) << "not asked again";
    if (GetParam() == fakewmi::TimedOut::kJustAfter) {
      // The late call returns while this object still lives, as it does behind the Next box.
      for (int i = 0; i < 300 && !::InterlockedCompareExchange(&g_record.nextTimedOut, 0, 0); ++i) ::Sleep(10);
      ::Sleep(100);
    }
  }
  for (int i = 0; i < 400 && g_record.live != 0; ++i) ::Sleep(10);
  ASSERT_EQ(0, g_record.live);
  ASSERT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ(std::wstring(kNextError) + L"Select * From Win32_PhysicalMemory", watcher.Boxes()[0].text);
  ASSERT_NE(0u, g_record.creatorThread);
  ASSERT_FALSE(g_record.releases.empty());
  for (const fakewmi::ReleaseSite& site : g_record.releases) {
    EXPECT_EQ(g_record.creatorThread, site.thread) << site.object << " released on another thread";
    EXPECT_TRUE(site.inApartment) << site.object << " released after the worker left its apartment";
  }
}

std::string TimedOutName(const ::testing::TestParamInfo<fakewmi::TimedOut>& info) {
  static const char* const names[] = {"Never", "AtOnce", "JustAfter", "LongAfter"};
  return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Nexts, CWmiDataTimedOut,
                         ::testing::Values(fakewmi::TimedOut::kAtOnce, fakewmi::TimedOut::kJustAfter,
                                           fakewmi::TimedOut::kLongAfter),
                         TimedOutName);

} // namespace
