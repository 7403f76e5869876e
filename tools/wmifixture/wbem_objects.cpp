// The fixture provider's IWbemServices (with IClientSecurity), IEnumWbemClassObject and IWbemClassObject.
#include "tools/wmifixture/wbem_objects.h"
#include "tools/wmifixture/wbem_unsupported.h"

#include <cstring>
#include <new>
#include <vector>

namespace wmifixture {
namespace {

LONG g_liveObjects = 0;

// Incoming BSTRs are treated as plain wide strings: callers do pass literals.
std::u16string_view View(const wchar_t* text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");
  return text ? std::u16string_view(reinterpret_cast<const char16_t*>(text), ::lstrlenW(text)) : std::u16string_view();
}

// Reference count and the module's object count, shared by every object here.
class RefCount {
public:
  RefCount() { AddLiveObject(); }
  virtual ~RefCount() { RemoveLiveObject(); }
  ULONG Add() { return static_cast<ULONG>(::InterlockedIncrement(&m_count)); }
  ULONG Drop() {
    const LONG count = ::InterlockedDecrement(&m_count);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }

private:
  LONG m_count = 1;
};

#define KCC_REFCOUNT_METHODS                                         \
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }        \
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

class ClassObject final : public UnsupportedClassObject, private RefCount {
public:
  ClassObject(std::shared_ptr<const Fixture> fixture, const Instance* instance)
      : m_fixture(std::move(fixture)), m_instance(instance) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IWbemClassObject) return E_NOINTERFACE;
    *object = static_cast<IWbemClassObject*>(this);
    AddRef();
    return S_OK;
  }
  KCC_REFCOUNT_METHODS

  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE* type, LONG* flavor) override {
    if (!name) return WBEM_E_INVALID_PARAMETER;
    const Property* property = m_instance->Find(View(name));
    Value classValue;
    if (!property && EqualsIgnoreCase(View(name), u"__CLASS")) {
      classValue.type = ValueType::Bstr;
      classValue.text = m_instance->className;
    } else if (!property) {
      return WBEM_E_NOT_FOUND;
    }
    const Value& v = property ? property->value : classValue;
    if (value) {
      ::VariantInit(value);
      switch (v.type) {
      case ValueType::Bstr:
        V_VT(value) = VT_BSTR;
        // Length-counted, so that a value may carry a null character.
        V_BSTR(value) = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(v.text.data()),
                                            static_cast<UINT>(v.text.size()));
        if (!V_BSTR(value)) {
          V_VT(value) = VT_EMPTY;
          return WBEM_E_OUT_OF_MEMORY;
        }
        break;
      case ValueType::I2: V_VT(value) = VT_I2; V_I2(value) = static_cast<SHORT>(v.number); break;
      case ValueType::I4: V_VT(value) = VT_I4; V_I4(value) = static_cast<LONG>(v.number); break;
      case ValueType::I8: V_VT(value) = VT_I8; V_I8(value) = v.number; break;
      case ValueType::Bool: V_VT(value) = VT_BOOL; V_BOOL(value) = v.number ? VARIANT_TRUE : VARIANT_FALSE; break;
      case ValueType::Null: V_VT(value) = VT_NULL; break;
      case ValueType::UI1: V_VT(value) = VT_UI1; V_UI1(value) = static_cast<BYTE>(v.number); break;
      case ValueType::UI1Array: {
        // As WMI hands out a uint8[] property: a one-dimensional SAFEARRAY of VT_UI1 from 0.
        SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(v.bytes.size()));
        void* data = nullptr;
        if (!array || FAILED(::SafeArrayAccessData(array, &data))) {
          if (array) ::SafeArrayDestroy(array);
          return WBEM_E_OUT_OF_MEMORY;
        }
        if (!v.bytes.empty()) memcpy(data, v.bytes.data(), v.bytes.size());
        ::SafeArrayUnaccessData(array);
        V_VT(value) = VT_ARRAY | VT_UI1;
        V_ARRAY(value) = array;
        break;
      }
      }
    }
    if (type) {
      static const CIMTYPE kTypes[] = {CIM_STRING,  CIM_SINT16, CIM_SINT32, CIM_SINT64,
                                       CIM_BOOLEAN, CIM_STRING, CIM_UINT8,  CIM_UINT8 | CIM_FLAG_ARRAY};
      *type = kTypes[static_cast<int>(v.type)];
    }
    if (flavor) *flavor = property ? WBEM_FLAVOR_ORIGIN_LOCAL : WBEM_FLAVOR_ORIGIN_SYSTEM;
    return WBEM_S_NO_ERROR;
  }

  HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject** copy) override {
    if (!copy) return WBEM_E_INVALID_PARAMETER;
    *copy = new (std::nothrow) ClassObject(m_fixture, m_instance);
    return *copy ? WBEM_S_NO_ERROR : WBEM_E_OUT_OF_MEMORY;
  }

private:
  std::shared_ptr<const Fixture> m_fixture; // keeps m_instance alive
  const Instance* m_instance;
};

