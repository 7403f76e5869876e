// ReadOemInfo with a real oeminfo.ini in the system directory the 32-bit program reads.
#include "sources/machine_info.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/sources/registry_guard.h"

namespace {

// GetSystemDirectoryA's folder: under wine the 32-bit file access there lands in syswow64.
std::string OemFilePath() {
  char directory[MAX_PATH] = {};
  ::GetSystemDirectoryA(directory, MAX_PATH);
  return std::string(directory) + "\\oeminfo.ini";
}

TEST(ReadOemInfo, BothKeysOfSectionGeneral) {
  kcctest::FileGuard file(OemFilePath());
  ASSERT_TRUE(file.Write("[General]\r\nManufacturer=Varnel Corporation\r\nModel=VGN-X90\r\n"));
  CMachineInfo info;
  info.ReadOemInfo();
  EXPECT_EQ(L"Varnel Corporation", info.m_strOemManufacturer);
  EXPECT_EQ(L"VGN-X90", info.m_strOemModel);
}

TEST(ReadOemInfo, MissingFileGivesEmptyTexts) {
  kcctest::FileGuard file(OemFilePath());
  ASSERT_TRUE(file.Remove());
  CMachineInfo info;
  info.m_strOemManufacturer = L"earlier";
  info.m_strOemModel = L"earlier";
  info.ReadOemInfo();
  EXPECT_EQ(L"", info.m_strOemManufacturer);
  EXPECT_EQ(L"", info.m_strOemModel);
}

TEST(ReadOemInfo, MissingKeyOrSectionGivesEmptyText) {
  kcctest::FileGuard file(OemFilePath());
  ASSERT_TRUE(file.Write("[Other]\r\nModel=elsewhere\r\n[General]\r\nManufacturer=Maker\r\n"));
  CMachineInfo info;
  info.ReadOemInfo();
  EXPECT_EQ(L"Maker", info.m_strOemManufacturer);
  EXPECT_EQ(L"", info.m_strOemModel);
}

TEST(ReadOemInfo, A300CharacterModelKeeps259) {
  kcctest::FileGuard file(OemFilePath());
  const std::string model(300, 'M');
  ASSERT_TRUE(file.Write("[General]\r\nManufacturer=Maker\r\nModel=" + model + "\r\n"));
  CMachineInfo info;
  info.ReadOemInfo();
  EXPECT_EQ(std::wstring(259, L'M'), info.m_strOemModel);
  EXPECT_EQ(L"Maker", info.m_strOemManufacturer);
}

TEST(ReadOemInfo, EightBitTextIsWidenedWithTheAnsiCodePage) {
  kcctest::FileGuard file(OemFilePath());
  ASSERT_TRUE(file.Write("[General]\r\nManufacturer=Caf\xE9\r\nModel=X\r\n"));
  CMachineInfo info;
  info.ReadOemInfo();
  ASSERT_EQ(1252u, ::GetACP());
  EXPECT_EQ(L"Caf\u00E9", info.m_strOemManufacturer);
}

} // namespace
