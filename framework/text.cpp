// Widening of 8-bit texts with the thread's ANSI code page (Latin-1 in native builds).
#include "framework/text.h"

#ifdef _WIN32
#include <windows.h>
#endif

std::wstring WidenAnsi(std::string_view text) {
  std::wstring wide;
  if (text.empty()) return wide;
#ifdef _WIN32
  const int size = static_cast<int>(text.size());
  const int count = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), size, nullptr, 0);
  if (count <= 0) return wide;
  wide.resize(static_cast<size_t>(count));
  ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), size, &wide[0], count);
#else
  wide.reserve(text.size());
  for (unsigned char c : text) wide.push_back(static_cast<wchar_t>(c));
#endif
  return wide;
}
