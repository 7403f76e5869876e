// CWmiData: the program's connection to WMI in root\cimv2 and the reading of instance properties.
#ifndef KCC_WMI_WMI_DATA_H
#define KCC_WMI_WMI_DATA_H

#include "framework/com_worker.h"
#include "framework/object.h"
#include "wmi/wmi_value.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

struct WmiInterfaces;

// One query at a time, one instance at a time. Results: 1 success, 0 failure (outputs untouched unless a method
// says otherwise). Each WMI call runs on the object's worker within a shared budget (docs/architecture.md): a
// WMI that never answers costs at most that long, and after a call ran out the operations fail without boxes.
class CWmiData : public CObject {
public:
  // How long WMI may hold up one gathering in all, so that the dialog shows within seconds whatever WMI does.
  static constexpr DWORD kBudgetMs = 10000;

  // With no budget, the object keeps one of its own.
  explicit CWmiData(CallBudget* budget = nullptr);
  ~CWmiData() override;

  // Where Query's failure messages go instead of a message box (null: a message box, as the dialog has it).
  using MessageSink = void (*)(void* context, const std::wstring& caption, const std::wstring& text);
  void SetMessageSink(MessageSink sink, void* context);

  // Locator, connection to "\\.\root\cimv2", proxy blanket. Silent on failure.
  int Connect();
  // The same for another local namespace ("\\.\root\WMI").
  int ConnectTo(const wchar_t* resource);
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

  // For a caller that reads instances its own way: the query opened without its first instance and without a
  // message (0 when no enumerator came back), the next instance (0 at the end), and a property as WMI gives it.
  int OpenQuery(const std::wstring& what);
  int NextInstance();
  int GetValue(const wchar_t* name, WmiValue& value);

  // How the last Connect ended, for a caller that records it.
  enum class ConnectEnd { kNotTried, kConnected, kNoLocator, kNoServices, kNoBlanket, kRanOut };
  ConnectEnd LastConnect() const { return m_connectEnd; }
  // Whether a call of this object used up the budget.
  bool RanOut() const { return m_ranOut; }

  enum class Step; // what a step of a query came to

private:
  // Runs the call on the worker; one that ran out becomes the worker's.
  template <typename Call>
  CallResult Make(std::unique_ptr<Call>& call);
  // ExecQuery (after letting go of the query before), and Next with, when `property` is named, its number read:
  // a query's first Next is judged by its object alone, a later one by its result too.
  Step Execute(const std::wstring& query);
  Step Advance(const wchar_t* property, uint64_t* number, int* read, bool first);
  // A property of the current instance as text, number or value; GetNumber's result, -1 read as 0.
  int Read(const wchar_t* name, int kind, uint64_t* number, WmiValue* value);
  void ShowMessage(const std::wstring& caption, const std::wstring& text, UINT style) const;

  MessageSink m_sink = nullptr;
  void* m_sinkContext = nullptr;

  std::unique_ptr<CallBudget> m_ownBudget;
  // m_pLocator, m_pServices, m_pEnum and m_pObject, reached only from the worker's calls.
  WmiInterfaces* m_interfaces;
  ComWorker m_worker;
  bool m_hasQuery = false;  // a query was opened and not closed since
  bool m_hasObject = false; // an instance is current (as the last call left it)
  ConnectEnd m_connectEnd = ConnectEnd::kNotTried;
  bool m_ranOut = false;
};

#endif
