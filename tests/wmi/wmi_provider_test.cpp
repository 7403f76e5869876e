// The WMI fixture provider called directly (loaded by path, no registration): its exports, class
// factory, locator, services, enumerator and instances, the file format and the [fail] section.
#include "framework/com.h"

#include "tests/support/win32_support.h"
#include "tests/wmi/fixture_file.h"

#include <wbemidl.h>

#include <gtest/gtest.h>

#include <random>

namespace {

using kcctest::FixtureFile;

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

const wchar_t kRegistryKey[] = L"Software\\KCCSystemInfo\\WmiFixture";

const wchar_t kSample[] = L"[Win32_PhysicalMemory#0]\r\n"
                          L"Capacity=VT_BSTR:536870912\r\n"
                          L"[Win32_PhysicalMemory#2]\r\n"
                          L"Capacity=VT_BSTR:4294967296\r\n"
                          L"[Win32_PhysicalMemory#1]\r\n"
                          L"Capacity=VT_BSTR:1073741824\r\n"
                          L"[Win32_CacheMemory#0]\r\n"
                          L"Level=VT_I4:4\r\n"
                          L"MaxCacheSize=VT_I4:1536\r\n"
                          L"[Win32_CacheMemory#1]\r\n"
                          L"Level=VT_I4:3\r\n"
                          L"MaxCacheSize=VT_I4:64\r\n"
                          L"[Win32_Types#0]\r\n"
                          L"Text=VT_BSTR:\u65E5\u672C\u96FB\u6C17\r\n"
                          L"Short=VT_I2:-5\r\n"
                          L"Long=VT_I4:42\r\n"
                          L"Huge=VT_I8:-8589934592\r\n"
                          L"Yes=VT_BOOL:true\r\n"
                          L"No=VT_BOOL:false\r\n"
                          L"Nothing=VT_NULL\r\n"
                          L"Broken=VT_I4:x\r\n"
                          L"[fail]\r\n"
                          L"ExecQuery=Win32_BIOS, win32_processor\r\n";

class Provider : public ::testing::Test {
protected:
  void SetUp() override {
    ::SetEnvironmentVariableW(L"KCC_WMI_FIXTURE", nullptr);
    const std::wstring path = kcctest::BinDir() + L"\\kccwmifixture.dll";
    m_module = ::LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, m_module) << "LoadLibrary " << ::testing::PrintToString(path) << ": " << ::GetLastError();
    m_getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(::GetProcAddress(m_module, "DllGetClassObject")));
    m_canUnloadNow =
        reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void*>(::GetProcAddress(m_module, "DllCanUnloadNow")));
    ASSERT_NE(nullptr, m_getClassObject) << "undecorated DllGetClassObject export";
    ASSERT_NE(nullptr, m_canUnloadNow) << "undecorated DllCanUnloadNow export";
    ASSERT_EQ(S_OK, m_getClassObject(CLSID_WbemLocator, IID_IClassFactory, m_factory.ReceiveVoid()));
  }
  void TearDown() override {
    m_factory.Reset();
    if (m_canUnloadNow) {
      EXPECT_EQ(S_OK, m_canUnloadNow()) << "an object of the provider is still alive";
    }
    if (m_module) ::FreeLibrary(m_module);
  }

  ComPtr<IWbemLocator> Locator() {
    ComPtr<IWbemLocator> locator;
    EXPECT_EQ(S_OK, m_factory->CreateInstance(nullptr, IID_IWbemLocator, locator.ReceiveVoid()));
    return locator;
  }
  HRESULT Connect(ComPtr<IWbemServices>& services, const wchar_t* resource = L"\\\\.\\root\\cimv2") {
    ComPtr<IWbemLocator> locator = Locator();
    if (!locator) return E_FAIL;
    BString name(resource);
    return locator->ConnectServer(name.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Receive());
  }
  ComPtr<IWbemServices> Services() {
    ComPtr<IWbemServices> services;
    EXPECT_EQ(S_OK, Connect(services));
    return services;
  }
  static HRESULT Exec(IWbemServices* services, const wchar_t* query, ComPtr<IEnumWbemClassObject>& result,
                      const wchar_t* language = L"WQL") {
    BString wql(language), text(query);
    return services->ExecQuery(wql.Get(), text.Get(), WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr,
                               result.Receive());
  }
  // All instances of a query, one Next at a time.
  static std::vector<ComPtr<IWbemClassObject>> All(IWbemServices* services, const wchar_t* query) {
    std::vector<ComPtr<IWbemClassObject>> objects;
    ComPtr<IEnumWbemClassObject> enumerator;
    EXPECT_EQ(S_OK, Exec(services, query, enumerator));
    if (!enumerator) return objects;
    for (;;) {
      ComPtr<IWbemClassObject> object;
      ULONG returned = 7;
      const HRESULT hr = enumerator->Next(WBEM_INFINITE, 1, object.Receive(), &returned);
      if (hr == WBEM_S_FALSE) {
        EXPECT_EQ(0u, returned);
        EXPECT_FALSE(object);
        break;
      }
      EXPECT_EQ(S_OK, hr);
      EXPECT_EQ(1u, returned);
      objects.push_back(std::move(object));
    }
    return objects;
  }
  static std::wstring Text(IWbemClassObject* object, const wchar_t* name) {
    Variant value;
    if (FAILED(object->Get(name, 0, value.Receive(), nullptr, nullptr)) || value.Type() != VT_BSTR) return L"(none)";
    return std::wstring(V_BSTR(value.Get()), ::SysStringLen(V_BSTR(value.Get())));
  }

  HMODULE m_module = nullptr;
  GetClassObjectFn m_getClassObject = nullptr;
  CanUnloadNowFn m_canUnloadNow = nullptr;
  ComPtr<IClassFactory> m_factory;
};