class Enumerator final : public IEnumWbemClassObject, private RefCount {
public:
  // `hangs`: once the instances are served, Next never returns, as a provider that stopped answering.
  Enumerator(std::shared_ptr<const Fixture> fixture, std::vector<const Instance*> instances, bool hangs,
             size_t position = 0)
      : m_fixture(std::move(fixture)), m_instances(std::move(instances)), m_hangs(hangs), m_position(position) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IEnumWbemClassObject) return E_NOINTERFACE;
    *object = static_cast<IEnumWbemClassObject*>(this);
    AddRef();
    return S_OK;
  }
  KCC_REFCOUNT_METHODS

  HRESULT STDMETHODCALLTYPE Reset() override {
    m_position = 0;
    return WBEM_S_NO_ERROR;
  }

  // Everything is at hand, so the time-out never matters.
  HRESULT STDMETHODCALLTYPE Next(LONG, ULONG count, IWbemClassObject** objects, ULONG* returned) override {
    if (!objects || !returned) return WBEM_E_INVALID_PARAMETER;
    *returned = 0;
    if (m_hangs && m_position >= m_instances.size()) Hang();
    while (*returned < count && m_position < m_instances.size()) {
      ClassObject* object = new (std::nothrow) ClassObject(m_fixture, m_instances[m_position]);
      if (!object) return *returned ? WBEM_S_FALSE : WBEM_E_OUT_OF_MEMORY;
      objects[(*returned)++] = object;
      ++m_position;
    }
    return *returned == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return WBEM_E_NOT_SUPPORTED; }

  HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject** copy) override {
    if (!copy) return WBEM_E_INVALID_PARAMETER;
    *copy = nullptr;
    try {
      *copy = new Enumerator(m_fixture, m_instances, m_hangs, m_position);
    } catch (...) {
      return WBEM_E_OUT_OF_MEMORY;
    }
    return WBEM_S_NO_ERROR;
  }

  HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG count) override {
    const size_t left = m_instances.size() - m_position;
    if (count > left) {
      m_position = m_instances.size();
      return WBEM_S_FALSE;
    }
    m_position += count;
    return WBEM_S_NO_ERROR;
  }

private:
  std::shared_ptr<const Fixture> m_fixture;
  std::vector<const Instance*> m_instances;
  bool m_hangs;
  size_t m_position;
};

class Services final : public UnsupportedServices, public IClientSecurity, private RefCount {
public:
  Services(std::shared_ptr<const Fixture> fixture, const std::wstring& nameSpace)
      : m_fixture(std::move(fixture)), m_namespace(View(nameSpace.c_str())) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    // CoSetProxyBlanket asks for IClientSecurity; without it the blanket cannot be set.
    if (riid == IID_IUnknown || riid == IID_IWbemServices) *object = static_cast<IWbemServices*>(this);
    else if (riid == IID_IClientSecurity) *object = static_cast<IClientSecurity*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  KCC_REFCOUNT_METHODS

  // IClientSecurity: there is no proxy; the blanket is only kept for QueryBlanket.
  HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD* authn, DWORD* authz, OLECHAR** principal, DWORD* level,
                                         DWORD* impersonation, void** identity, DWORD* capabilities) override {
    if (authn) *authn = m_authn;
    if (authz) *authz = m_authz;
    if (principal) *principal = nullptr;
    if (level) *level = m_level;
    if (impersonation) *impersonation = m_impersonation;
    if (identity) *identity = nullptr;
    if (capabilities) *capabilities = m_capabilities;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown*, DWORD authn, DWORD authz, OLECHAR*, DWORD level, DWORD impersonation,
                                       void*, DWORD capabilities) override {
    if (m_fixture->FailsProxyBlanket()) return E_ACCESSDENIED;
    m_authn = authn;
    m_authz = authz;
    m_level = level;
    m_impersonation = impersonation;
    m_capabilities = capabilities;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown* proxy, IUnknown** copy) override {
    if (!proxy || !copy) return E_INVALIDARG;
    return proxy->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(copy));
  }

  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR text, LONG, IWbemContext*,
                                      IEnumWbemClassObject** result) override {
    if (!result) return WBEM_E_INVALID_PARAMETER;
    *result = nullptr;
    if (!language || !text) return WBEM_E_INVALID_PARAMETER;
    if (!EqualsIgnoreCase(View(language), u"WQL")) return WBEM_E_INVALID_QUERY_TYPE;
    try {
      const std::optional<Query> query = ParseQuery(View(text));
      if (!query) return WBEM_E_INVALID_QUERY;
      return Open(*query, result);
    } catch (...) {
      return WBEM_E_OUT_OF_MEMORY;
    }
  }

  HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR className, LONG, IWbemContext*,
                                               IEnumWbemClassObject** result) override {
    if (!result) return WBEM_E_INVALID_PARAMETER;
    *result = nullptr;
    if (!className || !*className) return WBEM_E_INVALID_PARAMETER;
    try {
      Query query;
      query.className.assign(View(className));
      return Open(query, result);
    } catch (...) {
      return WBEM_E_OUT_OF_MEMORY;
    }
  }

private:
  HRESULT Open(const Query& query, IEnumWbemClassObject** result) {
    if (m_fixture->HangsExecQuery(query.className)) Hang();
    if (m_fixture->FailsExecQuery(query.className)) return WBEM_E_FAILED;
    *result = new Enumerator(m_fixture, m_fixture->Select(query, m_namespace), m_fixture->HangsNext(query.className));
    return WBEM_S_NO_ERROR;
  }

  std::shared_ptr<const Fixture> m_fixture;
  std::u16string m_namespace;
  DWORD m_authn = RPC_C_AUTHN_WINNT, m_authz = RPC_C_AUTHZ_NONE, m_level = RPC_C_AUTHN_LEVEL_CONNECT,
        m_impersonation = RPC_C_IMP_LEVEL_IMPERSONATE, m_capabilities = EOAC_NONE;
};

} // namespace

LONG LiveObjects() { return g_liveObjects; }
void AddLiveObject() { ::InterlockedIncrement(&g_liveObjects); }
void RemoveLiveObject() { ::InterlockedDecrement(&g_liveObjects); }

IWbemServices* CreateServices(std::shared_ptr<const Fixture> fixture, const std::wstring& nameSpace) {
  return new (std::nothrow) Services(std::move(fixture), nameSpace);
}

void Hang() {
  for (;;) ::Sleep(INFINITE);
}

} // namespace wmifixture
