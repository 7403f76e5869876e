// WoW64: the process's bitness against Windows', the other registry view, the file system redirection.
#include "sources/wow64.h"

namespace {
FARPROC Kernel32(const char* name) { return ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name); }

template <typename Function>
Function Lookup(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(Kernel32(name)));
}
} // namespace

bool IsWow64() {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);
  BOOL wow64 = FALSE;
  const auto isWow64 = Lookup<IsWow64ProcessFn>("IsWow64Process");
  return isWow64 && isWow64(::GetCurrentProcess(), &wow64) && wow64;
}

REGSAM OtherRegistryView() {
  if (sizeof(void*) == 8) return KEY_WOW64_32KEY;
  return IsWow64() ? KEY_WOW64_64KEY : 0;
}

Wow64RedirectionOff::Wow64RedirectionOff() {
  using DisableFn = BOOL(WINAPI*)(void**);
  if (const auto disable = Lookup<DisableFn>("Wow64DisableWow64FsRedirection")) m_active = disable(&m_old) != FALSE;
}

Wow64RedirectionOff::~Wow64RedirectionOff() {
  using RevertFn = BOOL(WINAPI*)(void*);
  if (m_active)
    if (const auto revert = Lookup<RevertFn>("Wow64RevertWow64FsRedirection")) revert(m_old);
}
