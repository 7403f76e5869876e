// baredlg: the main dialog template of a satellite shown modally and nothing else, a launch-time baseline.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <oleauto.h>

#include "framework/handles.h"
#include "framework/step_marks.h"

namespace {

constexpr WORD kMainDialogTemplate = 102;

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    StepMark("dialog");
    return TRUE;
  }
  if (message == WM_PAINT) { // what the default dialog paint does, with a mark after it
    PAINTSTRUCT paint;
    ::BeginPaint(dialog, &paint);
    ::EndPaint(dialog, &paint);
    StepMark("first paint");
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    ::EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

// One function of each library the program imports and this dialog would not, so that the loader maps the same
// set into both: under wine, loading ole32 alone changes how long a first dialog takes.
const void* const kProgramImports[] = {reinterpret_cast<const void*>(&::SysStringLen),
                                       reinterpret_cast<const void*>(&::SHGetValueW),
                                       reinterpret_cast<const void*>(&::VerQueryValueW),
                                       reinterpret_cast<const void*>(&::RegCloseKey),
                                       reinterpret_cast<const void*>(&::OleInitialize)};

// Path of `name` in the exe's own folder; false when it does not fit. No C++ library: the baseline
// should carry as little code as a program can.
bool BesideExe(const wchar_t* name, wchar_t* path, DWORD size) {
  const DWORD length = ::GetModuleFileNameW(nullptr, path, size);
  if (length == 0 || length >= size) return false;
  DWORD folder = length;
  while (folder > 0 && path[folder - 1] != L'\\' && path[folder - 1] != L'/') --folder;
  if (folder + static_cast<DWORD>(::lstrlenW(name)) >= size) return false;
  ::lstrcpyW(path + folder, name);
  return true;
}

DWORD WINAPI Wait(LPVOID event) { return ::WaitForSingleObject(event, INFINITE); }

// When `start`, a second thread that waits on an event until this ends, as the program's watcher does.
class WaitingThread {
public:
  explicit WaitingThread(bool start) {
    if (!start) return;
    m_stop.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (m_stop.Get()) m_thread.Reset(::CreateThread(nullptr, 0, &Wait, m_stop.Get(), 0, nullptr));
  }
  ~WaitingThread() {
    if (!m_thread.Get()) return;
    ::SetEvent(m_stop.Get());
    ::WaitForSingleObject(m_thread.Get(), INFINITE);
  }
  WaitingThread(const WaitingThread&) = delete;
  WaitingThread& operator=(const WaitingThread&) = delete;

private:
  UniqueHandle m_stop;
  UniqueHandle m_thread;
};

} // namespace

// Usage: baredlg.exe [--thread] [SATELLITE_FILE_NAME]; the satellite is looked for beside the exe. With
// --thread a second thread waits while the dialog runs: under wine that alone slows the dialog's creation.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  StepMark("entry");
  for (const void* function : kProgramImports) {
    if (!function) return 5;
  }
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  const bool thread = argv && argc > 1 && ::lstrcmpW(argv[1], L"--thread") == 0;
  const int satelliteArgument = thread ? 2 : 1;
  wchar_t path[MAX_PATH];
  const bool found =
      BesideExe(argv && argc > satelliteArgument ? argv[satelliteArgument] : L"KCCSystemInfoENU.dll", path, MAX_PATH);
  if (argv) ::LocalFree(argv);
  if (!found) return 3;
  WaitingThread waiting(thread);
  UniqueModule satellite(::LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!satellite.Get()) return 3;
  StepMark("satellite");
  ::InitCommonControls();
  const INT_PTR result =
      ::DialogBoxParamW(satellite.Get(), MAKEINTRESOURCEW(kMainDialogTemplate), nullptr, DialogProc, 0);
  WriteStepMarks();
  return result == -1 ? 4 : 0;
}
