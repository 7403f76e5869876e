// ReadProductId against the prefix's registry: which of the two version keys is asked, and when.
#include "sources/machine_info.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/sources/registry_guard.h"

namespace {
// The collector's product id, read now.
std::wstring ProductId() {
  CMachineInfo info;
  info.ReadProductId();
  return info.m_strProductId;
}

const char kFirst[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kSecond[] = "Software\\Microsoft\\Windows NT\\CurrentVersion";

TEST(ReadProductId, FromTheFirstKeyWhenItHoldsTheValue) {
  kcctest::RegistryKeyGuard first(HKEY_LOCAL_MACHINE, kFirst);
  kcctest::RegistryKeyGuard second(HKEY_LOCAL_MACHINE, kSecond);
  ASSERT_TRUE(first.SetString("ProductId", "11111-KCC-0000001-11111"));
  ASSERT_TRUE(second.SetString("ProductId", "22222-KCC-0000002-22222"));
  EXPECT_EQ(L"11111-KCC-0000001-11111", ProductId());
}

TEST(ReadProductId, FirstKeyWithoutTheValueStopsTheSearch) {
  kcctest::RegistryKeyGuard first(HKEY_LOCAL_MACHINE, kFirst);
  kcctest::RegistryKeyGuard second(HKEY_LOCAL_MACHINE, kSecond);
  ASSERT_TRUE(first.DeleteValue("ProductId"));
  ASSERT_TRUE(second.SetString("ProductId", "22222-KCC-0000002-22222"));
  CMachineInfo info;
  info.ReadProductId();
  EXPECT_TRUE(info.m_strProductId.empty()); // the second key is not tried
}

TEST(ReadProductId, EmptyValueGivesEmptyText) {
  kcctest::RegistryKeyGuard first(HKEY_LOCAL_MACHINE, kFirst);
  ASSERT_TRUE(first.SetString("ProductId", ""));
  CMachineInfo info;
  info.m_strProductId = L"before";
  info.ReadProductId();
  EXPECT_EQ(L"", info.m_strProductId);
}

TEST(ReadProductId, ValueWithoutTerminatorEndsInsideTheBuffer) {
  kcctest::RegistryKeyGuard first(HKEY_LOCAL_MACHINE, kFirst);
  ASSERT_TRUE(first.SetBytes("ProductId", REG_BINARY, "12345-ABC", 9));
  EXPECT_EQ(L"12345-ABC", ProductId());
}

// The version key of a live prefix cannot go away: HKLM is mapped onto a scratch tree instead.
TEST(ReadProductId, OnlyTheSecondKeyPresent) {
  kcctest::ScratchMachineKey machine;
  ASSERT_TRUE(machine.Active());
  ASSERT_TRUE(machine.Set(kSecond, "ProductId", "22222-KCC-0000002-22222"));
  HKEY probe;
  ASSERT_EQ(ERROR_FILE_NOT_FOUND, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFirst, 0, KEY_QUERY_VALUE, &probe));
  EXPECT_EQ(L"22222-KCC-0000002-22222", ProductId());
}

TEST(ReadProductId, NeitherKeyLeavesTheFieldUnchanged) {
  kcctest::ScratchMachineKey machine;
  ASSERT_TRUE(machine.Active());
  CMachineInfo info;
  info.ReadProductId();
  EXPECT_TRUE(info.m_strProductId.empty());
  info.m_strProductId = L"unchanged";
  info.ReadProductId();
  EXPECT_EQ(L"unchanged", info.m_strProductId);
}

TEST(ReadProductId, SecondKeyWithoutTheValue) {
  kcctest::ScratchMachineKey machine;
  ASSERT_TRUE(machine.Active());
  ASSERT_TRUE(machine.Set(kSecond, nullptr, ""));
  CMachineInfo info;
  info.ReadProductId();
  EXPECT_TRUE(info.m_strProductId.empty());
}

TEST(ReadProductId, ThePrefixValueIsBackAfterAChange) {
  CMachineInfo before;
  before.ReadProductId();
  {
    kcctest::RegistryKeyGuard first(HKEY_LOCAL_MACHINE, kFirst);
    ASSERT_TRUE(first.SetString("ProductId", "changed"));
  }
  CMachineInfo after;
  after.ReadProductId();
  EXPECT_EQ(before.m_strProductId, after.m_strProductId);
}

} // namespace
