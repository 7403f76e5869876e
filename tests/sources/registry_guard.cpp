// Test helpers: registry keys and files changed by a test and put back as they were afterwards.
#include "tests/sources/registry_guard.h"

#include <direct.h>
#include <stdio.h>
#include <stdlib.h>

namespace kcctest {

namespace {
bool KeyExists(HKEY root, const std::string& path, REGSAM view) {
  HKEY key;
  if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

// The key and everything below it, in the given view.
void DeleteTree(HKEY root, const std::string& path, REGSAM view) {
  const size_t slash = path.rfind('\\');
  HKEY parent = root;
  if (slash != std::string::npos &&
      ::RegOpenKeyExA(root, path.substr(0, slash).c_str(), 0, KEY_ALL_ACCESS | view, &parent) != ERROR_SUCCESS)
    return;
  ::RegDeleteTreeA(parent, path.substr(slash == std::string::npos ? 0 : slash + 1).c_str());
  if (parent != root) ::RegCloseKey(parent);
}

const char kScratchPath[] = "Software\\KCCSystemInfo Tests\\Machine";
} // namespace

RegistryKeyGuard::RegistryKeyGuard(HKEY root, const std::string& path, REGSAM view)
    : m_root(root), m_path(path), m_view(view) {
  // Walk down the path to find the first component that is missing: that tree goes on restore.
  size_t at = 0;
  while (true) {
    const size_t slash = m_path.find('\\', at);
    const std::string prefix = m_path.substr(0, slash);
    if (!KeyExists(m_root, prefix, m_view)) {
      m_firstMissing = prefix;
      return;
    }
    if (slash == std::string::npos) break;
    at = slash + 1;
  }
  m_existed = true;
  HKEY key;
  if (::RegOpenKeyExA(m_root, m_path.c_str(), 0, KEY_READ | m_view, &key) != ERROR_SUCCESS) return;
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameSize = sizeof(name);
    DWORD type = 0;
    DWORD dataSize = 0;
    if (::RegEnumValueA(key, index, name, &nameSize, nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS) break;
    Value value{name, type, std::vector<BYTE>(dataSize)};
    DWORD size = dataSize;
    ::RegQueryValueExA(key, name, nullptr, nullptr, value.data.empty() ? nullptr : value.data.data(), &size);
    m_values.push_back(value);
  }
  ::RegCloseKey(key);
}

RegistryKeyGuard::~RegistryKeyGuard() {
  if (!m_existed) {
    if (!m_firstMissing.empty()) DeleteTree(m_root, m_firstMissing, m_view);
    return;
  }
  HKEY key;
  if (::RegCreateKeyExA(m_root, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | m_view, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  // Drop what the test left, then put back what was there.
  while (true) {
    char name[16384];
    DWORD nameSize = sizeof(name);
    if (::RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (::RegDeleteValueA(key, name) != ERROR_SUCCESS) break;
  }
  for (const Value& value : m_values)
    ::RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.empty() ? nullptr : value.data.data(),
                     static_cast<DWORD>(value.data.size()));
  ::RegCloseKey(key);
}

bool RegistryKeyGuard::SetBytes(const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  if (::RegCreateKeyExA(m_root, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | m_view, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG result = ::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  ::RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool RegistryKeyGuard::SetString(const char* name, const std::string& value) {
  return SetBytes(name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool RegistryKeyGuard::DeleteValue(const char* name) {
  HKEY key;
  const LONG opened = ::RegOpenKeyExA(m_root, m_path.c_str(), 0, KEY_SET_VALUE | m_view, &key);
  if (opened != ERROR_SUCCESS) return opened == ERROR_FILE_NOT_FOUND; // no key: no value either
  const LONG result = ::RegDeleteValueA(key, name);
  ::RegCloseKey(key);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool RegistryKeyGuard::DeleteKey() {
  const LONG result = ::RegDeleteKeyExA(m_root, m_path.c_str(), m_view, 0);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

ScratchMachineKey::ScratchMachineKey() {
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratchPath);
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kScratchPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr) !=
      ERROR_SUCCESS) {
    m_key = nullptr;
    return;
  }
  m_active = ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_key) == ERROR_SUCCESS;
}

ScratchMachineKey::~ScratchMachineKey() {
  if (m_active) ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  if (m_key) ::RegCloseKey(m_key);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KCCSystemInfo Tests");
}

bool ScratchMachineKey::Set(const std::string& path, const char* name, const std::string& value) {
  HKEY key;
  if (::RegCreateKeyExA(m_key, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG result = ERROR_SUCCESS;
  if (name)
    result = ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1));
  ::RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

FileGuard::FileGuard(const std::string& path) : m_path(path) {
  if (FILE* file = fopen(m_path.c_str(), "rb")) {
    m_existed = true;
    char buffer[4096];
    size_t read;
    while ((read = fread(buffer, 1, sizeof(buffer), file)) > 0) m_content.append(buffer, read);
    fclose(file);
  }
}

FileGuard::~FileGuard() {
  if (m_existed) {
    if (FILE* file = fopen(m_path.c_str(), "wb")) {
      fwrite(m_content.data(), 1, m_content.size(), file);
      fclose(file);
    }
  } else {
    ::DeleteFileA(m_path.c_str());
  }
  // The profile reader keeps files it has read: make it read this one afresh.
  ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, m_path.c_str());
}

bool FileGuard::Write(const std::string& content) {
  FILE* file = fopen(m_path.c_str(), "wb");
  if (!file) return false;
  const bool written = fwrite(content.data(), 1, content.size(), file) == content.size();
  fclose(file);
  ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, m_path.c_str());
  return written;
}

bool FileGuard::Remove() {
  const bool removed = ::DeleteFileA(m_path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
  ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, m_path.c_str());
  return removed;
}

std::wstring CurrentDirectory() {
  wchar_t directory[MAX_PATH * 2] = {};
  const DWORD length = ::GetCurrentDirectoryW(ARRAYSIZE(directory), directory);
  return std::wstring(directory, length < ARRAYSIZE(directory) ? length : 0);
}

} // namespace kcctest
