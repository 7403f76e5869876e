// Widening of 8-bit texts (registry, INI, SMBIOS) into the program's wide text type, and decimal numbers.
#ifndef KCC_FRAMEWORK_TEXT_H
#define KCC_FRAMEWORK_TEXT_H

#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

// The string array of the program: a growable array of wide texts.
using CStringArray = std::vector<std::wstring>;

// On Windows the calling thread's ANSI code page is used; natively each byte becomes one
// character (Latin-1), which is all the pure rules and their tests need. Empty gives empty.
std::wstring WidenAnsi(std::string_view text);

// The decimal text of value as printf's %*d (pad ' ') or %0*d (pad '0') gives it: at least width
// characters, zeros after the sign. The program's few numbers need no more of printf than this.
std::string DecimalText(int64_t value, unsigned width = 0, char pad = ' ');

#ifdef _WIN32
// UTF-8 of a wide text, for files and consoles; a lone surrogate becomes U+FFFD (from Vista on; XP encodes it).
std::string NarrowUtf8(std::wstring_view text);
#endif

#endif
