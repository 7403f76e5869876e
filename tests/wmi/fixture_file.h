// A fixture file for the WMI fixture provider, written to the temp folder and named by
// KCC_WMI_FIXTURE while it lives.
#ifndef KCC_TESTS_WMI_FIXTURE_FILE_H
#define KCC_TESTS_WMI_FIXTURE_FILE_H

#include <windows.h>

#include <string>

namespace kcctest {

class FixtureFile {
public:
  enum class Encoding { Utf16, Utf8 };

  // The text with a BOM in the chosen encoding.
  explicit FixtureFile(const std::wstring& text, Encoding encoding = Encoding::Utf16) : FixtureFile() {
    Write(encoding == Encoding::Utf16 ? Utf16Bytes(text) : Utf8Bytes(text));
  }
  // Bytes as they are, for broken files.
  static FixtureFile Raw(const std::string& bytes) {
    FixtureFile file;
    file.Write(bytes);
    return file;
  }
  FixtureFile(FixtureFile&& other) noexcept : m_path(std::move(other.m_path)) { other.m_path.clear(); }
  FixtureFile(const FixtureFile&) = delete;
  FixtureFile& operator=(const FixtureFile&) = delete;
  ~FixtureFile() {
    if (m_path.empty()) return;
    ::SetEnvironmentVariableW(L"KCC_WMI_FIXTURE", nullptr);
    ::DeleteFileW(m_path.c_str());
  }

  const std::wstring& Path() const { return m_path; }

  void Write(const std::string& bytes) {
    HANDLE file = ::CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    ::SetEnvironmentVariableW(L"KCC_WMI_FIXTURE", m_path.c_str());
  }

  static std::string Utf16Bytes(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
      bytes += static_cast<char>(c & 0xFF);
      bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
  }
  static std::string Utf8Bytes(const std::wstring& text) {
    std::string bytes = "\xEF\xBB\xBF";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string body(static_cast<size_t>(size), '\0');
    if (size > 0)
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &body[0], size, nullptr, nullptr);
    return bytes + body;
  }

private:
  FixtureFile() {
    wchar_t folder[MAX_PATH], file[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"kwf", 0, file);
    m_path = file;
  }

  std::wstring m_path;
};

} // namespace kcctest

#endif
