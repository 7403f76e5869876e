// ReadMachineInfo up to the device (the two registry locations, the driver's directory and the open), and
// Windows' firmware table when no device opens: wine's own, through the real GetSystemFirmwareTable.
#include "sources/machine_info.h"
#include "sources/machine_paths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string.h>

#include "sources/firmware_table.h"
#include "sources/wow64.h"
#include "tests/sources/registry_guard.h"

namespace {

const char kMissingDevice[] = "KccNoSuchDevice";

// Both locations as a test wants them; whatever the prefix held (the driver's own setting) comes back.
class DriverLocations : public testing::Test {
protected:
  DriverLocations() : m_services(HKEY_LOCAL_MACHINE, kSharedServicesKey), m_vxds(HKEY_LOCAL_MACHINE, kSharedVxdsKey) {}
  void SetUp() override {
    m_services.DeleteKey();
    m_vxds.DeleteKey();
    HKEY probe;
    ASSERT_NE(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedServicesKey, 0, KEY_READ, &probe));
    ASSERT_NE(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedVxdsKey, 0, KEY_READ, &probe));
  }
  // The driver's side alone: where no device opens, ReadMachineInfo goes on to the firmware table.
  int Read(CMachineInfo& info) {
    const std::wstring before = kcctest::CurrentDirectory();
    const int status = info.ReadDriverTable();
    EXPECT_EQ(before, kcctest::CurrentDirectory()) << "the current directory is restored";
    return status;
  }
  kcctest::RegistryKeyGuard m_services;
  kcctest::RegistryKeyGuard m_vxds;
};

TEST_F(DriverLocations, NeitherKeyIs21) {
  CMachineInfo info;
  EXPECT_EQ(21, Read(info));
  EXPECT_EQ(TableSource::kNone, info.m_tableSource);
}

// Without a driver, wine's firmware table (built from /sys/class/dmi/id; the tests run without one, so
// its strings are empty) is walked in-process to its end. The version, product id and OEM texts are read
// before either table is looked for.
TEST_F(DriverLocations, WithoutADriverTheFirmwareTableIsWalked) {
  for (const char* location : {static_cast<const char*>(nullptr), kMissingDevice}) {
    if (location) {
      ASSERT_TRUE(m_services.SetString("boardinfo", location));
    }
    CMachineInfo info;
    EXPECT_EQ(31, info.ReadMachineInfo()) << (location ? location : "no location");
    EXPECT_EQ(TableSource::kFirmware, info.m_tableSource);
    EXPECT_EQ(L"6.01.7601Service Pack 1", info.m_strOsVersion);
    EXPECT_FALSE(info.m_strProductId.empty());
    // Wine's table has no processor: Windows' registry names it.
    const WindowsProcessor windows = CMachineInfo::ReadWindowsProcessor();
    ASSERT_TRUE(windows.name && windows.mhz) << "wine writes both";
    EXPECT_TRUE(info.m_bCpuVersionFromWindows && info.m_bCpuSpeedFromWindows);
    EXPECT_EQ(*windows.mhz, info.m_wCpuSpeed);
  }
  // What GetSystemFirmwareTable gives, read the program's way: an RSMB header and the table behind it.
  const std::vector<uint8_t> blob = ReadWindowsFirmwareTable();
  ASSERT_GE(blob.size(), 8u);
  EXPECT_EQ(blob.size() - 8, static_cast<size_t>(blob[4] | blob[5] << 8 | blob[6] << 16 | blob[7] << 24));
}

// A driver that opens is used, and keeps the last word: the firmware table is not walked.
TEST_F(DriverLocations, ADriverThatOpensServesTheTable) {
  ASSERT_TRUE(m_services.SetString("boardinfo", "boardinfo"));
  CMachineInfo info;
  EXPECT_EQ(31, info.ReadMachineInfo());
  EXPECT_EQ(TableSource::kDriver, info.m_tableSource);
}

