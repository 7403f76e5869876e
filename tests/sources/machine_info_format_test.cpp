// CMachineInfo's texts: processor speed, memory and cache sizes, the version text, and the path rules.
#include "sources/machine_info.h"
#include "sources/machine_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <string.h>

namespace {

struct SpeedCase {
  int16_t mhz;
  const char* text;
};

class ProcessorSpeed : public testing::TestWithParam<SpeedCase> {};

TEST_P(ProcessorSpeed, CorrectsBusMultiplesAndCutsToTensOfMHz) {
  EXPECT_EQ(GetParam().text, CMachineInfo::FormatProcessorSpeed(GetParam().mhz)) << GetParam().mhz;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProcessorSpeed,
    testing::Values(SpeedCase{133, "133 MHz"}, SpeedCase{266, "266 MHz"}, SpeedCase{664, "667 MHz"},
                    SpeedCase{665, "667 MHz"}, SpeedCase{800, "800 MHz"}, SpeedCase{999, "999 MHz"},
                    SpeedCase{1000, "1 GHz"}, SpeedCase{1064, "1.06 GHz"}, SpeedCase{1330, "1.33 GHz"},
                    SpeedCase{1600, "1.60 GHz"}, SpeedCase{1660, "1.66 GHz"}, SpeedCase{1833, "1.83 GHz"},
                    SpeedCase{1995, "2 GHz"}, SpeedCase{2000, "2 GHz"}, SpeedCase{2128, "2.13 GHz"},
                    SpeedCase{2400, "2.40 GHz"}, SpeedCase{2660, "2.66 GHz"}, SpeedCase{6650, "6.67 GHz"}));

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ProcessorSpeed,
    testing::Values(SpeedCase{666, "667 MHz"},   // 666 is a multiple of neither: the fixed text
                    SpeedCase{6666, "6.67 GHz"}, // lifted to 6670 before the GHz rule
                    SpeedCase{1662, "1.66 GHz"}, SpeedCase{2160, "2.16 GHz"},
                    SpeedCase{2997, "2.99 GHz"}, // cut, not rounded
                    SpeedCase{3000, "3 GHz"}, SpeedCase{1333, "1.33 GHz"}, SpeedCase{1999, "1.99 GHz"},
                    SpeedCase{1, "1 MHz"}, SpeedCase{0, "0 MHz"},
                    SpeedCase{-1, "-1 MHz"},         // 0xFFFF taken as signed 16-bit
                    SpeedCase{32767, "32.76 GHz"},   // largest positive speed
                    SpeedCase{32718, "-32736 MHz"},  // 246 * 133: 32800 kept to 16 bits wraps
                    SpeedCase{-32768, "-32768 MHz"}, // neither multiple applies
                    SpeedCase{-133, "-133 MHz"}));

struct TextsCase {
  int32_t memoryMB;
  int32_t cacheKB;
  uint16_t speedMHz;
  const wchar_t* memory;
  const wchar_t* cache;
  const wchar_t* speed;
};

class FormatTexts : public testing::TestWithParam<TextsCase> {};

// Sizes padded to four places and never negative; a speed of 0 (also before any walk) is unknown.
TEST_P(FormatTexts, PadsSizesAndNamesTheSpeed) {
  CMachineInfo info;
  info.m_nMemoryMB = GetParam().memoryMB;
  info.m_nCacheKB = GetParam().cacheKB;
  info.m_wCpuSpeed = GetParam().speedMHz;
  info.FormatTexts();
  EXPECT_EQ((std::vector<std::wstring>{GetParam().memory, GetParam().cache, GetParam().speed}),
            (std::vector<std::wstring>{info.m_strMemory, info.m_strCache, info.m_strCpuSpeed}));
}

INSTANTIATE_TEST_SUITE_P(Fields, FormatTexts,
                         testing::Values(TextsCase{512, 1024, 1600, L" 512 MBytes", L"1024 KBytes", L"1.60 GHz"},
                                         TextsCase{0, 0, 0, L"   0 MBytes", L"   0 KBytes", L"Unknown"},
                                         TextsCase{32768 + 16384, 40960, 0, L"49152 MBytes", L"40960 KBytes",
                                                   L"Unknown"}));

TEST(FormatTexts, SpeedIsTakenAsSigned16Bit) {
  CMachineInfo info;
  info.m_wCpuSpeed = 0xFFFF;
  info.FormatTexts();
  EXPECT_EQ(L"-1 MHz", info.m_strCpuSpeed);
}

TEST(Construction, EverythingEmptyAndZero) {
  const CMachineInfo info;
  for (const std::wstring* text :
       {&info.m_strSysManufacturer, &info.m_strSysProductName, &info.m_strSysVersion, &info.m_strSysSerialNumber,
        &info.m_strBiosVersion, &info.m_strCpuVersion, &info.m_strCpuSpeed, &info.m_strMemory, &info.m_strCache,
        &info.m_strOsVersion, &info.m_strProductId, &info.m_strOemManufacturer, &info.m_strOemModel})
    EXPECT_TRUE(text->empty());
  EXPECT_EQ(0, info.m_wCpuSpeed);
  EXPECT_EQ(0, info.m_nMemoryMB);
  EXPECT_EQ(0, info.m_nCacheKB);
}

