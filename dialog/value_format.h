// Display-text rules of the information dialog: sizes, memory rounding, the operating-system line, list names.
#ifndef KCC_DIALOG_VALUE_FORMAT_H
#define KCC_DIALOG_VALUE_FORMAT_H

#include <stdint.h>

#include <string>

// Kilobytes in steps of 1024 up to " PBytes", with a three-digit fraction from the last step only.
std::wstring FormatSizeText(uint64_t kilobytes);

// Windows XP (NT 5.1) with the Media Center metric set.
bool IsMediaCenterEdition(unsigned long platformId, unsigned long major, unsigned long minor, int mediaCenterMetric);

// Caption, one space, service pack: the space is there whatever either holds.
std::wstring JoinOsName(const std::wstring& caption, const std::wstring& servicePack);
std::wstring JoinMediaCenterName(const std::wstring& product, const std::wstring& servicePack);

// A byte count as kilobytes, rounded up to a whole multiple of 4096 KB.
uint64_t RoundMemoryKilobytes(uint64_t bytes);

// A caption without its mnemonic marker: the "&" before a letter goes, a doubled "&&" stays. A list named so
// (by its window text) takes no mnemonic from it, and the accessibility layer, which reads the text as a label,
// turns "&&" into the "&" the caption shows.
std::wstring WithoutMnemonic(const std::wstring& caption);

#endif
