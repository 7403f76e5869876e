// Escaping of list and message-box texts for the reader's one-item-per-line, tab-separated output.
#ifndef KCC_TOOLS_DLGREAD_TEXT_ESCAPE_H
#define KCC_TOOLS_DLGREAD_TEXT_ESCAPE_H

#include <stddef.h>

#include <string>

namespace dlgread {

// Tab, line feed and carriage return become the two characters \t, \n and \r, so that one field
// never spans two fields or two lines; every other character, the backslash included, is kept.
std::wstring EscapeField(const std::wstring& text);

// The reader's lines, without their line feed: box<TAB>caption<TAB>text for a message box, and
// list<TAB>row<TAB>label<TAB>value for a list row (`lists` prints it so, `replay` behind row<TAB>).
std::wstring BoxLine(const std::wstring& caption, const std::wstring& text);
std::wstring RowLine(int list, size_t row, const std::wstring& label, const std::wstring& value);

} // namespace dlgread

#endif
