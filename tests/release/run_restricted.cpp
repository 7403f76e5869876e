// Runs a command line with this process's token less its administrator rights (the Administrators group
// made deny-only, as a non-elevated administrator has it), waits for it and exits with its exit status.
//   run_restricted.exe COMMAND LINE ...
#include "tests/support/win32_support.h"

#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 125;
  std::wstring line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += L' ';
    const std::wstring argument = argv[i];
    line += argument.find(L' ') == std::wstring::npos ? argument : L"\"" + argument + L"\"";
  }
  HANDLE restricted = kcctest::CreateNonAdministratorToken();
  if (!restricted) return 126;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessAsUserW(restricted, nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                              nullptr, &startup, &process);
  ::CloseHandle(restricted);
  if (!started) return 127;
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 127;
  ::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(status);
}