// --- module and factory

TEST_F(Provider, ServesOnlyTheWbemLocatorClass) {
  ComPtr<IClassFactory> other;
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, m_getClassObject(CLSID_WbemAdministrativeLocator, IID_IClassFactory,
                                                        other.ReceiveVoid()));
  EXPECT_FALSE(other);
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(S_OK, m_getClassObject(CLSID_WbemLocator, IID_IUnknown, unknown.ReceiveVoid()));
  EXPECT_EQ(E_NOINTERFACE, m_getClassObject(CLSID_WbemLocator, IID_IWbemLocator, unknown.ReceiveVoid()));
}

TEST_F(Provider, FactoryRefusesAggregationAndOtherInterfaces) {
  ComPtr<IUnknown> object;
  EXPECT_EQ(CLASS_E_NOAGGREGATION, m_factory->CreateInstance(m_factory.Get(), IID_IUnknown, object.ReceiveVoid()));
  EXPECT_FALSE(object);
  EXPECT_EQ(E_NOINTERFACE, m_factory->CreateInstance(nullptr, IID_IWbemServices, object.ReceiveVoid()));
  EXPECT_FALSE(object);
  EXPECT_EQ(S_OK, m_factory->CreateInstance(nullptr, IID_IUnknown, object.ReceiveVoid()));
  ComPtr<IWbemLocator> locator;
  EXPECT_EQ(S_OK, object.As(locator));
}

TEST_F(Provider, CanUnloadOnlyWithoutObjectsAndLocks) {
  EXPECT_EQ(S_OK, m_canUnloadNow());
  {
    ComPtr<IWbemLocator> locator = Locator();
    EXPECT_EQ(S_FALSE, m_canUnloadNow());
  }
  EXPECT_EQ(S_OK, m_canUnloadNow());
  EXPECT_EQ(S_OK, m_factory->LockServer(TRUE));
  EXPECT_EQ(S_FALSE, m_canUnloadNow());
  EXPECT_EQ(S_OK, m_factory->LockServer(FALSE));
  EXPECT_EQ(S_OK, m_canUnloadNow());
}