OsVersionRecord Version(uint32_t major, uint32_t minor, uint32_t build, uint32_t platform, const wchar_t* sp) {
  OsVersionRecord v;
  v.majorVersion = major;
  v.minorVersion = minor;
  v.buildNumber = build;
  v.platformId = platform;
  v.servicePack = sp;
  return v;
}

TEST(OsVersionText, NtUsesTheWholeBuildAndAppendsTheServicePackDirectly) {
  EXPECT_EQ(L"5.01.2600Service Pack 3", CMachineInfo::FormatOsVersion(Version(5, 1, 2600, 2, L"Service Pack 3")));
  EXPECT_EQ(L"6.01.7601Service Pack 1", CMachineInfo::FormatOsVersion(Version(6, 1, 7601, 2, L"Service Pack 1")));
  EXPECT_EQ(L"10.00.19045", CMachineInfo::FormatOsVersion(Version(10, 0, 19045, 2, L"")));
  EXPECT_EQ(L"5.00.65537", CMachineInfo::FormatOsVersion(Version(5, 0, 0x10001, 2, L""))); // high word kept
}

TEST(OsVersionText, Windows9xAndWin32sKeepTheLowWordOfTheBuild) {
  // The 9x build number carries major and minor again in its high word.
  EXPECT_EQ(L"4.10.2222 A", CMachineInfo::FormatOsVersion(Version(4, 10, 0x040A08AE, 1, L" A")));
  EXPECT_EQ(L"3.10.000", CMachineInfo::FormatOsVersion(Version(3, 10, 0xFFFF0000u, 0, L"")));
  EXPECT_EQ(L"3.10.65535", CMachineInfo::FormatOsVersion(Version(3, 10, 0x1234FFFFu, 0, L"")));
}

TEST(OsVersionText, OtherPlatformsPrintBuildZero) {
  EXPECT_EQ(L"5.01.000x", CMachineInfo::FormatOsVersion(Version(5, 1, 2600, 3, L"x")));
  EXPECT_EQ(L"5.01.000", CMachineInfo::FormatOsVersion(Version(5, 1, 2600, 0xFFFFFFFFu, L"")));
}

TEST(OsVersionText, PaddingOfMinorAndBuild) {
  EXPECT_EQ(L"5.01.042", CMachineInfo::FormatOsVersion(Version(5, 1, 42, 2, L"")));
  EXPECT_EQ(L"5.01.007", CMachineInfo::FormatOsVersion(Version(5, 1, 7, 2, L"")));
  EXPECT_EQ(L"4.00.950", CMachineInfo::FormatOsVersion(Version(4, 0, 950, 1, L"")));
}

TEST(OsVersionText, AtMost127Characters) {
  const std::wstring longPack(127, L'S');
  const std::wstring text = CMachineInfo::FormatOsVersion(Version(6, 1, 7601, 2, longPack.c_str()));
  ASSERT_EQ(127u, text.size());
  EXPECT_EQ(L"6.01.7601" + std::wstring(118, L'S'), text);
}

// The rule for oeminfo.ini: which access, and the path it gives, 8-bit and wide alike.
struct OemCase {
  const char* name;
  bool wow64;
  uint32_t major;
  std::string directory;
  OemFileAccess access;
  const char* path; // null: nothing is read
};

class OemFile : public testing::TestWithParam<OemCase> {};

TEST_P(OemFile, AccessAndPath) {
  const OemCase& c = GetParam();
  EXPECT_EQ(c.access, ChooseOemFileAccess(c.wow64, c.major));
  char path[260];
  const bool built = OemFilePath(c.directory.c_str(), c.access, path, sizeof(path));
  EXPECT_EQ(c.path != nullptr, built);
  if (c.path && built) {
    EXPECT_STREQ(c.path, path);
  }
  const std::wstring wideDirectory(c.directory.begin(), c.directory.end());
  wchar_t widePath[261];
  const bool wide = OemFilePath(wideDirectory.c_str(), c.access, widePath, 261);
  // The wide buffer holds one character more: only the 8-bit edge case differs.
  if (c.path && wide) {
    EXPECT_EQ(std::wstring(c.path, c.path + strlen(c.path)), std::wstring(widePath));
  }
}