// A 64-bit driver package writes the location into the 64-bit view, a 32-bit installer into the 32-bit one:
// the program's own view first, the other where the own one has none, and the status tells the own view's.
TEST_F(DriverLocations, TheOtherRegistryViewWhereTheOwnHasNoLocation) {
  const REGSAM other = OtherRegistryView();
  ASSERT_NE(0u, other) << "these tests run on 64-bit wine";
  kcctest::RegistryKeyGuard otherServices(HKEY_LOCAL_MACHINE, kSharedServicesKey, other);
  kcctest::RegistryKeyGuard otherVxds(HKEY_LOCAL_MACHINE, kSharedVxdsKey, other);
  ASSERT_TRUE(otherServices.DeleteKey() && otherVxds.DeleteKey());
  {
    CMachineInfo info;
    EXPECT_EQ(21, Read(info)) << "in neither view";
  }
  ASSERT_TRUE(otherVxds.SetString("boardinfo.vxd", kMissingDevice));
  {
    CMachineInfo info;
    EXPECT_EQ(25, Read(info)) << "the other view's location is opened";
  }
  ASSERT_TRUE(otherServices.SetString("boardinfo", "boardinfo"));
  {
    CMachineInfo info;
    EXPECT_EQ(31, info.ReadMachineInfo());
    EXPECT_EQ(TableSource::kDriver, info.m_tableSource);
  }
  // The own view's location wins over the other's.
  ASSERT_TRUE(m_services.SetString("boardinfo", kMissingDevice));
  CMachineInfo info;
  EXPECT_EQ(25, Read(info));
}

TEST_F(DriverLocations, VxdsKeyWithoutItsValueIs22) {
  ASSERT_TRUE(m_vxds.SetString("other", "x"));
  CMachineInfo info;
  EXPECT_EQ(22, Read(info));
}

TEST_F(DriverLocations, ServicesKeyWithoutValueFallsBackToVxds) {
  ASSERT_TRUE(m_services.SetString("other", "x"));
  CMachineInfo info;
  EXPECT_EQ(21, Read(info)); // the result is the second location's
  ASSERT_TRUE(m_vxds.SetString("other", "x"));
  EXPECT_EQ(22, Read(info));
}

TEST_F(DriverLocations, SecondLocationIsUsedWhenTheFirstIsMissing) {
  ASSERT_TRUE(m_vxds.SetString("boardinfo.vxd", kMissingDevice));
  CMachineInfo info;
  EXPECT_EQ(25, Read(info));
}

TEST_F(DriverLocations, NameWithoutBackslashOpensInTheCurrentDirectory) {
  ASSERT_TRUE(m_services.SetString("boardinfo", kMissingDevice));
  ASSERT_TRUE(m_vxds.SetString("boardinfo.vxd", "C:\\no\\such\\directory\\boardinfo.vxd"));
  CMachineInfo info;
  EXPECT_EQ(25, Read(info)); // the first location wins; the second would have given 24
}

