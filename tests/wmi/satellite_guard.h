// Points the program's resource module at the English satellite (or at none) for one test.
#ifndef KCC_TESTS_WMI_SATELLITE_GUARD_H
#define KCC_TESTS_WMI_SATELLITE_GUARD_H

#include "framework/module.h"
#include "framework/resource_strings.h"
#include "tests/support/win32_support.h"

#include <string>

namespace kcctest {

class SatelliteGuard {
public:
  // With `load` false the program runs without satellite: string 500 is missing.
  explicit SatelliteGuard(bool load = true) {
    if (load) m_module = LoadSatellite(BinDir().c_str(), L"KCCSystemInfo", L"ENU");
    AfxSetResourceHandle(m_module);
  }
  ~SatelliteGuard() {
    AfxSetResourceHandle(nullptr);
    if (m_module) ::FreeLibrary(m_module);
  }
  SatelliteGuard(const SatelliteGuard&) = delete;
  SatelliteGuard& operator=(const SatelliteGuard&) = delete;

  bool Loaded() const { return m_module != nullptr; }
  // The caption the Next error box must carry: string 500, empty when missing.
  static std::wstring Caption() {
    std::wstring caption;
    LoadResourceString(500, caption);
    return caption;
  }

private:
  HMODULE m_module = nullptr;
};

} // namespace kcctest

#endif
