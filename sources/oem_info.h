// The OEM manufacturer and model, read one way for the collector's 8-bit texts and the dialog's wide ones.
#ifndef KCC_SOURCES_OEM_INFO_H
#define KCC_SOURCES_OEM_INFO_H

#include <stddef.h>

#include <string>

#include "sources/machine_paths.h"

// Where the texts came from, for a caller that records it.
struct OemInfoOrigin {
  OemFileAccess access = OemFileAccess::kSystemDirectory;
  std::wstring file;         // the oeminfo.ini path the rule reads (empty when it did not fit)
  bool fromRegistry = false; // the file gave neither text: OEMInformation did
};

// [General] Manufacturer and Model of oeminfo.ini in the native system32, each cut to `capacity` characters
// with the terminator (missing: empty); where the file gives neither, both from OEMInformation.
void ReadOemStrings(char* manufacturer, char* model, size_t capacity, OemInfoOrigin* origin = nullptr);
void ReadOemStrings(wchar_t* manufacturer, wchar_t* model, size_t capacity, OemInfoOrigin* origin = nullptr);

// The registry key of the OEM texts under HKLM, read in the 64-bit view.
extern const wchar_t kOemInformationKey[];

#endif
