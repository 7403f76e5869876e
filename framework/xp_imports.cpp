// Stands in for the kernel32 functions that the static run-time library imports although Windows XP lacks them.
// winpthread calls GetTickCount64 (Vista on) through its import slot; defined here, the slot is resolved before
// kernel32's import library is searched, so the program imports only what XP exports.
#include <windows.h>

namespace {

typedef ULONGLONG(WINAPI* TickCount64Function)();

// GetTickCount wraps every 49.7 days: count the wraps beside it. Exact while it is asked at least once a wrap;
// a wrap missed in between leaves the count monotonic but 2^32 ms short.
ULONGLONG WidenedTickCount() {
  static LONGLONG s_last = 0; // high half: wraps seen; low half: the tick count last seen
  LONGLONG last = __atomic_load_n(&s_last, __ATOMIC_SEQ_CST);
  for (;;) {
    const DWORD now = ::GetTickCount();
    DWORD wraps = static_cast<DWORD>(static_cast<ULONGLONG>(last) >> 32);
    if (now < static_cast<DWORD>(last)) ++wraps;
    const LONGLONG next = static_cast<LONGLONG>((static_cast<ULONGLONG>(wraps) << 32) | now);
    if (__atomic_compare_exchange_n(&s_last, &last, next, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST))
      return static_cast<ULONGLONG>(next);
  }
}

ULONGLONG WINAPI TickCount64() {
  static TickCount64Function s_system = nullptr;
  static LONG s_looked = 0;
  if (!__atomic_load_n(&s_looked, __ATOMIC_ACQUIRE)) {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    TickCount64Function found =
        kernel ? reinterpret_cast<TickCount64Function>(
                     reinterpret_cast<void*>(::GetProcAddress(kernel, "GetTickCount64")))
               : nullptr;
    __atomic_store_n(&s_system, found, __ATOMIC_RELAXED);
    __atomic_store_n(&s_looked, 1, __ATOMIC_RELEASE);
  }
  TickCount64Function system = __atomic_load_n(&s_system, __ATOMIC_RELAXED);
  return system ? system() : WidenedTickCount();
}

} // namespace

// The import slot: `call *__imp__GetTickCount64@0` in the library's code lands in TickCount64.
#ifdef _WIN64
extern "C" TickCount64Function const kcc_imp_GetTickCount64 __asm__("__imp_GetTickCount64") = TickCount64;
#else
extern "C" TickCount64Function const kcc_imp_GetTickCount64 __asm__("__imp__GetTickCount64@0") = TickCount64;
#endif
