// Widening of 8-bit texts with the thread's ANSI code page (Latin-1 in native builds), UTF-8, decimal text.
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

#ifdef _WIN32
std::string NarrowUtf8(std::wstring_view text) {
  std::string bytes;
  if (text.empty()) return bytes;
  const int length = static_cast<int>(text.size());
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return bytes;
  bytes.resize(static_cast<size_t>(size));
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &bytes[0], size, nullptr, nullptr);
  return bytes;
}
#endif

std::string DecimalText(int64_t value, unsigned width, char pad) {
  char digits[20];
  char* const end = digits + sizeof(digits);
  char* first = end;
  // Unsigned negation keeps INT64_MIN exact.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  const size_t length = static_cast<size_t>(end - first) + (value < 0 ? 1 : 0);
  const size_t fill = width > length ? width - length : 0;
  std::string text;
  text.reserve(length + fill);
  if (pad != '0') text.append(fill, pad);
  if (value < 0) text.push_back('-');
  if (pad == '0') text.append(fill, '0');
  text.append(first, end);
  return text;
}
