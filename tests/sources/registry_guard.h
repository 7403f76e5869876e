// Test helpers: registry keys and files changed by a test and put back as they were afterwards.
#ifndef KCC_TESTS_SOURCES_REGISTRY_GUARD_H
#define KCC_TESTS_SOURCES_REGISTRY_GUARD_H

#include "tests/support/no_copy.h"

#include <windows.h>

#include <string>
#include <vector>

namespace kcctest {

// Remembers a key's values (or that it, or some of its parents, did not exist) and restores that
// state on destruction. Subkeys of the key are not remembered: tests only set values. `view` picks a
// registry view (KEY_WOW64_32KEY, KEY_WOW64_64KEY), 0 the process's own.
class RegistryKeyGuard : private NoCopy {
public:
  RegistryKeyGuard(HKEY root, const std::string& path, REGSAM view = 0);
  ~RegistryKeyGuard();

  // The key, created with its parents if need be.
  bool SetString(const char* name, const std::string& value);
  bool SetBytes(const char* name, DWORD type, const void* data, DWORD size);
  bool DeleteValue(const char* name);
  // Removes the key itself (it must have no subkeys of its own).
  bool DeleteKey();

private:
  struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
  };
  HKEY m_root;
  std::string m_path;
  REGSAM m_view;
  std::string m_firstMissing; // the outermost key of the path that did not exist, or empty
  bool m_existed = false;
  std::vector<Value> m_values;
};

// Maps HKEY_LOCAL_MACHINE of this process onto a scratch key under HKEY_CURRENT_USER, for states
// a live prefix cannot be put into (its Windows version keys missing). Undone on destruction.
class ScratchMachineKey : private NoCopy {
public:
  ScratchMachineKey();
  ~ScratchMachineKey();
  bool Active() const { return m_active; }
  // Creates `path` under the scratch key and sets a string value (null name: the key only).
  bool Set(const std::string& path, const char* name, const std::string& value);

private:
  HKEY m_key = nullptr;
  bool m_active = false;
};

// Remembers a file's content (or its absence) and restores it on destruction.
class FileGuard : private NoCopy {
public:
  explicit FileGuard(const std::string& path);
  ~FileGuard();
  bool Write(const std::string& content);
  bool Remove();

private:
  std::string m_path;
  bool m_existed = false;
  std::string m_content;
};

// The current directory, whatever its name's characters.
std::wstring CurrentDirectory();

} // namespace kcctest

#endif
