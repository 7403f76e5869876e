// The program's modules: the exe (icons, version) and the language satellite (dialogs, strings).
#ifndef KCC_FRAMEWORK_MODULE_H
#define KCC_FRAMEWORK_MODULE_H

#include <windows.h>

// The exe itself.
HINSTANCE AfxGetInstanceHandle();

// The satellite beside the exe for the user's UI language (LoadUserSatellite), loaded as a data file on
// first use; null when there is none.
HINSTANCE AfxGetResourceHandle();

// Replaces the resource module (tests point it at a satellite of their choice; null: none).
void AfxSetResourceHandle(HINSTANCE module);

// Loads "<dir>\<stem><LANG>.dll" as a resource-only module; null when it is missing.
HMODULE LoadSatellite(const wchar_t* directory, const wchar_t* stem, const wchar_t* language);

// The satellite "<dir>\<stem><LANG>.dll" of the user's UI language, else of the system's, else English
// (SatelliteSuffixes); a missing one is passed over. `language`, when given, receives the suffix loaded.
HMODULE LoadUserSatellite(const wchar_t* directory, const wchar_t* stem, const wchar_t** language = nullptr);

#endif
