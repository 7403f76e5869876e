// CWmiData: WMI connection, WQL queries and property reads.
#include "wmi/wmi_data.h"

#include "framework/resource_strings.h"
#include "res/resource.h"
#include "wmi/wmi_number.h"
#include "wmi/wmi_queries.h"

namespace {
const wchar_t kNamespace[] = L"\\\\.\\root\\cimv2";
} // namespace

CWmiData::~CWmiData() {
  // Most recently obtained first.
  m_pObject.Reset();
  m_pEnum.Reset();
  m_pServices.Reset();
  m_pLocator.Reset();
}

int CWmiData::Connect() {
  HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_ALL, IID_IWbemLocator, m_pLocator.ReceiveVoid());
  if (FAILED(hr) || !m_pLocator) return 0;

  BString resource(kNamespace);
  hr = m_pLocator->ConnectServer(resource.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, m_pServices.Receive());
  if (FAILED(hr) || !m_pServices) return 0;

  hr = ::CoSetProxyBlanket(m_pServices.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                           RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  return SUCCEEDED(hr) ? 1 : 0;
}

int CWmiData::Query(const std::wstring& what) {
  const std::wstring query = SelectText(what);
  // A query that failed at its first instance is not closed by the caller: let it go here.
  CloseQuery();

  if (m_pServices) {
    BString language(L"WQL");
    BString text(query.c_str());
    // Whether an enumerator came back is what counts, not the HRESULT.
    m_pServices->ExecQuery(language.Get(), text.Get(), WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr,
                           m_pEnum.Receive());
  }
  if (!m_pEnum) {
    const std::wstring message = L"WMI Open Error(IWbemServices.ExecQuery)\n" + query;
    ShowMessage(L"", message, MB_OK);
    return 0;
  }

  // With a semi-synchronous query a bad query shows up here; only the object tells.
  ULONG returned = 0;
  m_pEnum->Next(WBEM_INFINITE, 1, m_pObject.Receive(), &returned);
  if (!m_pObject) {
    std::wstring caption;
    LoadResourceString(IDS_APP_TITLE, caption);
    const std::wstring message = L"WMI Open Error(IEnumWbemClassObject.Next)\n" + query;
    ShowMessage(caption, message, MB_ICONERROR | MB_OK);
    return 0;
  }
  return 1;
}

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

int CWmiData::GetString(const wchar_t* name, std::wstring& out) {
  if (!m_pObject) return 0;
  BString property(name);
  Variant value;
  if (FAILED(m_pObject->Get(property.Get(), 0, value.Receive(), nullptr, nullptr))) return 0;

  switch (value.Type()) {
  case VT_BSTR: {
    Variant text;
    if (FAILED(::VariantChangeType(text.Receive(), value.Get(), 0, VT_BSTR))) return 0;
    // Built from the C string on purpose: the text ends at its first null character.
    const BSTR b = V_BSTR(text.Get());
    out = b ? std::wstring(b) : std::wstring();
    return 1;
  }
  case VT_I2:
    out = SignedDecimalText(V_I2(value.Get()));
    return 1;
  case VT_I4:
    out = SignedDecimalText(V_I4(value.Get()));
    return 1;
  case VT_I8:
    out = SignedDecimalText(V_I8(value.Get()));
    return 1;
  default:
    return 0;
  }
}

int CWmiData::GetNumber(const wchar_t* name, uint64_t& out) {
  if (!m_pObject) return 0;
  return ReadNumber(name, out);
}

int CWmiData::GetNextNumber(const wchar_t* name, uint64_t& out) {
  m_pObject.Reset();
  if (!m_pEnum) return 0;
  ULONG returned = 0;
  const HRESULT hr = m_pEnum->Next(WBEM_INFINITE, 1, m_pObject.Receive(), &returned);
  if (FAILED(hr) || hr == WBEM_S_FALSE || !m_pObject) {
    m_pObject.Reset();
    return 0;
  }
  return ReadNumber(name, out);
}

int CWmiData::ReadNumber(const wchar_t* name, uint64_t& out) {
  BString property(name);
  Variant value;
  if (FAILED(m_pObject->Get(property.Get(), 0, value.Receive(), nullptr, nullptr))) return 0;
  Variant text;
  // No text form (VT_NULL, an object): a failed read, so a running sum keeps what it has.
  if (FAILED(::VariantChangeType(text.Receive(), value.Get(), 0, VT_BSTR))) return 0;
  const BSTR b = V_BSTR(text.Get());
  uint64_t number = 0;
  const bool parsed = ParseWmiNumber(b ? std::wstring_view(b, ::SysStringLen(b)) : std::wstring_view(), number);
  out = number;
  return parsed ? 1 : 0;
}

void CWmiData::CloseQuery() {
  m_pObject.Reset();
  m_pEnum.Reset();
}

void CWmiData::Disconnect() {
  CloseQuery();
  m_pServices.Reset();
  m_pLocator.Reset();
}
