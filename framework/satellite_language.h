// Which language satellite a Windows UI language reads: the table from language id to the satellite's suffix.
#ifndef KCC_FRAMEWORK_SATELLITE_LANGUAGE_H
#define KCC_FRAMEWORK_SATELLITE_LANGUAGE_H

#include <stdint.h>

#include <vector>

// The three-letter suffix of the satellite for a Windows language id (a LANGID: primary language in the low
// 10 bits, sublanguage above), "DEU" for KCCSystemInfoDEU.dll; null when no satellite is written for it.
const wchar_t* SatelliteSuffix(uint16_t language);

// The suffixes in the order the program tries them: the user's UI language, the system's, then English;
// each once, languages without a satellite left out.
std::vector<const wchar_t*> SatelliteSuffixes(uint16_t userLanguage, uint16_t systemLanguage);

#endif
