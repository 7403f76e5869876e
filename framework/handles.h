// Owners of kernel handles, registry keys and memory blocks: each releases what it holds, once.
#ifndef KCC_FRAMEWORK_HANDLES_H
#define KCC_FRAMEWORK_HANDLES_H

#include <windows.h>

#include <utility>

template <typename T, T Null, typename Traits>
class UniqueResource {
public:
  UniqueResource() = default;
  explicit UniqueResource(T value) : m_value(value) {}
  ~UniqueResource() { Reset(); }
  UniqueResource(UniqueResource&& other) noexcept : m_value(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  T Get() const { return m_value; }
  explicit operator bool() const { return m_value != Null; }
  T* Receive() { Reset(); return &m_value; }
  T Release() { return std::exchange(m_value, Null); }
  void Reset(T value = Null) {
    T old = std::exchange(m_value, value);
    if (old != Null) Traits::Close(old);
  }

private:
  T m_value = Null;
};

struct HandleTraits { static void Close(HANDLE h) { ::CloseHandle(h); } };
struct RegistryKeyTraits { static void Close(HKEY key) { ::RegCloseKey(key); } };
struct LocalMemoryTraits { static void Close(HLOCAL memory) { ::LocalFree(memory); } };
struct GlobalMemoryTraits { static void Close(HGLOBAL memory) { ::GlobalFree(memory); } };
struct MenuTraits { static void Close(HMENU menu) { ::DestroyMenu(menu); } };
struct HookTraits { static void Close(HHOOK hook) { ::UnhookWindowsHookEx(hook); } };
struct ModuleTraits { static void Close(HMODULE module) { ::FreeLibrary(module); } };
struct IconTraits { static void Close(HICON icon) { ::DestroyIcon(icon); } };

// A handle whose "none" is null (events, mutexes, threads, tokens).
using UniqueHandle = UniqueResource<HANDLE, nullptr, HandleTraits>;
using RegistryKey = UniqueResource<HKEY, nullptr, RegistryKeyTraits>;
using LocalMemory = UniqueResource<HLOCAL, nullptr, LocalMemoryTraits>;
using GlobalMemory = UniqueResource<HGLOBAL, nullptr, GlobalMemoryTraits>;
using UniqueMenu = UniqueResource<HMENU, nullptr, MenuTraits>;
using UniqueHook = UniqueResource<HHOOK, nullptr, HookTraits>;
using UniqueModule = UniqueResource<HMODULE, nullptr, ModuleTraits>;
// An icon the program loaded at a size of its own (not a shared one from LoadIcon).
using UniqueIcon = UniqueResource<HICON, nullptr, IconTraits>;

// A handle whose "none" is INVALID_HANDLE_VALUE, which a template argument cannot be.
template <typename Traits>
class UniqueInvalidHandle {
public:
  UniqueInvalidHandle() = default;
  explicit UniqueInvalidHandle(HANDLE h) : m_h(h) {}
  ~UniqueInvalidHandle() { Reset(); }
  UniqueInvalidHandle(const UniqueInvalidHandle&) = delete;
  UniqueInvalidHandle& operator=(const UniqueInvalidHandle&) = delete;
  HANDLE Get() const { return m_h; }
  explicit operator bool() const { return m_h != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE h = INVALID_HANDLE_VALUE) {
    HANDLE old = std::exchange(m_h, h);
    if (old != INVALID_HANDLE_VALUE) Traits::Close(old);
  }

private:
  HANDLE m_h = INVALID_HANDLE_VALUE;
};

struct FindTraits { static void Close(HANDLE h) { ::FindClose(h); } };

// A file or device handle.
using UniqueFileHandle = UniqueInvalidHandle<HandleTraits>;
// A search of a folder (FindFirstFileW).
using UniqueFindHandle = UniqueInvalidHandle<FindTraits>;

// A zero-filled block of the process heap; Get() is null where there was no memory, which a caller
// takes as a value it cannot read, never as an exception.
class HeapBlock {
public:
  explicit HeapBlock(SIZE_T size)
      : m_heap(::GetProcessHeap()), m_block(m_heap ? ::HeapAlloc(m_heap, HEAP_ZERO_MEMORY, size) : nullptr) {}
  ~HeapBlock() {
    if (m_block) ::HeapFree(m_heap, 0, m_block);
  }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  BYTE* Get() const { return static_cast<BYTE*>(m_block); }

private:
  HANDLE m_heap;
  void* m_block;
};

#endif
