// The summary's lines: escaped fields, message-box and row lines.
#include "capture/summary_lines.h"

namespace summary {

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

std::wstring BoxLine(const std::wstring& caption, const std::wstring& text) {
  return L"box\t" + EscapeField(caption) + L"\t" + EscapeField(text);
}

std::wstring RowLine(int list, size_t row, const std::wstring& label, const std::wstring& value) {
  return std::to_wstring(list) + L"\t" + std::to_wstring(row) + L"\t" + EscapeField(label) + L"\t" +
         EscapeField(value);
}

} // namespace summary
