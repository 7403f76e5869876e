// CWmiData: WMI connection, WQL queries and property reads, each call made on the worker within the budget.
#include "wmi/wmi_data.h"

#include "framework/com.h"
#include "framework/resource_strings.h"
#include "res/resource.h"
#include "wmi/wmi_number.h"
#include "wmi/wmi_queries.h"

#include <wbemidl.h>

// The four interface pointers, in the order they are obtained. Only the worker's calls touch them; each call
// holds a reference, so that one which returns long after its caller gave up still finds them.
struct WmiInterfaces {
  ComPtr<IWbemLocator> m_pLocator;
  ComPtr<IWbemServices> m_pServices;
  ComPtr<IEnumWbemClassObject> m_pEnum;
  ComPtr<IWbemClassObject> m_pObject;
  volatile LONG m_refs = 1;

  void AddRef() { ::InterlockedIncrement(&m_refs); }
  void Release() {
    if (::InterlockedDecrement(&m_refs) == 0) delete this;
  }
  // Most recently obtained first.
  void CloseQuery() {
    m_pObject.Reset();
    m_pEnum.Reset();
  }
  void ReleaseAll() {
    CloseQuery();
    m_pServices.Reset();
    m_pLocator.Reset();
  }
};

namespace {
const wchar_t kNamespace[] = L"\\\\.\\root\\cimv2";

class WmiCall : public ComCall {
public:
  explicit WmiCall(WmiInterfaces* interfaces) : m_wmi(interfaces) { m_wmi->AddRef(); }
  ~WmiCall() override { m_wmi->Release(); }
  WmiCall(const WmiCall&) = delete;
  WmiCall& operator=(const WmiCall&) = delete;

protected:
  WmiInterfaces& Wmi() const { return *m_wmi; }

private:
  WmiInterfaces* m_wmi;
};

// The property's VARIANT; false when there is no instance or Get failed.
bool GetProperty(const WmiInterfaces& wmi, const std::wstring& name, Variant& value) {
  if (!wmi.m_pObject) return false;
  BString property(name.c_str());
  return SUCCEEDED(wmi.m_pObject->Get(property.Get(), 0, value.Receive(), nullptr, nullptr));
}

// The property's text parsed as a number: 1; 0 with `out` 0 for a text without digits; -1 for no text form.
int ParseProperty(const WmiInterfaces& wmi, const std::wstring& name, uint64_t& out) {
  Variant value;
  if (!GetProperty(wmi, name, value)) return -1;
  Variant text;
  // No text form (VT_NULL, an object): a failed read, so a running sum keeps what it has.
  if (FAILED(::VariantChangeType(text.Receive(), value.Get(), 0, VT_BSTR))) return -1;
  const BSTR b = V_BSTR(text.Get());
  return ParseWmiNumber(b ? std::wstring_view(b, ::SysStringLen(b)) : std::wstring_view(), out) ? 1 : 0;
}

// A byte array's content, when its shape passes the check: nothing is read outside what it says it holds.
void CopyByteArray(SAFEARRAY* array, std::vector<uint8_t>& bytes) {
  LONG lower = 0, upper = -1;
  if (!array || ::SafeArrayGetDim(array) != 1 || FAILED(::SafeArrayGetLBound(array, 1, &lower)) ||
      FAILED(::SafeArrayGetUBound(array, 1, &upper)))
    return;
  void* data = nullptr;
  if (FAILED(::SafeArrayAccessData(array, &data))) return;
  SafeArrayShape shape;
  shape.dimensions = 1;
  shape.elementSize = ::SafeArrayGetElemsize(array);
  shape.lowerBound = lower;
  shape.upperBound = upper;
  shape.hasData = data != nullptr;
  if (const size_t length = ByteArrayLength(shape, kWmiByteArrayLimit))
    bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + length);
  ::SafeArrayUnaccessData(array);
}