// From a directory whose name the ANSI code page cannot spell: it is current again afterwards.
TEST_F(DriverLocations, FullPathChangesAndRestoresTheDirectory) {
  char system[MAX_PATH];
  ASSERT_NE(0u, ::GetSystemDirectoryA(system, MAX_PATH));
  ASSERT_TRUE(m_services.SetString("boardinfo", std::string(system) + "\\" + kMissingDevice + ".sys"));
  wchar_t temp[MAX_PATH];
  ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
  const std::wstring start = kcctest::CurrentDirectory();
  const std::wstring unspellable = std::wstring(temp) + L"kcc-\x0416\x4E2D\x263A";
  ASSERT_TRUE(::CreateDirectoryW(unspellable.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(::SetCurrentDirectoryW(unspellable.c_str()));
  CMachineInfo info;
  EXPECT_EQ(25, Read(info));
  EXPECT_EQ(unspellable, kcctest::CurrentDirectory());
  ::SetCurrentDirectoryW(start.c_str());
  ::RemoveDirectoryW(unspellable.c_str());
}

TEST_F(DriverLocations, DirectoryThatCannotBeMadeCurrentIs24) {
  ASSERT_TRUE(m_services.SetString("boardinfo", "C:\\no\\such\\directory\\boardinfo.sys"));
  CMachineInfo info;
  EXPECT_EQ(24, Read(info));
}

TEST_F(DriverLocations, LeadingOnlyBackslashLeavesAnEmptyDirectoryAndIs24) {
  ASSERT_TRUE(m_services.SetString("boardinfo", "\\boardinfo.sys"));
  CMachineInfo info;
  EXPECT_EQ(24, Read(info));
}

// Whether the guard or the open refused a name is not visible from here (the device path rule
// itself is tested natively); both must end in 25 with nothing written past the path buffer.
TEST_F(DriverLocations, NamesAtTheDevicePathLimitAre25) {
  for (size_t length : {255u, 256u, 259u}) {
    ASSERT_TRUE(m_services.SetString("boardinfo", std::string(length, 'n')));
    CMachineInfo info;
    EXPECT_EQ(25, Read(info)) << length;
  }
  ASSERT_TRUE(m_services.SetString("boardinfo", "C:\\windows\\" + std::string(248, 'n'))); // 259 bytes in all
  CMachineInfo info;
  EXPECT_EQ(25, Read(info));
}

TEST_F(DriverLocations, AnUnterminated260ByteValueIsUnreadable) {
  char value[260];
  memset(value, 'A', sizeof(value));
  ASSERT_TRUE(m_services.SetBytes("boardinfo", REG_SZ, value, sizeof(value)));
  CMachineInfo info;
  EXPECT_EQ(21, Read(info)); // treated as code 2: the second location is tried, and it is missing
  ASSERT_TRUE(m_vxds.SetString("boardinfo.vxd", kMissingDevice));
  EXPECT_EQ(25, Read(info));
}

TEST_F(DriverLocations, RegistryStringCodes) {
  char buffer[260];
  EXPECT_EQ(1, CMachineInfo::ReadRegistryString(HKEY_LOCAL_MACHINE, kSharedServicesKey, "boardinfo", buffer));
  ASSERT_TRUE(m_services.SetString("other", "x"));
  EXPECT_EQ(2, CMachineInfo::ReadRegistryString(HKEY_LOCAL_MACHINE, kSharedServicesKey, "boardinfo", buffer));

  ASSERT_TRUE(m_services.SetString("boardinfo", "C:\\Varnel\\boardinfo.sys"));
  memset(buffer, 'x', sizeof(buffer));
  EXPECT_EQ(0, CMachineInfo::ReadRegistryString(HKEY_LOCAL_MACHINE, kSharedServicesKey, "boardinfo", buffer));
  EXPECT_STREQ("C:\\Varnel\\boardinfo.sys", buffer);

  ASSERT_TRUE(m_services.SetString("boardinfo", std::string(259, 'a'))); // 260 bytes with its NUL
  EXPECT_EQ(0, CMachineInfo::ReadRegistryString(HKEY_LOCAL_MACHINE, kSharedServicesKey, "boardinfo", buffer));
  EXPECT_EQ(259u, strlen(buffer));

  ASSERT_TRUE(m_services.SetString("boardinfo", std::string(260, 'a'))); // longer than the buffer
  EXPECT_EQ(2, CMachineInfo::ReadRegistryString(HKEY_LOCAL_MACHINE, kSharedServicesKey, "boardinfo", buffer));

  char unterminated[260];
  memset(unterminated, 'b', sizeof(unterminated));
  ASSERT_TRUE(m_services.SetBytes("boardinfo", REG_BINARY, unterminated, sizeof(unterminated)));
  EXPECT_EQ(2, CMachineInfo::ReadRegistryString(HKEY_LOCAL_MACHINE, kSharedServicesKey, "boardinfo", buffer));
  EXPECT_EQ('\0', buffer[0]) << "nothing of an unusable value is left behind";
}

} // namespace