// --- locating the fixture

TEST_F(Provider, NoFixtureConfiguredFailsConnectServer) {
  ComPtr<IWbemServices> services;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), Connect(services));
  EXPECT_FALSE(services);
}

TEST_F(Provider, MissingFileFailsConnectServer) {
  ::SetEnvironmentVariableW(L"KCC_WMI_FIXTURE", L"C:\\no\\such\\fixture.ini");
  ComPtr<IWbemServices> services;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), Connect(services));
  EXPECT_FALSE(services);
  ::SetEnvironmentVariableW(L"KCC_WMI_FIXTURE", nullptr);
}

TEST_F(Provider, OnlyTheLocalCimv2NamespaceConnects) {
  FixtureFile file(kSample);
  for (const wchar_t* name : {L"\\\\.\\root\\cimv2", L"root\\cimv2", L"ROOT\\CIMV2", L"//./root/cimv2"}) {
    ComPtr<IWbemServices> services;
    EXPECT_EQ(S_OK, Connect(services, name)) << ::testing::PrintToString(std::wstring(name));
    EXPECT_TRUE(services);
  }
  for (const wchar_t* name : {L"root\\default", L"\\\\server\\root\\cimv2", L""}) {
    ComPtr<IWbemServices> services;
    EXPECT_EQ(WBEM_E_INVALID_NAMESPACE, Connect(services, name)) << ::testing::PrintToString(std::wstring(name));
    EXPECT_FALSE(services);
  }
  ComPtr<IWbemLocator> locator = Locator();
  BString name(L"root\\cimv2");
  EXPECT_EQ(WBEM_E_INVALID_PARAMETER, locator->ConnectServer(name.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                                             nullptr));
}

TEST_F(Provider, UnixPathInTheVariableIsSeenThroughWine) {
  FixtureFile file(kSample);
  // The same file under its Unix name.
  using UnixName = char*(CDECL*)(const WCHAR*);
  const auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  ASSERT_NE(nullptr, unixName);
  char* unix = unixName(file.Path().c_str());
  ASSERT_NE(nullptr, unix);
  std::wstring unixPath;
  for (const char* c = unix; *c; ++c) unixPath += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  ::HeapFree(::GetProcessHeap(), 0, unix);
  ASSERT_EQ(L'/', unixPath[0]);
  ::SetEnvironmentVariableW(L"KCC_WMI_FIXTURE", unixPath.c_str());
  ComPtr<IWbemServices> services = Services();
  ASSERT_TRUE(services);
  EXPECT_EQ(3u, All(services.Get(), L"Select * From Win32_PhysicalMemory").size());
}

class RegistryFixture {
public:
  explicit RegistryFixture(const std::wstring& path) {
    HKEY key = nullptr;
    m_ok = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
           ERROR_SUCCESS;
    if (!m_ok) return;
    m_ok = ::RegSetValueExW(key, L"File", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                            static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    ::RegCloseKey(key);
  }
  ~RegistryFixture() {
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRegistryKey);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\KCCSystemInfo"); // only if nothing else lives there
  }
  bool Ok() const { return m_ok; }

private:
  bool m_ok = false;
};

TEST_F(Provider, RegistryValueNamesTheFileWhenTheVariableIsUnset) {
  FixtureFile file(kSample);
  ::SetEnvironmentVariableW(L"KCC_WMI_FIXTURE", nullptr);
  RegistryFixture registry(file.Path());
  ASSERT_TRUE(registry.Ok());
  ComPtr<IWbemServices> services = Services();
  ASSERT_TRUE(services);
  EXPECT_EQ(1u, All(services.Get(), L"Select * From Win32_Types").size());
}

