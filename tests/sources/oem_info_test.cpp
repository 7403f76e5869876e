// The OEM texts with real files and registry: oeminfo.ini in the native system32 (also from a 32-bit
// process on 64-bit Windows), never the 32-bit system folder's copy, else OEMInformation in the 64-bit view;
// the collector's 8-bit read and the dialog's wide read alike.
#include "sources/machine_info.h"
#include "sources/oem_info.h"
#include "sources/wow64.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/sources/registry_guard.h"

namespace {

// Where Windows keeps the file: system32 as a 64-bit program sees it (a 32-bit one through Sysnative).
std::string NativeOemFile() {
  char directory[MAX_PATH] = {};
  if (IsWow64()) {
    ::GetWindowsDirectoryA(directory, MAX_PATH);
    return std::string(directory) + "\\Sysnative\\oeminfo.ini";
  }
  ::GetSystemDirectoryA(directory, MAX_PATH);
  return std::string(directory) + "\\oeminfo.ini";
}

// The 32-bit system folder (SysWOW64), where a 32-bit program's GetSystemDirectory lands.
std::string Wow64OemFile() {
  char directory[MAX_PATH] = {};
  ::GetSystemWow64DirectoryA(directory, MAX_PATH);
  return std::string(directory) + "\\oeminfo.ini";
}

const char kOemKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OEMInformation";

struct OemCase {
  const char* name;
  const char* native;  // oeminfo.ini in system32, or none
  const char* wow64;   // the copy in SysWOW64, or none
  const char* manufacturer;
  const char* model;   // OEMInformation's values (64-bit view), or none
  const wchar_t* expectedManufacturer;
  const wchar_t* expectedModel;
  bool fromRegistry;
};

class OemInfo : public testing::TestWithParam<OemCase> {};

TEST_P(OemInfo, FileOfTheNativeSystemFolderElseTheRegistry) {
  const OemCase& c = GetParam();
  kcctest::FileGuard native(NativeOemFile()), wow64(Wow64OemFile());
  kcctest::RegistryKeyGuard key(HKEY_LOCAL_MACHINE, kOemKey, KEY_WOW64_64KEY);
  ASSERT_TRUE(c.native ? native.Write(c.native) : native.Remove());
  ASSERT_TRUE(c.wow64 ? wow64.Write(c.wow64) : wow64.Remove());
  ASSERT_TRUE(key.DeleteValue("Manufacturer") && key.DeleteValue("Model"));
  if (c.manufacturer) {
    ASSERT_TRUE(key.SetString("Manufacturer", c.manufacturer));
  }
  if (c.model) {
    ASSERT_TRUE(key.SetString("Model", c.model));
  }

  CMachineInfo info;
  info.ReadOemInfo();
  EXPECT_EQ(c.expectedManufacturer, info.m_strOemManufacturer);
  EXPECT_EQ(c.expectedModel, info.m_strOemModel);
  wchar_t manufacturer[261], model[261];
  OemInfoOrigin origin;
  ReadOemStrings(manufacturer, model, 261, &origin);
  EXPECT_EQ(c.expectedManufacturer, std::wstring(manufacturer)) << "the wide read";
  EXPECT_EQ(c.expectedModel, std::wstring(model));
  EXPECT_EQ(c.fromRegistry, origin.fromRegistry);
  EXPECT_EQ(IsWow64() ? OemFileAccess::kSysnative : OemFileAccess::kSystemDirectory, origin.access);
}

const char kFile[] = "[General]\r\nManufacturer=Varnel Corporation\r\nModel=VGN-X90\r\n";

INSTANTIATE_TEST_SUITE_P(
    Sources, OemInfo,
    testing::Values(
        OemCase{"BothKeysOfTheFile", kFile, nullptr, "Registry Maker", "Registry Model", L"Varnel Corporation",
                L"VGN-X90", false},
        // The copy in the 32-bit folder is not the one Windows reads.
        OemCase{"OnlyThe32BitFoldersCopy", nullptr, "[General]\r\nManufacturer=Stale\r\nModel=Stale\r\n", nullptr,
                nullptr, L"", L"", true},
        OemCase{"NoFileNoRegistry", nullptr, nullptr, nullptr, nullptr, L"", L"", true},
        OemCase{"TheRegistryWhereNoFile", nullptr, nullptr, "Varnel Corporation", "VGN-X90 (2008)",
                L"Varnel Corporation", L"VGN-X90 (2008)", true},
        OemCase{"TheRegistryWhereTheFileGivesNeither", "[General]\r\nOther=x\r\n", nullptr, "Maker", nullptr,
                L"Maker", L"", true},
        // One text from the file is enough: the other stays empty, the registry is not asked.
        OemCase{"TheFileGivesOnlyAManufacturer", "[Other]\r\nModel=elsewhere\r\n[General]\r\nManufacturer=Maker\r\n",
                nullptr, "Registry Maker", "Registry Model", L"Maker", L"", false}),
    [](const testing::TestParamInfo<OemCase>& info) { return std::string(info.param.name); });

TEST(OemInfoLimits, TextsAreCutToTheirRoomAndStillReadFromTheFile) {
  kcctest::FileGuard file(NativeOemFile());
  const std::string model(300, 'M');
  ASSERT_TRUE(file.Write("[General]\r\nManufacturer=Maker\r\nModel=" + model + "\r\n"));
  CMachineInfo info;
  info.ReadOemInfo();
  EXPECT_EQ(std::wstring(259, L'M'), info.m_strOemModel);
  EXPECT_EQ(L"Maker", info.m_strOemManufacturer);
  wchar_t manufacturer[261], wide[261];
  ReadOemStrings(manufacturer, wide, 261);
  EXPECT_EQ(std::wstring(260, L'M'), std::wstring(wide));
  // Room for a few characters is room for the texts, not for the file's path: they still come from the file.
  char small[4], smallModel[4];
  ReadOemStrings(small, smallModel, sizeof(small));
  EXPECT_STREQ("Mak", small);
  EXPECT_STREQ("MMM", smallModel);
}

TEST(OemInfoLimits, ARegistryValueIsCutAsTheFilesAre) {
  kcctest::FileGuard file(NativeOemFile());
  ASSERT_TRUE(file.Remove());
  kcctest::RegistryKeyGuard key(HKEY_LOCAL_MACHINE, kOemKey, KEY_WOW64_64KEY);
  ASSERT_TRUE(key.SetString("Model", std::string(300, 'M')));
  ASSERT_TRUE(key.SetBytes("Manufacturer", REG_DWORD, "\1\0\0\0", 4)); // no string: empty
  CMachineInfo info;
  info.ReadOemInfo();
  EXPECT_EQ(std::wstring(259, L'M'), info.m_strOemModel);
  EXPECT_EQ(L"", info.m_strOemManufacturer);
}

TEST(OemInfoLimits, EightBitTextIsWidenedWithTheAnsiCodePage) {
  kcctest::FileGuard file(NativeOemFile());
  ASSERT_TRUE(file.Write("[General]\r\nManufacturer=Caf\xE9\r\nModel=X\r\n"));
  CMachineInfo info;
  info.ReadOemInfo();
  ASSERT_EQ(1252u, ::GetACP());
  EXPECT_EQ(L"Caf\u00E9", info.m_strOemManufacturer);
}

} // namespace
