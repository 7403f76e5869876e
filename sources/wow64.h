// What a 32-bit program on 64-bit Windows (WoW64) does differently: the other registry view, and its system32.
#ifndef KCC_SOURCES_WOW64_H
#define KCC_SOURCES_WOW64_H

#include <windows.h>

// Whether this is a 32-bit process on 64-bit Windows (IsWow64Process, looked up at run time).
bool IsWow64();

// The registry view other than the process's own, for values a package of the other bitness may have written:
// KEY_WOW64_64KEY for a 32-bit process on 64-bit Windows, KEY_WOW64_32KEY for a 64-bit process, 0 where
// there is only one view (32-bit Windows).
REGSAM OtherRegistryView();

// While it lives, this thread's system32 is not redirected to SysWOW64 (looked up: 32-bit XP lacks it). Keep it
// to the one read: a DLL loaded meanwhile would be the 64-bit one.
class Wow64RedirectionOff {
public:
  Wow64RedirectionOff();
  ~Wow64RedirectionOff();
  Wow64RedirectionOff(const Wow64RedirectionOff&) = delete;
  Wow64RedirectionOff& operator=(const Wow64RedirectionOff&) = delete;
  bool Active() const { return m_active; }

private:
  void* m_old = nullptr;
  bool m_active = false;
};

#endif