TEST_F(Provider, VariableWinsOverTheRegistryValue) {
  FixtureFile registryFile(L"[Win32_BIOS#0]\r\nSMBIOSBIOSVersion=VT_BSTR:from registry\r\n");
  RegistryFixture registry(registryFile.Path());
  ASSERT_TRUE(registry.Ok());
  FixtureFile variableFile(L"[Win32_BIOS#0]\r\nSMBIOSBIOSVersion=VT_BSTR:from variable\r\n");
  ComPtr<IWbemServices> services = Services();
  ASSERT_TRUE(services);
  const auto bios = All(services.Get(), L"Select * From Win32_BIOS");
  ASSERT_EQ(1u, bios.size());
  EXPECT_EQ(L"from variable", Text(bios[0].Get(), L"SMBIOSBIOSVersion"));
}

TEST_F(Provider, FileIsReadAtEachConnection) {
  FixtureFile file(L"[Win32_BIOS#0]\r\nSMBIOSBIOSVersion=VT_BSTR:first\r\n");
  ComPtr<IWbemServices> first = Services();
  file.Write(FixtureFile::Utf16Bytes(L"[Win32_BIOS#0]\r\nSMBIOSBIOSVersion=VT_BSTR:second\r\n"));
  ComPtr<IWbemServices> second = Services();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(L"first", Text(All(first.Get(), L"Select * From Win32_BIOS").at(0).Get(), L"SMBIOSBIOSVersion"));
  EXPECT_EQ(L"second", Text(All(second.Get(), L"Select * From Win32_BIOS").at(0).Get(), L"SMBIOSBIOSVersion"));
}

// --- [fail]

TEST_F(Provider, FailConnectServerWhateverItsValue) {
  FixtureFile file(L"[Win32_BIOS#0]\r\nSMBIOSBIOSVersion=VT_BSTR:x\r\n[fail]\r\nConnectServer=no\r\n");
  ComPtr<IWbemServices> services;
  EXPECT_EQ(WBEM_E_ACCESS_DENIED, Connect(services));
  EXPECT_FALSE(services);
}

TEST_F(Provider, BlanketIsKeptAndCanBeMadeToFail) {
  {
    FixtureFile file(kSample);
    ComPtr<IWbemServices> services = Services();
    ASSERT_TRUE(services);
    ASSERT_EQ(S_OK, ::CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                        RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE));
    DWORD authn = 0, authz = 9, level = 0, impersonation = 0, capabilities = 9;
    OLECHAR* principal = reinterpret_cast<OLECHAR*>(1);
    ASSERT_EQ(S_OK, ::CoQueryProxyBlanket(services.Get(), &authn, &authz, &principal, &level, &impersonation, nullptr,
                                          &capabilities));
    EXPECT_EQ(static_cast<DWORD>(RPC_C_AUTHN_WINNT), authn);
    EXPECT_EQ(static_cast<DWORD>(RPC_C_AUTHZ_NONE), authz);
    EXPECT_EQ(nullptr, principal);
    EXPECT_EQ(static_cast<DWORD>(RPC_C_AUTHN_LEVEL_CALL), level);
    EXPECT_EQ(static_cast<DWORD>(RPC_C_IMP_LEVEL_IMPERSONATE), impersonation);
    EXPECT_EQ(static_cast<DWORD>(EOAC_NONE), capabilities);
  }
  FixtureFile failing(L"[fail]\r\nProxyBlanket=\r\n");
  ComPtr<IWbemServices> services = Services();
  ASSERT_TRUE(services);
  EXPECT_EQ(E_ACCESSDENIED, ::CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                                RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                                EOAC_NONE));
}