void TakeValue(const VARIANT& variant, WmiValue& value) {
  value.type = V_VT(&variant);
  value.isNumber = true;
  switch (V_VT(&variant)) {
  case VT_BOOL: value.number = V_BOOL(&variant) ? 1 : 0; break;
  case VT_I1: value.number = V_I1(&variant); break;
  case VT_UI1: value.number = V_UI1(&variant); break;
  case VT_I2: value.number = V_I2(&variant); break;
  case VT_UI2: value.number = V_UI2(&variant); break;
  case VT_I4: value.number = V_I4(&variant); break;
  case VT_UI4: value.number = V_UI4(&variant); break;
  case VT_I8: value.number = V_I8(&variant); break;
  case VT_UI8: value.number = static_cast<int64_t>(V_UI8(&variant)); break;
  case VT_BSTR:
    value.isNumber = false;
    if (const BSTR text = V_BSTR(&variant)) value.text.assign(text, ::SysStringLen(text));
    break;
  case VT_ARRAY | VT_UI1:
    value.isNumber = false;
    CopyByteArray(V_ARRAY(&variant), value.bytes);
    break;
  default:
    value.isNumber = false;
    break;
  }
}

class ConnectCall : public WmiCall {
public:
  ConnectCall(WmiInterfaces* wmi, const wchar_t* resource) : WmiCall(wmi), m_resource(resource) {}
  void Make() override {
    WmiInterfaces& wmi = Wmi();
    HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_ALL, IID_IWbemLocator,
                                    wmi.m_pLocator.ReceiveVoid());
    if (FAILED(hr) || !wmi.m_pLocator) return;
    end = CWmiData::ConnectEnd::kNoServices;
    BString resource(m_resource.c_str());
    hr = wmi.m_pLocator->ConnectServer(resource.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                       wmi.m_pServices.Receive());
    if (FAILED(hr) || !wmi.m_pServices) return;
    end = CWmiData::ConnectEnd::kNoBlanket;
    hr = ::CoSetProxyBlanket(wmi.m_pServices.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                             RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (SUCCEEDED(hr)) end = CWmiData::ConnectEnd::kConnected;
  }
  CWmiData::ConnectEnd end = CWmiData::ConnectEnd::kNoLocator;

private:
  std::wstring m_resource;
};

class ExecuteCall : public WmiCall {
public:
  ExecuteCall(WmiInterfaces* wmi, std::wstring query) : WmiCall(wmi), m_query(std::move(query)) {}
  void Make() override {
    WmiInterfaces& wmi = Wmi();
    // A query that failed at its first instance is not closed by the caller: let it go here.
    wmi.CloseQuery();
    if (!wmi.m_pServices) return;
    BString language(L"WQL");
    BString text(m_query.c_str());
    // Whether an enumerator came back is what counts, not the HRESULT.
    wmi.m_pServices->ExecQuery(language.Get(), text.Get(), WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY,
                               nullptr, wmi.m_pEnum.Receive());
    opened = static_cast<bool>(wmi.m_pEnum);
  }
  bool opened = false;

private:
  std::wstring m_query;
};

// Next, and with a property named, that property of the new instance read as a number. The first instance
// of a query counts whenever an object came back; a later one only when Next also said so.
class AdvanceCall : public WmiCall {
public:
  AdvanceCall(WmiInterfaces* wmi, LONG timeout, const wchar_t* property, bool first)
      : WmiCall(wmi), m_timeout(timeout), m_property(property ? property : L""), m_first(first) {}
  void Make() override {
    WmiInterfaces& wmi = Wmi();
    wmi.m_pObject.Reset();
    if (!wmi.m_pEnum) return;
    ULONG returned = 0;
    const HRESULT hr = wmi.m_pEnum->Next(m_timeout, 1, wmi.m_pObject.Receive(), &returned);
    timedOut = hr == WBEM_S_TIMEDOUT && !wmi.m_pObject;
    if (!wmi.m_pObject || (!m_first && (FAILED(hr) || hr == WBEM_S_FALSE))) {
      wmi.m_pObject.Reset();
      return;
    }
    found = true;
    if (!m_property.empty()) read = ParseProperty(wmi, m_property, number);
  }
  bool found = false, timedOut = false;
  int read = -1;
  uint64_t number = 0;

private:
  LONG m_timeout;
  std::wstring m_property;
  bool m_first;
};

