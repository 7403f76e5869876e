// In-process fakes of IWbemLocator, IWbemServices (with IClientSecurity), IEnumWbemClassObject
// and IWbemClassObject, and the class object that serves them for CLSID_WbemLocator.
#include "tests/wmi/fake_wbem.h"
#include "tools/wmifixture/wbem_unsupported.h"

#include <new>

namespace fakewmi {

Script g_script;
Record g_record;

FakeValue Bstr(std::wstring text) { FakeValue v; v.vt = VT_BSTR; v.text = std::move(text); return v; }
FakeValue I2(int16_t value) { FakeValue v; v.vt = VT_I2; v.number = value; return v; }
FakeValue I4(int32_t value) { FakeValue v; v.vt = VT_I4; v.number = value; return v; }
FakeValue I8(int64_t value) { FakeValue v; v.vt = VT_I8; v.number = value; return v; }
FakeValue Bool(bool value) { FakeValue v; v.vt = VT_BOOL; v.number = value; return v; }
FakeValue Null() { FakeValue v; v.vt = VT_NULL; return v; }
FakeValue Empty() { return FakeValue(); }
FakeValue UI4(uint32_t value) { FakeValue v; v.vt = VT_UI4; v.number = value; return v; }
FakeValue R8(double value) {
  FakeValue v;
  v.vt = VT_R8;
  static_assert(sizeof(double) == sizeof(int64_t), "bit copy");
  __builtin_memcpy(&v.number, &value, sizeof value);
  return v;
}
FakeValue Unknown(IUnknown* object) { FakeValue v; v.vt = VT_UNKNOWN; v.object = object; return v; }
FakeValue ByteArray(std::vector<uint8_t> bytes, LONG lowerBound, UINT dimensions, VARTYPE element) {
  FakeValue v;
  v.vt = VT_ARRAY | VT_UI1;
  v.bytes = std::move(bytes);
  v.lowerBound = lowerBound;
  v.dimensions = dimensions;
  v.element = element;
  return v;
}

namespace {
// The bytes in a new SAFEARRAY of the value's shape: the first dimension holds them, any other has one element.
SAFEARRAY* MakeArray(const FakeValue& v) {
  SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(v.bytes.size()), v.lowerBound}, {1, 0}};
  SAFEARRAY* array = ::SafeArrayCreate(v.element, v.dimensions, bounds);
  void* data = nullptr;
  if (array && SUCCEEDED(::SafeArrayAccessData(array, &data))) {
    if (!v.bytes.empty()) __builtin_memcpy(data, v.bytes.data(), v.bytes.size());
    ::SafeArrayUnaccessData(array);
  }
  return array;
}
} // namespace

bool IsBstr(const wchar_t* text) {
  return text && ::SysStringLen(const_cast<BSTR>(text)) == static_cast<UINT>(::lstrlenW(text));
}

HRESULT STDMETHODCALLTYPE CountingUnknown::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (riid != IID_IUnknown) return E_NOINTERFACE;
  *object = this;
  AddRef();
  return S_OK;
}

namespace {

// Set while hung calls may return.
HANDLE g_unhang = nullptr;

// A call that is to hang waits here until ReleaseHangs.
void HangIf(Hang where) {
  if (g_script.hang == where && g_unhang) ::WaitForSingleObject(g_unhang, INFINITE);
}

// Reference counting that logs the object's end under its name.
class Counted {
public:
  explicit Counted(std::wstring name) : m_name(std::move(name)) { ++g_record.live; }
  virtual ~Counted() {
    --g_record.live;
    g_record.log.push_back(L"~" + m_name);
  }
  ULONG Add() { return static_cast<ULONG>(++m_refs); }
  ULONG Drop() {
    // Whether this thread is still in the multithreaded apartment: initialising it again only counts then.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(com)) ::CoUninitialize();
    g_record.releases.push_back(ReleaseSite{m_name, ::GetCurrentThreadId(), com == S_FALSE});
    const LONG refs = --m_refs;
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
  }

private:
  std::wstring m_name;
  LONG m_refs = 1;
};

#define FAKE_REFCOUNT                                          \
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }  \
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