TEST_F(Provider, ListedClassesFailExecQueryWithoutEnumerator) {
  FixtureFile file(kSample);
  ComPtr<IWbemServices> services = Services();
  ASSERT_TRUE(services);
  for (const wchar_t* query : {L"Select * From Win32_BIOS", L"select * from WIN32_PROCESSOR",
                               L"Select * From Win32_BIOS Where x = 1"}) {
    ComPtr<IEnumWbemClassObject> enumerator;
    EXPECT_EQ(WBEM_E_FAILED, Exec(services.Get(), query, enumerator)) << ::testing::PrintToString(std::wstring(query));
    EXPECT_FALSE(enumerator);
  }
  EXPECT_EQ(1u, All(services.Get(), L"Select * From Win32_Types").size());
}

// --- queries and enumeration

TEST_F(Provider, OnlyWqlSelectStarQueriesAreUnderstood) {
  FixtureFile file(kSample);
  ComPtr<IWbemServices> services = Services();
  ASSERT_TRUE(services);
  ComPtr<IEnumWbemClassObject> enumerator;
  EXPECT_EQ(WBEM_E_INVALID_QUERY_TYPE, Exec(services.Get(), L"Select * From Win32_Types", enumerator, L"SQL"));
  EXPECT_FALSE(enumerator);
  for (const wchar_t* query : {L"Select Name From Win32_Types", L"Select * From", L"Select * From Win32_Types Where",
                               L"Select * From Win32_Types Where Long = 'x'", L"garbage"}) {
    EXPECT_EQ(WBEM_E_INVALID_QUERY, Exec(services.Get(), query, enumerator)) << ::testing::PrintToString(std::wstring(query));
    EXPECT_FALSE(enumerator);
  }
  BString wql(L"WQL"), text(L"Select * From Win32_Types");
  EXPECT_EQ(WBEM_E_INVALID_PARAMETER, services->ExecQuery(wql.Get(), text.Get(), 0, nullptr, nullptr));
  EXPECT_EQ(WBEM_E_INVALID_PARAMETER, services->ExecQuery(wql.Get(), nullptr, 0, nullptr, enumerator.Receive()));
}

TEST_F(Provider, ClassWithoutSectionGivesAnEmptyEnumeration) {
  FixtureFile file(kSample);
  ComPtr<IWbemServices> services = Services();
  ComPtr<IEnumWbemClassObject> enumerator;
  ASSERT_EQ(S_OK, Exec(services.Get(), L"Select * From Win32_ComputerSystem", enumerator));
  ASSERT_TRUE(enumerator);
  ComPtr<IWbemClassObject> object;
  ULONG returned = 9;
  EXPECT_EQ(WBEM_S_FALSE, enumerator->Next(WBEM_INFINITE, 1, object.Receive(), &returned));
  EXPECT_EQ(0u, returned);
  EXPECT_FALSE(object);
}

TEST_F(Provider, InstancesComeInSectionNumberOrderAndWhereFilters) {
  FixtureFile file(kSample);
  ComPtr<IWbemServices> services = Services();
  const auto memory = All(services.Get(), L"Select * From win32_physicalmemory");
  ASSERT_EQ(3u, memory.size());
  EXPECT_EQ(L"536870912", Text(memory[0].Get(), L"Capacity"));
  EXPECT_EQ(L"1073741824", Text(memory[1].Get(), L"Capacity"));
  EXPECT_EQ(L"4294967296", Text(memory[2].Get(), L"Capacity"));
  const auto level4 = All(services.Get(), L"Select * From Win32_CacheMemory Where level = 4");
  ASSERT_EQ(1u, level4.size());
  Variant size;
  ASSERT_EQ(S_OK, level4[0]->Get(L"MaxCacheSize", 0, size.Receive(), nullptr, nullptr));
  EXPECT_EQ(1536, V_I4(size.Get()));
  EXPECT_TRUE(All(services.Get(), L"Select * From Win32_CacheMemory Where level = 2").empty());
}

