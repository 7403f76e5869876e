// Escaping of list and message-box texts for the reader's one-item-per-line, tab-separated output.
#include "tools/dlgread/text_escape.h"

namespace dlgread {

std::wstring EscapeField(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    switch (c) {
      case L'\t': out += L"\\t"; break;
      case L'\n': out += L"\\n"; break;
      case L'\r': out += L"\\r"; break;
      default: out += c; break;
    }
  }
  return out;
}

} // namespace dlgread
