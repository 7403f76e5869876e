// The summary's lines, as the capture writes them to summary.txt and the dialog reader prints them: one item a
// line, fields separated by tabs.
#ifndef KCC_CAPTURE_SUMMARY_LINES_H
#define KCC_CAPTURE_SUMMARY_LINES_H

#include <stddef.h>

#include <string>

namespace summary {

// Tab, line feed and carriage return become the two characters \t, \n and \r, so that one field
// never spans two fields or two lines; every other character, the backslash included, is kept.
std::wstring EscapeField(const std::wstring& text);

// The lines, without their line feed: box<TAB>caption<TAB>text for a message box, and
// list<TAB>row<TAB>label<TAB>value for a list row (`lists` prints it so, `replay` behind row<TAB>).
std::wstring BoxLine(const std::wstring& caption, const std::wstring& text);
std::wstring RowLine(int list, size_t row, const std::wstring& label, const std::wstring& value);

} // namespace summary

#endif