TEST_F(Provider, CreateInstanceEnumListsAClass) {
  FixtureFile file(kSample);
  ComPtr<IWbemServices> services = Services();
  BString className(L"Win32_PhysicalMemory");
  ComPtr<IEnumWbemClassObject> enumerator;
  ASSERT_EQ(S_OK, services->CreateInstanceEnum(className.Get(), 0, nullptr, enumerator.Receive()));
  ULONG returned = 0;
  IWbemClassObject* objects[4] = {};
  EXPECT_EQ(WBEM_S_FALSE, enumerator->Next(WBEM_INFINITE, 4, objects, &returned));
  EXPECT_EQ(3u, returned);
  for (ULONG i = 0; i < returned; ++i) objects[i]->Release();
}

TEST_F(Provider, NextSkipResetAndCloneKeepTheirPositions) {
  FixtureFile file(kSample);
  ComPtr<IWbemServices> services = Services();
  ComPtr<IEnumWbemClassObject> enumerator;
  ASSERT_EQ(S_OK, Exec(services.Get(), L"Select * From Win32_PhysicalMemory", enumerator));
  IWbemClassObject* objects[2] = {};
  ULONG returned = 0;
  ASSERT_EQ(S_OK, enumerator->Next(WBEM_INFINITE, 2, objects, &returned));
  ASSERT_EQ(2u, returned);
  EXPECT_EQ(L"536870912", Text(objects[0], L"Capacity"));
  EXPECT_EQ(L"1073741824", Text(objects[1], L"Capacity"));
  objects[0]->Release();
  objects[1]->Release();

  ComPtr<IEnumWbemClassObject> clone;
  ASSERT_EQ(S_OK, enumerator->Clone(clone.Receive()));
  ComPtr<IWbemClassObject> object;
  ASSERT_EQ(S_OK, clone->Next(0, 1, object.Receive(), &returned));
  EXPECT_EQ(L"4294967296", Text(object.Get(), L"Capacity"));
  EXPECT_EQ(WBEM_S_FALSE, clone->Next(0, 1, object.Receive(), &returned));

  EXPECT_EQ(S_OK, enumerator->Skip(WBEM_INFINITE, 1)) << "the clone moved on its own";
  EXPECT_EQ(WBEM_S_FALSE, enumerator->Skip(WBEM_INFINITE, 1));
  EXPECT_EQ(S_OK, enumerator->Reset());
  ASSERT_EQ(S_OK, enumerator->Next(0, 1, object.Receive(), &returned));
  EXPECT_EQ(L"536870912", Text(object.Get(), L"Capacity"));
  EXPECT_EQ(WBEM_E_INVALID_PARAMETER, enumerator->Next(0, 1, object.Receive(), nullptr));
  EXPECT_EQ(WBEM_E_NOT_SUPPORTED, enumerator->NextAsync(1, nullptr));
}

// --- values

struct TypeCase {
  const wchar_t* name;
  VARTYPE vt;
  CIMTYPE cim;
};

