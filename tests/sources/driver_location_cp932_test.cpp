// The driver location under a Japanese ANSI code page (932), where a double-byte character may end in 0x5C.
#include "sources/machine_info.h"
#include "sources/machine_paths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/sources/registry_guard.h"

namespace {


TEST(DriverLocationCp932, ANameHoldingHyoIsOpenedWhole) {
  ASSERT_EQ(932u, ::GetACP()) << "run with LANG=ja_JP.UTF-8";
  kcctest::RegistryKeyGuard services(HKEY_LOCAL_MACHINE, kSharedServicesKey);
  // "boardinfo表": 表 is 0x95 0x5C. Cut at that 0x5C, the value would name the directory "boardinfo\x95",
  // which cannot be made current (24); read whole, it names a device that does not exist (25).
  ASSERT_TRUE(services.SetString("boardinfo", "boardinfo\x95\x5C"));
  CMachineInfo info;
  EXPECT_EQ(25, info.ReadDriverTable());
}

} // namespace
