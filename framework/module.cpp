// The exe module and the language satellite that holds the dialogs and strings.
#include "framework/module.h"

#include "framework/satellite_language.h"
#include "framework/step_marks.h"

#include <string>

namespace {
HINSTANCE g_resource = nullptr;
bool g_resourceChosen = false;

HINSTANCE LoadSatelliteBesideExe() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring file(path, length);
  const size_t slash = file.find_last_of(L"\\/");
  const std::wstring directory = file.substr(0, slash == std::wstring::npos ? 0 : slash);
  std::wstring stem = file.substr(slash == std::wstring::npos ? 0 : slash + 1);
  const size_t dot = stem.find_last_of(L'.');
  if (dot != std::wstring::npos) stem.erase(dot);

  return LoadUserSatellite(directory.c_str(), stem.c_str());
}
} // namespace

HMODULE LoadUserSatellite(const wchar_t* directory, const wchar_t* stem, const wchar_t** language) {
  // Both functions exist from Windows 2000 on; on XP the system's is the installed language and the user's
  // that of a MUI pack, on Vista and later the display language each has chosen.
  for (const wchar_t* suffix : SatelliteSuffixes(::GetUserDefaultUILanguage(), ::GetSystemDefaultUILanguage())) {
    if (HMODULE module = LoadSatellite(directory, stem, suffix)) {
      if (language) *language = suffix;
      return module;
    }
  }
  return nullptr;
}

HINSTANCE AfxGetInstanceHandle() { return ::GetModuleHandleW(nullptr); }

HINSTANCE AfxGetResourceHandle() {
  if (!g_resourceChosen) {
    g_resource = LoadSatelliteBesideExe();
    StepMark("satellite");
    g_resourceChosen = true;
  }
  return g_resource;
}

void AfxSetResourceHandle(HINSTANCE module) {
  g_resource = module;
  g_resourceChosen = true;
}

HMODULE LoadSatellite(const wchar_t* directory, const wchar_t* stem, const wchar_t* language) {
  std::wstring path = directory;
  if (!path.empty()) path += L'\\';
  path += stem;
  path += language;
  path += L".dll";
  // A data file, mapped without running anything: XP refuses LOAD_LIBRARY_AS_IMAGE_RESOURCE, and the satellite's
  // dialogs and strings read from a data file as well.
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}