TEST_F(Provider, EachTypedValueGivesItsVariantAndCimType) {
  FixtureFile file(kSample);
  ComPtr<IWbemServices> services = Services();
  const auto types = All(services.Get(), L"Select * From Win32_Types");
  ASSERT_EQ(1u, types.size());
  IWbemClassObject* object = types[0].Get();
  const TypeCase cases[] = {{L"Text", VT_BSTR, CIM_STRING}, {L"Short", VT_I2, CIM_SINT16},
                            {L"Long", VT_I4, CIM_SINT32},   {L"Huge", VT_I8, CIM_SINT64},
                            {L"Yes", VT_BOOL, CIM_BOOLEAN}, {L"Nothing", VT_NULL, CIM_STRING}};
  for (const TypeCase& c : cases) {
    Variant value;
    CIMTYPE cim = -1;
    LONG flavor = -1;
    ASSERT_EQ(S_OK, object->Get(c.name, 0, value.Receive(), &cim, &flavor)) << ::testing::PrintToString(std::wstring(c.name));
    EXPECT_EQ(c.vt, value.Type()) << ::testing::PrintToString(std::wstring(c.name));
    EXPECT_EQ(c.cim, cim);
    EXPECT_EQ(WBEM_FLAVOR_ORIGIN_LOCAL, flavor);
  }
  Variant value;
  ASSERT_EQ(S_OK, object->Get(L"text", 0, value.Receive(), nullptr, nullptr)) << "names ignore case";
  EXPECT_EQ(L"\u65E5\u672C\u96FB\u6C17", std::wstring(V_BSTR(value.Get())));
  EXPECT_EQ(4u, ::SysStringLen(V_BSTR(value.Get()))) << "a real BSTR";
  ASSERT_EQ(S_OK, object->Get(L"Short", 0, value.Receive(), nullptr, nullptr));
  EXPECT_EQ(-5, V_I2(value.Get()));
  ASSERT_EQ(S_OK, object->Get(L"Long", 0, value.Receive(), nullptr, nullptr));
  EXPECT_EQ(42, V_I4(value.Get()));
  ASSERT_EQ(S_OK, object->Get(L"Huge", 0, value.Receive(), nullptr, nullptr));
  EXPECT_EQ(-8589934592LL, V_I8(value.Get()));
  ASSERT_EQ(S_OK, object->Get(L"Yes", 0, value.Receive(), nullptr, nullptr));
  EXPECT_EQ(VARIANT_TRUE, V_BOOL(value.Get()));
  ASSERT_EQ(S_OK, object->Get(L"No", 0, value.Receive(), nullptr, nullptr));
  EXPECT_EQ(VARIANT_FALSE, V_BOOL(value.Get()));
  ASSERT_EQ(S_OK, object->Get(L"__CLASS", 0, value.Receive(), nullptr, nullptr));
  EXPECT_EQ(L"Win32_Types", std::wstring(V_BSTR(value.Get())));
}

TEST_F(Provider, UnlistedOrUnparsablePropertiesAreNotFound) {
  FixtureFile file(kSample);
  ComPtr<IWbemServices> services = Services();
  const auto types = All(services.Get(), L"Select * From Win32_Types");
  ASSERT_EQ(1u, types.size());
  Variant value;
  EXPECT_EQ(WBEM_E_NOT_FOUND, types[0]->Get(L"Missing", 0, value.Receive(), nullptr, nullptr));
  EXPECT_EQ(WBEM_E_NOT_FOUND, types[0]->Get(L"Broken", 0, value.Receive(), nullptr, nullptr));
  EXPECT_EQ(VT_EMPTY, value.Type());
  EXPECT_EQ(WBEM_E_INVALID_PARAMETER, types[0]->Get(nullptr, 0, value.Receive(), nullptr, nullptr));
  CIMTYPE cim = 0;
  EXPECT_EQ(S_OK, types[0]->Get(L"Long", 0, nullptr, &cim, nullptr)) << "the type alone may be asked for";
  EXPECT_EQ(CIM_SINT32, cim);
}

TEST_F(Provider, InstanceOutlivesItsServicesAndEnumerator) {
  FixtureFile file(kSample);
  ComPtr<IWbemClassObject> object;
  {
    ComPtr<IWbemServices> services = Services();
    object = All(services.Get(), L"Select * From Win32_Types").at(0);
  }
  EXPECT_EQ(L"\u65E5\u672C\u96FB\u6C17", Text(object.Get(), L"Text"));
  ComPtr<IWbemClassObject> copy;
  ASSERT_EQ(S_OK, object->Clone(copy.Receive()));
  EXPECT_EQ(L"\u65E5\u672C\u96FB\u6C17", Text(copy.Get(), L"Text"));
}