// One property of the current instance, read as GetString, GetNumber or GetValue wants it.
class PropertyCall : public WmiCall {
public:
  enum Kind { kText, kNumber, kValue };
  PropertyCall(WmiInterfaces* wmi, const wchar_t* name, Kind kind) : WmiCall(wmi), m_name(name), m_kind(kind) {}
  void Make() override {
    if (m_kind == kNumber) {
      read = ParseProperty(Wmi(), m_name, number);
      return;
    }
    Variant variant;
    if (!GetProperty(Wmi(), m_name, variant)) return;
    if (m_kind == kValue) {
      TakeValue(*variant.Get(), value);
      read = 1;
      return;
    }
    switch (variant.Type()) {
    case VT_BSTR: {
      Variant converted;
      if (FAILED(::VariantChangeType(converted.Receive(), variant.Get(), 0, VT_BSTR))) return;
      // Built from the C string on purpose: the text ends at its first null character.
      const BSTR b = V_BSTR(converted.Get());
      value.text = b ? std::wstring(b) : std::wstring();
      break;
    }
    case VT_I2: value.text = SignedDecimalText(V_I2(variant.Get())); break;
    case VT_I4: value.text = SignedDecimalText(V_I4(variant.Get())); break;
    case VT_I8: value.text = SignedDecimalText(V_I8(variant.Get())); break;
    default: return;
    }
    read = 1;
  }
  int read = -1;
  uint64_t number = 0;
  WmiValue value;

private:
  std::wstring m_name;
  Kind m_kind;
};

class ReleaseCall : public WmiCall {
public:
  ReleaseCall(WmiInterfaces* wmi, bool all) : WmiCall(wmi), m_all(all) {}
  void Make() override {
    if (m_all) Wmi().ReleaseAll();
    else Wmi().CloseQuery();
  }

private:
  bool m_all;
};
} // namespace

enum class CWmiData::Step { kYes, kNo, kRanOut, kNotRun };

CWmiData::CWmiData(CallBudget* budget)
    : m_ownBudget(budget ? nullptr : new CallBudget(kBudgetMs)), m_interfaces(new WmiInterfaces()),
      m_worker(budget ? *budget : *m_ownBudget, new ReleaseCall(m_interfaces, true)) {}

// The worker makes the last call before it leaves its apartment: whatever is still held goes, newest first.
CWmiData::~CWmiData() { m_interfaces->Release(); }

template <typename Call>
CallResult CWmiData::Make(std::unique_ptr<Call>& call) {
  const CallResult result = m_worker.Run(*call);
  if (result == CallResult::kRanOut) {
    m_ranOut = true;
    (void)call.release(); // the worker's now
  }
  return result;
}

int CWmiData::Connect() { return ConnectTo(kNamespace); }

int CWmiData::ConnectTo(const wchar_t* resource) {
  auto call = std::make_unique<ConnectCall>(m_interfaces, resource);
  // A connection that ran out, now or earlier, is a connection that failed.
  m_connectEnd = Make(call) == CallResult::kDone ? call->end : ConnectEnd::kRanOut;
  return m_connectEnd == ConnectEnd::kConnected ? 1 : 0;
}

CWmiData::Step CWmiData::Execute(const std::wstring& query) {
  m_hasObject = false;
  auto call = std::make_unique<ExecuteCall>(m_interfaces, query);
  const CallResult result = Make(call);
  if (result != CallResult::kDone) return result == CallResult::kRanOut ? Step::kRanOut : Step::kNotRun;
  m_hasQuery = true;
  return call->opened ? Step::kYes : Step::kNo;
}