template <typename Interface>
HRESULT QueryOne(Interface* self, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (riid != IID_IUnknown && riid != __uuidof(Interface)) return E_NOINTERFACE;
  *object = self;
  self->AddRef();
  return S_OK;
}

class FakeObject final : public UnsupportedClassObject, private Counted {
public:
  FakeObject(size_t index, const FakeInstance& instance)
      : Counted(L"Object" + std::to_wstring(index)), m_instance(instance) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return QueryOne<IWbemClassObject>(this, riid, object);
  }
  FAKE_REFCOUNT

  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type, LONG* flavor) override {
    g_record.getNames.push_back(name ? name : L"(null)");
    if (!IsBstr(name)) g_record.getNamesAreBstrs = false;
    if (type || flavor) g_record.getAskedTypeOrFlavor = true;
    g_record.getFlags |= flags;
    HangIf(Hang::kGet);
    if (!name || !value) return WBEM_E_INVALID_PARAMETER;
    for (const auto& [property, v] : m_instance) {
      if (::lstrcmpiW(property.c_str(), name) != 0) continue;
      // Like WMI: the caller's VARIANT is overwritten, not cleared.
      ::VariantInit(value);
      V_VT(value) = v.vt;
      switch (v.vt) {
      case VT_BSTR: V_BSTR(value) = ::SysAllocStringLen(v.text.data(), static_cast<UINT>(v.text.size())); break;
      case VT_I2: V_I2(value) = static_cast<SHORT>(v.number); break;
      case VT_I4: V_I4(value) = static_cast<LONG>(v.number); break;
      case VT_I8: V_I8(value) = v.number; break;
      case VT_UI4: V_UI4(value) = static_cast<ULONG>(v.number); break;
      case VT_R8: __builtin_memcpy(&V_R8(value), &v.number, sizeof(double)); break;
      case VT_BOOL: V_BOOL(value) = v.number ? VARIANT_TRUE : VARIANT_FALSE; break;
      case VT_ARRAY | VT_UI1: V_ARRAY(value) = MakeArray(v); break;
      case VT_UNKNOWN:
        V_UNKNOWN(value) = v.object;
        v.object->AddRef();
        break;
      default: break;
      }
      return WBEM_S_NO_ERROR;
    }
    return WBEM_E_NOT_FOUND;
  }

private:
  FakeInstance m_instance;
};

int g_enumerators = 0;

class FakeEnum final : public IEnumWbemClassObject, private Counted {
public:
  FakeEnum() : Counted(L"Enum" + std::to_wstring(g_enumerators++)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return QueryOne<IEnumWbemClassObject>(this, riid, object);
  }
  FAKE_REFCOUNT

  HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) override {
    g_record.log.push_back(L"Next");
    g_record.nextTimeouts.push_back(timeout);
    g_record.nextCounts.push_back(count);
    if (!objects || !returned || count != 1) return WBEM_E_INVALID_PARAMETER;
    *returned = 0;
    if (m_calls++ == g_script.hangAtNext) HangIf(Hang::kNext);
    if (g_script.nextTimesOut != TimedOut::kNever) {
      const DWORD late[] = {0, 0, 30, 1500};
      if (g_script.nextTimesOut != TimedOut::kAtOnce)
        ::Sleep(static_cast<DWORD>(timeout) + late[static_cast<int>(g_script.nextTimesOut)]);
      ::InterlockedExchange(&g_record.nextTimedOut, 1);
      return WBEM_S_TIMEDOUT;
    }
    if (m_position == g_script.failNextAt) return g_script.nextFailure;
    if (m_position >= g_script.instances.size()) return WBEM_S_FALSE;
    objects[0] = new FakeObject(m_position, g_script.instances[m_position]);
    ++m_position;
    *returned = 1;
    return g_script.nextWithObject;
  }
  HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return E_NOTIMPL; }

private:
  size_t m_position = 0;
  size_t m_calls = 0;
};

class FakeServices final : public UnsupportedServices, public IClientSecurity, private Counted {
public:
  FakeServices() : Counted(L"Services") {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IWbemServices) *object = static_cast<IWbemServices*>(this);
    else if (riid == IID_IClientSecurity) *object = static_cast<IClientSecurity*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  FAKE_REFCOUNT

  HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**,
                                         DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown*, DWORD authn, DWORD authz, OLECHAR* principal, DWORD level,
                                       DWORD impersonation, void* identity, DWORD capabilities) override {
    ++g_record.blanketCalls;
    g_record.authn = authn;
    g_record.authz = authz;
    g_record.principalNull = principal == nullptr;
    g_record.level = level;
    g_record.impersonation = impersonation;
    g_record.identityNull = identity == nullptr;
    g_record.capabilities = capabilities;
    return g_script.blanket;
  }
  HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown*, IUnknown**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext* context,
                                      IEnumWbemClassObject** result) override {
    g_record.log.push_back(L"ExecQuery");
    g_record.language = language ? language : L"(null)";
    g_record.languageIsBstr = IsBstr(language);
    g_record.query = query ? query : L"(null)";
    g_record.queryIsBstr = IsBstr(query);
    g_record.execFlags = flags;
    g_record.execContextNull = context == nullptr;
    HangIf(Hang::kExecQuery);
    if (!result) return WBEM_E_INVALID_PARAMETER;
    *result = g_script.execGivesEnumerator ? new FakeEnum() : nullptr;
    return g_script.exec;
  }
};

class FakeLocator final : public IWbemLocator, private Counted {
public:
  FakeLocator() : Counted(L"Locator") {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return QueryOne<IWbemLocator>(this, riid, object);
  }
  FAKE_REFCOUNT

  HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR user, const BSTR password, const BSTR locale,
                                          LONG securityFlags, const BSTR authority, IWbemContext* context,
                                          IWbemServices** services) override {
    g_record.resource = resource ? resource : L"(null)";
    g_record.resourceIsBstr = IsBstr(resource);
    g_record.connectRestNull = !user && !password && !locale && !authority && !context;
    g_record.securityFlags = securityFlags;
    ++g_record.connectCalls;
    HangIf(Hang::kConnectServer);
    if (!services) return WBEM_E_INVALID_PARAMETER;
    *services = g_script.connectGivesServices ? new FakeServices() : nullptr;
    return g_script.connect;
  }
};

class FakeLocatorFactory final : public IClassFactory {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return QueryOne<IClassFactory>(this, riid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (FAILED(g_script.create)) return g_script.create;
    g_record.creatorThread = ::GetCurrentThreadId();
    FakeLocator* locator = new FakeLocator();
    const HRESULT hr = locator->QueryInterface(riid, object);
    locator->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

FakeLocatorFactory g_factory;

} // namespace

DWORD WINAPI Registration::Serve(void* parameter) {
  Registration* self = static_cast<Registration*>(parameter);
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  DWORD cookie = 0;
  self->m_hr = FAILED(com) ? com
                           : ::CoRegisterClassObject(CLSID_WbemLocator, &g_factory, CLSCTX_INPROC_SERVER,
                                                     REGCLS_MULTIPLEUSE, &cookie);
  ::SetEvent(self->m_registered);
  ::WaitForSingleObject(self->m_stop, INFINITE);
  if (SUCCEEDED(self->m_hr)) ::CoRevokeClassObject(cookie);
  if (SUCCEEDED(com)) ::CoUninitialize();
  return 0;
}

Registration::Registration() {
  g_enumerators = 0;
  g_unhang = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_registered = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_thread = ::CreateThread(nullptr, 0, &Registration::Serve, this, 0, nullptr);
  if (m_thread) ::WaitForSingleObject(m_registered, INFINITE);
}

Registration::~Registration() {
  ReleaseHangs();
  ::SetEvent(m_stop);
  if (m_thread) ::WaitForSingleObject(m_thread, INFINITE);
  for (HANDLE handle : {m_thread, m_stop, m_registered, g_unhang})
    if (handle) ::CloseHandle(handle);
  g_unhang = nullptr;
}

void ReleaseHangs() {
  if (!g_unhang) return;
  ::SetEvent(g_unhang);
  // The worker that made a hung call lets its objects go once the call returns.
  for (int i = 0; i < 200 && g_record.live != 0; ++i) ::Sleep(10);
}

} // namespace fakewmi