TEST_F(Provider, OtherMethodsAreNotSupported) {
  FixtureFile file(kSample);
  ComPtr<IWbemServices> services = Services();
  BString path(L"Win32_Types");
  ComPtr<IWbemClassObject> object;
  EXPECT_EQ(WBEM_E_NOT_SUPPORTED, services->GetObject(path.Get(), 0, nullptr, object.Receive(), nullptr));
  BString wql(L"WQL"), text(L"Select * From Win32_Types");
  EXPECT_EQ(WBEM_E_NOT_SUPPORTED, services->ExecQueryAsync(wql.Get(), text.Get(), 0, nullptr, nullptr));
  object = All(services.Get(), L"Select * From Win32_Types").at(0);
  Variant value;
  EXPECT_EQ(WBEM_E_NOT_SUPPORTED, object->Put(L"Long", 0, value.Get(), 0));
  BSTR objectText = nullptr;
  EXPECT_EQ(WBEM_E_NOT_SUPPORTED, object->GetObjectText(0, &objectText));
}

TEST_F(Provider, JapaneseReadsTheSameFromUtf8AndUtf16) {
  const std::wstring text = L"[Win32_ComputerSystem#0]\r\nManufacturer=VT_BSTR:\u30D0\u30FC\u30CD\u30EB\u682A\u5F0F\u4F1A\u793E\r\n";
  for (FixtureFile::Encoding encoding : {FixtureFile::Encoding::Utf16, FixtureFile::Encoding::Utf8}) {
    FixtureFile file(text, encoding);
    ComPtr<IWbemServices> services = Services();
    const auto cs = All(services.Get(), L"Select * From Win32_ComputerSystem");
    ASSERT_EQ(1u, cs.size());
    EXPECT_EQ(L"\u30D0\u30FC\u30CD\u30EB\u682A\u5F0F\u4F1A\u793E", Text(cs[0].Get(), L"Manufacturer"));
  }
}

// --- broken files

TEST_F(Provider, BrokenFilesNeverBreakTheProvider) {
  std::vector<std::string> files = {
      "", "\xFF\xFE", "\xEF\xBB\xBF", "\xFF\xFE[", std::string("\xFF\xFE[\0W\0#\0", 7),
      std::string(5000, '['), std::string(100000, '\0'), "[A#0]\nX=VT_BSTR:" + std::string(70000, 'x'),
      "[A#0\nX=VT_I4:1\n[A#1]]\n=\n==\nX==VT_I4:1\n[fail]\nExecQuery=,,,\n",
      std::string("[A#0]\nX=VT_BSTR:a\0b\n", 19)};
  std::mt19937 random(7);
  for (int i = 0; i < 30; ++i) {
    std::string bytes(static_cast<size_t>(random() % 400), '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    files.push_back(bytes);
  }
  for (const std::string& bytes : files) {
    FixtureFile file = FixtureFile::Raw(bytes);
    ComPtr<IWbemServices> services;
    ASSERT_EQ(S_OK, Connect(services));
    for (const wchar_t* query : {L"Select * From A", L"Select * From A Where X = 1", L"Select * From W"}) {
      for (const auto& object : All(services.Get(), query)) {
        Variant value;
        object->Get(L"X", 0, value.Receive(), nullptr, nullptr);
      }
    }
  }
}

TEST_F(Provider, GoodSectionsOfAPartlyBrokenFileAreServed) {
  FixtureFile file = FixtureFile::Raw(std::string("\xEF\xBB\xBF[Broken\nX=VT_I4:1\n\x80\xFF garbage\n[A#0]\nX=VT_I4:7\n"));
  ComPtr<IWbemServices> services = Services();
  const auto a = All(services.Get(), L"Select * From A Where X = 7");
  ASSERT_EQ(1u, a.size());
}

TEST_F(Provider, ValueWithANullCharacterKeepsIt) {
  FixtureFile file = FixtureFile::Raw(std::string("[A#0]\nX=VT_BSTR:ab\0cd\n", 21));
  ComPtr<IWbemServices> services = Services();
  const auto a = All(services.Get(), L"Select * From A");
  ASSERT_EQ(1u, a.size());
  EXPECT_EQ(std::wstring(L"ab\0cd", 5), Text(a[0].Get(), L"X"));
}

} // namespace