CWmiData::Step CWmiData::Advance(const wchar_t* property, uint64_t* number, int* read, bool first) {
  m_hasObject = false;
  // The enumerator itself waits no longer than the budget, so that a late answer frees the worker.
  auto call =
      std::make_unique<AdvanceCall>(m_interfaces, static_cast<LONG>(m_worker.Budget().Left()), property, first);
  const CallResult result = Make(call);
  if (result != CallResult::kDone) return result == CallResult::kRanOut ? Step::kRanOut : Step::kNotRun;
  if (call->timedOut) {
    m_ranOut = true;
    m_worker.Budget().Exhaust();
    return Step::kRanOut;
  }
  m_hasObject = call->found;
  if (!call->found) return Step::kNo;
  if (read) {
    *read = call->read;
    if (call->read >= 0) *number = call->number;
  }
  return Step::kYes;
}

int CWmiData::Query(const std::wstring& what) {
  const std::wstring query = SelectText(what);
  const Step opened = Execute(query);
  // WMI stopped answering at an earlier call: nothing more is asked of it, and nothing is shown.
  if (opened == Step::kNotRun) return 0;
  if (opened != Step::kYes) {
    const std::wstring message = L"WMI Open Error(IWbemServices.ExecQuery)\n" + query;
    ShowMessage(L"", message, MB_OK);
    return 0;
  }
  // With a semi-synchronous query a bad query shows up here; only the object tells.
  const Step first = Advance(nullptr, nullptr, nullptr, true);
  if (first == Step::kNotRun) return 0;
  if (first != Step::kYes) {
    std::wstring caption;
    LoadResourceString(IDS_APP_TITLE, caption);
    const std::wstring message = L"WMI Open Error(IEnumWbemClassObject.Next)\n" + query;
    ShowMessage(caption, message, MB_ICONERROR | MB_OK);
    return 0;
  }
  return 1;
}

int CWmiData::OpenQuery(const std::wstring& what) { return Execute(SelectText(what)) == Step::kYes ? 1 : 0; }

int CWmiData::NextInstance() { return Advance(nullptr, nullptr, nullptr, false) == Step::kYes ? 1 : 0; }

void CWmiData::SetMessageSink(MessageSink sink, void* context) {
  m_sink = sink;
  m_sinkContext = context;
}

void CWmiData::ShowMessage(const std::wstring& caption, const std::wstring& text, UINT style) const {
  if (m_sink)
    m_sink(m_sinkContext, caption, text);
  else
    ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), style);
}

int CWmiData::Read(const wchar_t* name, int kind, uint64_t* number, WmiValue* value) {
  if (!m_hasObject) return 0;
  auto call = std::make_unique<PropertyCall>(m_interfaces, name, static_cast<PropertyCall::Kind>(kind));
  if (Make(call) != CallResult::kDone || call->read < 0) return 0;
  if (number) *number = call->number;
  if (value) *value = std::move(call->value);
  return call->read;
}

int CWmiData::GetString(const wchar_t* name, std::wstring& out) {
  WmiValue value;
  if (Read(name, PropertyCall::kText, nullptr, &value) != 1) return 0;
  out = std::move(value.text);
  return 1;
}

int CWmiData::GetNumber(const wchar_t* name, uint64_t& out) { return Read(name, PropertyCall::kNumber, &out, nullptr); }

int CWmiData::GetValue(const wchar_t* name, WmiValue& value) { return Read(name, PropertyCall::kValue, nullptr, &value); }

int CWmiData::GetNextNumber(const wchar_t* name, uint64_t& out) {
  int read = -1;
  if (Advance(name, &out, &read, false) != Step::kYes) return 0;
  return read > 0 ? 1 : 0;
}

void CWmiData::CloseQuery() {
  if (!m_hasQuery) return;
  m_hasObject = false;
  m_hasQuery = false;
  auto call = std::make_unique<ReleaseCall>(m_interfaces, false);
  Make(call);
}

void CWmiData::Disconnect() {
  m_hasObject = false;
  m_hasQuery = false;
  if (m_connectEnd == ConnectEnd::kNotTried) return;
  auto call = std::make_unique<ReleaseCall>(m_interfaces, true);
  Make(call);
}
