// Escaping of list and message-box texts for the reader's one-item-per-line, tab-separated output.
#ifndef KCC_TOOLS_DLGREAD_TEXT_ESCAPE_H
#define KCC_TOOLS_DLGREAD_TEXT_ESCAPE_H

#include <string>

namespace dlgread {

// Tab, line feed and carriage return become the two characters \t, \n and \r, so that one field
// never spans two fields or two lines; every other character, the backslash included, is kept.
std::wstring EscapeField(const std::wstring& text);

} // namespace dlgread

#endif
