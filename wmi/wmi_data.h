// CWmiData: the program's connection to WMI in root\cimv2 and the reading of instance properties.
#ifndef KCC_WMI_WMI_DATA_H
#define KCC_WMI_WMI_DATA_H

#include "framework/com.h"
#include "framework/object.h"

#include <windows.h>
#include <wbemidl.h>

#include <cstdint>
#include <string>

// One query at a time, one instance at a time. Results: 1 success, 0 failure (outputs untouched
// unless a method says otherwise). COM must already be initialised on the calling thread.
class CWmiData : public CObject {
public:
  CWmiData() = default;
  ~CWmiData() override;

  // Where Query's failure messages go instead of a message box (null: a message box, as the dialog has it).
  using MessageSink = void (*)(void* context, const std::wstring& caption, const std::wstring& text);
  void SetMessageSink(MessageSink sink, void* context);

  // Locator, connection to "\\.\root\cimv2", proxy blanket. Silent on failure.
  int Connect();
  // Runs "Select * From " + what and takes its first instance; shows a message box on failure.
  int Query(const std::wstring& what);
  // VT_BSTR, VT_I2, VT_I4 and VT_I8 as text; other types fail.
  int GetString(const wchar_t* name, std::wstring& out);
  // The property's text parsed as a number. A value with no text form (VT_NULL) fails with `out`
  // untouched; a text without digits fails with `out` set to 0.
  int GetNumber(const wchar_t* name, uint64_t& out);
  // Moves to the next instance and reads as GetNumber; at the end fails with `out` untouched.
  int GetNextNumber(const wchar_t* name, uint64_t& out);
  void CloseQuery();
  void Disconnect();

  // The services object ConnectServer gave (null before, or when it failed), for a caller that reads
  // instances its own way over the same connection.
  IWbemServices* Services() const { return m_pServices.Get(); }

private:
  int ReadNumber(const wchar_t* name, uint64_t& out);
  void ShowMessage(const std::wstring& caption, const std::wstring& text, UINT style) const;

  MessageSink m_sink = nullptr;
  void* m_sinkContext = nullptr;

  ComPtr<IWbemLocator> m_pLocator;
  ComPtr<IWbemServices> m_pServices;
  ComPtr<IEnumWbemClassObject> m_pEnum;
  ComPtr<IWbemClassObject> m_pObject;
};

#endif
