// ReadOsVersion against wine's real version reporting, in this process and under a Windows XP setting.
#include "sources/machine_info.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include "tests/sources/registry_guard.h"

namespace {

std::string ModulePath() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

std::string ModuleName() {
  const std::string path = ModulePath();
  return path.substr(path.find_last_of('\\') + 1);
}

// Runs this program again with --os-version and returns what it wrote.
bool OsVersionOfChild(std::wstring& text) {
  char directory[MAX_PATH];
  char file[MAX_PATH];
  if (!::GetTempPathA(MAX_PATH, directory) || !::GetTempFileNameA(directory, "kcc", 0, file)) return false;
  std::string command = "\"" + ModulePath() + "\" --os-version \"" + file + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  const bool ended = ::WaitForSingleObject(process.hThread, 60000) == WAIT_OBJECT_0 &&
                     ::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
  DWORD code = 1;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  text.clear();
  if (FILE* in = fopen(file, "rb")) {
    wchar_t c;
    while (fread(&c, sizeof(c), 1, in) == 1) text.push_back(c);
    fclose(in);
  }
  ::DeleteFileA(file);
  return ended && code == 0;
}

TEST(ReadOsVersion, DefaultPrefixIsWindows7ServicePack1) {
  CMachineInfo info;
  info.ReadOsVersion();
  EXPECT_EQ(L"6.01.7601Service Pack 1", info.m_strOsVersion);
}

TEST(ReadOsVersion, AgreesWithGetVersionEx) {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  ASSERT_TRUE(::GetVersionExW(&version)) << ::GetLastError();
  wchar_t expected[160];
  swprintf(expected, 160, L"%d.%02d.%03d%ls", static_cast<int>(version.dwMajorVersion),
           static_cast<int>(version.dwMinorVersion), static_cast<int>(version.dwBuildNumber), version.szCSDVersion);
  CMachineInfo info;
  info.ReadOsVersion();
  EXPECT_EQ(expected, info.m_strOsVersion);
}

TEST(ReadOsVersion, AlsoReadsTheProductId) {
  CMachineInfo info;
  info.ReadOsVersion();
  EXPECT_FALSE(info.m_strProductId.empty()); // wine's prefix holds one under the first version key
}

TEST(ReadOsVersion, WindowsXpSettingGivesServicePack3) {
  // wine takes the version of a program from its AppDefaults key when the process starts.
  kcctest::RegistryKeyGuard appDefaults(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\" + ModuleName());
  ASSERT_TRUE(appDefaults.SetString("Version", "winxp"));
  std::wstring text;
  ASSERT_TRUE(OsVersionOfChild(text));
  EXPECT_EQ(L"5.01.2600Service Pack 3", text);
}

TEST(ReadOsVersion, ChildWithoutTheSettingIsWindows7Again) {
  std::wstring text;
  ASSERT_TRUE(OsVersionOfChild(text));
  EXPECT_EQ(L"6.01.7601Service Pack 1", text);
}

} // namespace
