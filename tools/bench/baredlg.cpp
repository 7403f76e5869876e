// baredlg: the main dialog template of a satellite shown modally and nothing else, a launch-time baseline.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "framework/handles.h"

namespace {

constexpr WORD kMainDialogTemplate = 102;

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    ::EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

// The satellite loaded as data only, as the program loads it.
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

} // namespace

// Usage: baredlg.exe [SATELLITE_FILE_NAME]; the satellite is looked for beside the exe.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  wchar_t path[MAX_PATH];
  const bool found = BesideExe(argv && argc > 1 ? argv[1] : L"KCCSystemInfoENU.dll", path, MAX_PATH);
  if (argv) ::LocalFree(argv);
  if (!found) return 3;
  UniqueModule satellite(::LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!satellite.Get()) return 3;
  ::InitCommonControls();
  const INT_PTR result =
      ::DialogBoxParamW(satellite.Get(), MAKEINTRESOURCEW(kMainDialogTemplate), nullptr, DialogProc, 0);
  return result == -1 ? 4 : 0;
}
