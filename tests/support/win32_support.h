// Helpers of the Win32 tests: where the program is, its windows, child processes, waiting.
#ifndef KCC_TESTS_SUPPORT_WIN32_SUPPORT_H
#define KCC_TESTS_SUPPORT_WIN32_SUPPORT_H

#include <windows.h>

#include "tests/support/message_box_answerer.h"

#include <functional>
#include <string>
#include <vector>

namespace kcctest {

// The folder of KCCSystemInfo.exe and its satellites (KCC_BIN_DIR, a Unix path, seen through Z:).
std::wstring BinDir();
std::wstring UnixToWindowsPath(const std::string& unixPath);
// String `id` of a satellite in BinDir(); empty when missing.
std::wstring SatelliteString(const wchar_t* language, UINT id);
// The main dialog's caption (string 500 of the English satellite).
std::wstring ProgramCaption();

// Top-level dialogs (class #32770) with this caption; `withLists` keeps those holding list 1000.
std::vector<HWND> FindDialogs(const std::wstring& caption, bool withLists);
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// A child process; terminated on destruction if it still runs.
class ChildProcess : private NoCopy {
public:
  explicit ChildProcess(const std::wstring& commandLine);
  ~ChildProcess();
  bool Started() const { return m_info.hProcess != nullptr; }
  // True when the process ended within the time; then ExitCode() is valid.
  bool WaitExit(DWORD timeoutMs);
  DWORD ExitCode() const;
  DWORD Id() const { return m_info.dwProcessId; }
  HANDLE Handle() const { return m_info.hProcess; }

private:
  PROCESS_INFORMATION m_info{};
};

// This process's token with the Administrators group made deny-only, as a non-elevated administrator has it;
// null on failure. The caller closes it.
HANDLE CreateNonAdministratorToken();

// Runs the program with arguments and waits for it to end; returns false on time-out.
bool RunProgram(const std::wstring& arguments, DWORD timeoutMs);
std::wstring ProgramPath();

} // namespace kcctest

#endif
