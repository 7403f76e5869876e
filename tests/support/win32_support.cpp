// Helpers of the Win32 tests.
#include "tests/support/win32_support.h"

#include <cstdlib>

namespace kcctest {

std::wstring UnixToWindowsPath(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return path;
}

std::wstring BinDir() {
  const char* dir = std::getenv("KCC_BIN_DIR");
  return dir ? UnixToWindowsPath(dir) : std::wstring(L".");
}

std::wstring ProgramPath() { return BinDir() + L"\\KCCSystemInfo.exe"; }

std::wstring SatelliteString(const wchar_t* language, UINT id) {
  std::wstring path = BinDir() + L"\\KCCSystemInfo" + language + L".dll";
  HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return std::wstring();
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
  std::wstring result = length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
  ::FreeLibrary(module);
  return result;
}

std::wstring ProgramCaption() { return SatelliteString(L"ENU", 500); }

namespace {
struct FindState {
  const std::wstring* caption;
  bool withLists;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM parameter) {
  FindState& state = *reinterpret_cast<FindState*>(parameter);
  wchar_t className[32];
  if (!::GetClassNameW(hwnd, className, 32) || ::lstrcmpW(className, L"#32770") != 0) return TRUE;
  wchar_t title[256];
  ::GetWindowTextW(hwnd, title, 256);
  if (*state.caption != title) return TRUE;
  if (state.withLists && !::GetDlgItem(hwnd, 1000)) return TRUE;
  state.found.push_back(hwnd);
  return TRUE;
}
} // namespace

std::vector<HWND> FindDialogs(const std::wstring& caption, bool withLists) {
  FindState state{&caption, withLists, {}};
  ::EnumWindows(&CollectDialog, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(10);
  }
}

ChildProcess::ChildProcess(const std::wstring& commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring line = commandLine;
  if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_info))
    m_info = PROCESS_INFORMATION{};
}

ChildProcess::~ChildProcess() {
  if (!m_info.hProcess) return;
  if (::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(m_info.hProcess, 1);
    ::WaitForSingleObject(m_info.hProcess, 5000);
  }
  ::CloseHandle(m_info.hThread);
  ::CloseHandle(m_info.hProcess);
}

bool ChildProcess::WaitExit(DWORD timeoutMs) {
  return m_info.hProcess && ::WaitForSingleObject(m_info.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (m_info.hProcess) ::GetExitCodeProcess(m_info.hProcess, &code);
  return code;
}

bool RunProgram(const std::wstring& arguments, DWORD timeoutMs) {
  ChildProcess child(L"\"" + ProgramPath() + L"\" " + arguments);
  return child.Started() && child.WaitExit(timeoutMs);
}

HANDLE CreateNonAdministratorToken() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, &token)) return nullptr;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  HANDLE restricted = nullptr;
  if (::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &admins)) {
    SID_AND_ATTRIBUTES disable{admins, 0};
    if (!::CreateRestrictedToken(token, 0, 1, &disable, 0, nullptr, 0, nullptr, &restricted)) restricted = nullptr;
    ::FreeSid(admins);
  }
  ::CloseHandle(token);
  return restricted;
}

} // namespace kcctest