const std::string k247(247, 'd'), k248(248, 'd');
INSTANTIATE_TEST_SUITE_P(
    Rule, OemFile,
    testing::Values(
        OemCase{"NativeProcess", false, 10, "C:\\WINDOWS\\system32", OemFileAccess::kSystemDirectory,
                "C:\\WINDOWS\\system32\\oeminfo.ini"},
        OemCase{"ThirtyTwoBitXp", false, 5, "C:\\WINDOWS\\system32", OemFileAccess::kSystemDirectory,
                "C:\\WINDOWS\\system32\\oeminfo.ini"},
        OemCase{"Wow64FromVista", true, 6, "C:\\Windows\\system32", OemFileAccess::kSysnative,
                "C:\\Windows\\Sysnative\\oeminfo.ini"},
        OemCase{"Wow64OnXpX64", true, 5, "C:\\WINDOWS\\system32", OemFileAccess::kRedirectionOff,
                "C:\\WINDOWS\\system32\\oeminfo.ini"},
        OemCase{"WindowsAtTheRoot", true, 10, "C:\\system32", OemFileAccess::kSysnative, "C:\\Sysnative\\oeminfo.ini"},
        OemCase{"NoFolderAbove", true, 10, "system32", OemFileAccess::kSysnative, nullptr},
        // "\oeminfo.ini" is 12 characters: 247 + 12 + NUL fill 260 bytes exactly (below), 248 no longer fit.
        OemCase{"TooLongForTheBuffer", false, 10, k248, OemFileAccess::kSystemDirectory, nullptr}),
    [](const testing::TestParamInfo<OemCase>& info) { return std::string(info.param.name); });

TEST(OemFile, FillsTheBufferExactlyAndNeverReadsPastIt) {
  char path[260];
  EXPECT_TRUE(OemFilePath(k247.c_str(), OemFileAccess::kSystemDirectory, path, sizeof(path)));
  EXPECT_EQ(259u, strlen(path));
  char unterminated[260];
  memset(unterminated, 'd', sizeof(unterminated));
  EXPECT_FALSE(OemFilePath(unterminated, OemFileAccess::kSystemDirectory, path, sizeof(path)));
  EXPECT_TRUE(OemFromRegistry(false, false));
  EXPECT_FALSE(OemFromRegistry(true, false)) << "a file with only a manufacturer keeps the model empty";
  EXPECT_FALSE(OemFromRegistry(false, true));
}

TEST(DriverLocation, NameWithoutBackslashLeavesTheDirectoryAlone) {
  const DriverLocation location = SplitDriverLocation("boardinfo");
  EXPECT_FALSE(location.hasDirectory);
  EXPECT_EQ("boardinfo", location.name);
}

TEST(DriverLocation, CutAtTheLastBackslash) {
  const DriverLocation location = SplitDriverLocation("C:\\Program Files\\Varnel\\boardinfo.sys");
  EXPECT_TRUE(location.hasDirectory);
  EXPECT_EQ("C:\\Program Files\\Varnel", location.directory);
  EXPECT_EQ("boardinfo.sys", location.name);
}

TEST(DriverLocation, LeadingOnlyBackslashGivesAnEmptyDirectory) {
  const DriverLocation location = SplitDriverLocation("\\boardinfo.vxd");
  EXPECT_TRUE(location.hasDirectory);
  EXPECT_EQ("", location.directory);
  EXPECT_EQ("boardinfo.vxd", location.name);
}

TEST(DriverLocation, TrailingBackslashGivesAnEmptyName) {
  const DriverLocation location = SplitDriverLocation("C:\\drivers\\");
  EXPECT_EQ("C:\\drivers", location.directory);
  EXPECT_EQ("", location.name);
}

// Code page 932's lead bytes; the trail byte of 表 (0x95 0x5C) and ソ (0x83 0x5C) is a backslash's.
bool IsCp932LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

TEST(DriverLocation, DoubleByteCharactersAreNeverCut) {
  const DriverLocation name = SplitDriverLocation("boardinfo\x95\x5C", &IsCp932LeadByte);
  EXPECT_FALSE(name.hasDirectory);
  EXPECT_EQ("boardinfo\x95\x5C", name.name);
  const DriverLocation path = SplitDriverLocation("C:\\\x83\x5C\x83\x74\x83\x67\\b\x95\x5C.sys", &IsCp932LeadByte);
  EXPECT_EQ("C:\\\x83\x5C\x83\x74\x83\x67", path.directory);
  EXPECT_EQ("b\x95\x5C.sys", path.name);
  // A lead byte at the very end has no trail byte to take.
  EXPECT_EQ("x\x95", SplitDriverLocation("d\\x\x95", &IsCp932LeadByte).name);
}

TEST(DevicePath, PrefixPlusName) {
  char path[260];
  ASSERT_TRUE(BuildDevicePath("boardinfo", path, sizeof(path)));
  EXPECT_STREQ("\\\\.\\boardinfo", path);
}

TEST(DevicePath, ANameTooLongIsNotCutToAnotherDevice) {
  char path[260];
  EXPECT_TRUE(BuildDevicePath(std::string(255, 'n'), path, sizeof(path))); // 4 + 255 + NUL = 260
  EXPECT_EQ(259u, strlen(path));
  EXPECT_FALSE(BuildDevicePath(std::string(256, 'n'), path, sizeof(path)));
}

TEST(RegistryValue, AFullBufferWithoutTerminatorIsNoString) {
  char buffer[260];
  memset(buffer, 'x', sizeof(buffer));
  EXPECT_FALSE(HoldsTerminatedString(buffer, sizeof(buffer)));
  buffer[259] = '\0';
  EXPECT_TRUE(HoldsTerminatedString(buffer, sizeof(buffer)));
}

} // namespace
