// Owners of COM interface pointers, BSTRs and VARIANTs: each releases what it holds, once.
#ifndef KCC_FRAMEWORK_COM_H
#define KCC_FRAMEWORK_COM_H

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <utility>

// One reference to a COM interface; Release on reset and destruction.
template <typename T>
class ComPtr {
public:
  ComPtr() = default;
  // Takes over a reference the caller already owns (no AddRef).
  explicit ComPtr(T* p) : m_p(p) {}
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr& other) : m_p(other.m_p) {
    if (m_p) m_p->AddRef();
  }
  // Self-assignment is safe: the AddRef comes before Reset releases the old pointer.
  ComPtr& operator=(const ComPtr& other) { // NOLINT(bugprone-unhandled-self-assignment,cert-oop54-cpp)
    if (other.m_p) other.m_p->AddRef();
    Reset(other.m_p);
    return *this;
  }
  ComPtr(ComPtr&& other) noexcept : m_p(other.Detach()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }

  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }

  // For out parameters: releases what is held first, so a reused pointer never leaks.
  T** Receive() {
    Reset();
    return &m_p;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

  // Takes over `p` (no AddRef) and releases the reference held before.
  void Reset(T* p = nullptr) {
    T* old = std::exchange(m_p, p);
    if (old) old->Release();
  }
  T* Detach() { return std::exchange(m_p, nullptr); }

  // `out` always lets go of what it held; it gets the new interface only on success.
  template <typename U>
  HRESULT As(ComPtr<U>& out) const {
    U* result = nullptr;
    const HRESULT hr = m_p ? m_p->QueryInterface(__uuidof(U), reinterpret_cast<void**>(&result)) : E_POINTER;
    out.Reset(SUCCEEDED(hr) ? result : nullptr);
    return hr;
  }

private:
  T* m_p = nullptr;
};

// An owned BSTR; SysFreeString on reset and destruction.
class BString {
public:
  BString() = default;
  // Throws std::bad_alloc when the string cannot be allocated.
  explicit BString(const wchar_t* text) : m_b(::SysAllocString(text)) {
    if (text && !m_b) throw std::bad_alloc();
  }
  ~BString() { Reset(); }
  BString(const BString&) = delete;
  BString& operator=(const BString&) = delete;
  BString(BString&& other) noexcept : m_b(other.Detach()) {}
  BString& operator=(BString&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }

  BSTR Get() const { return m_b; }
  UINT Length() const { return ::SysStringLen(m_b); }
  BSTR* Receive() {
    Reset();
    return &m_b;
  }
  void Reset(BSTR b = nullptr) {
    BSTR old = std::exchange(m_b, b);
    if (old) ::SysFreeString(old);
  }
  BSTR Detach() { return std::exchange(m_b, nullptr); }

private:
  BSTR m_b = nullptr;
};

// An owned VARIANT, VT_EMPTY when constructed; VariantClear on reset and destruction.
class Variant {
public:
  Variant() { ::VariantInit(&m_v); }
  ~Variant() { ::VariantClear(&m_v); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  VARIANT* Get() { return &m_v; }
  const VARIANT* Get() const { return &m_v; }
  VARTYPE Type() const { return V_VT(&m_v); }
  // For out parameters: clears what is held first.
  VARIANT* Receive() {
    Clear();
    return &m_v;
  }
  void Clear() {
    ::VariantClear(&m_v);
    ::VariantInit(&m_v);
  }

private:
  VARIANT m_v;
};

#endif
