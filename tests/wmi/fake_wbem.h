// In-process fakes of the four WMI interfaces, served to CoCreateInstance(CLSID_WbemLocator)
// through a class object registered in this process: a script says what they answer, a record
// keeps what they were asked and when each object went away.
#ifndef KCC_TESTS_WMI_FAKE_WBEM_H
#define KCC_TESTS_WMI_FAKE_WBEM_H

#include "tests/support/no_copy.h"

#include <windows.h>
#include <wbemidl.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fakewmi {

struct FakeValue {
  VARTYPE vt = VT_EMPTY;
  std::wstring text;          // VT_BSTR, may hold null characters
  int64_t number = 0;         // VT_I2, VT_I4, VT_I8, VT_BOOL, VT_UI4, VT_R8
  IUnknown* object = nullptr; // VT_UNKNOWN: one reference handed out per Get
  // VT_ARRAY | VT_UI1: the bytes, in a SAFEARRAY of this shape (its elements of type `element`, whatever
  // the VARIANT says).
  std::vector<uint8_t> bytes;
  LONG lowerBound = 0;
  UINT dimensions = 1;
  VARTYPE element = VT_UI1;
};

FakeValue Bstr(std::wstring text);
FakeValue I2(int16_t value);
FakeValue I4(int32_t value);
FakeValue I8(int64_t value);
FakeValue Bool(bool value);
FakeValue Null();
FakeValue Empty();
FakeValue UI4(uint32_t value);
FakeValue R8(double value);
FakeValue Unknown(IUnknown* object);
FakeValue ByteArray(std::vector<uint8_t> bytes, LONG lowerBound = 0, UINT dimensions = 1, VARTYPE element = VT_UI1);

using FakeInstance = std::vector<std::pair<std::wstring, FakeValue>>;

// Where a fake stops answering until Release() (a WMI that hangs).
enum class Hang { kNone, kConnectServer, kExecQuery, kNext, kGet };
// When Next gives up with WBEM_S_TIMEDOUT and no object: at once, just after the timeout it was given ran out,
// or long after it.
enum class TimedOut { kNever, kAtOnce, kJustAfter, kLongAfter };

struct Script {
  HRESULT create = S_OK; // the class object's CreateInstance
  HRESULT connect = S_OK;
  bool connectGivesServices = true;
  HRESULT blanket = S_OK; // IClientSecurity::SetBlanket
  HRESULT exec = S_OK;
  bool execGivesEnumerator = true;
  std::vector<FakeInstance> instances;
  HRESULT nextWithObject = S_OK; // what Next returns together with an object
  size_t failNextAt = SIZE_MAX;  // Next for this instance index fails...
  HRESULT nextFailure = WBEM_E_FAILED;
  Hang hang = Hang::kNone;
  size_t hangAtNext = 0; // with Hang::kNext: the Next call (0 = the first) that hangs
  TimedOut nextTimesOut = TimedOut::kNever;
};

// One Release of a fake object: on which thread, and whether that thread was still in COM's multithreaded
// apartment then.
struct ReleaseSite {
  std::wstring object;
  DWORD thread = 0;
  bool inApartment = false;
};

struct Record {
  std::vector<std::wstring> log; // calls and object ends, in order: "ExecQuery", "Next", "~Object1", ...
  int live = 0;                  // fake objects alive (locator, services, enumerators, instances)
  int connectCalls = 0;
  std::wstring resource;
  bool resourceIsBstr = false, connectRestNull = false;
  LONG securityFlags = -1;
  int blanketCalls = 0;
  DWORD authn = 0, authz = 0, level = 0, impersonation = 0, capabilities = 0;
  bool principalNull = false, identityNull = false;
  std::wstring language, query;
  bool languageIsBstr = false, queryIsBstr = false, execContextNull = false;
  LONG execFlags = -1;
  std::vector<LONG> nextTimeouts;
  std::vector<ULONG> nextCounts;
  std::vector<std::wstring> getNames;
  bool getNamesAreBstrs = true, getAskedTypeOrFlavor = false;
  LONG getFlags = 0;
  DWORD creatorThread = 0; // where the locator was made
  std::vector<ReleaseSite> releases;
  LONG nextTimedOut = 0; // a Next gave up with WBEM_S_TIMEDOUT
};

extern Script g_script;
extern Record g_record;

// A BSTR knows its length; a plain wide string does not.
bool IsBstr(const wchar_t* text);

// Serves the fakes for CLSID_WbemLocator in this process while it lives. The class object is registered in
// the multithreaded apartment, where CWmiData's worker asks for it (a registration counts only in its own
// apartment), from a thread that keeps that apartment alive. Its end lets a hung fake return first.
class Registration : private kcctest::NoCopy {
public:
  Registration();
  ~Registration();
  HRESULT Result() const { return m_hr; }

private:
  static DWORD WINAPI Serve(void* self);
  HANDLE m_registered = nullptr, m_stop = nullptr, m_thread = nullptr;
  HRESULT m_hr = E_FAIL;
};

// Lets every hung fake call return, and waits until the objects they held are gone.
void ReleaseHangs();

// A plain IUnknown that counts its references, for watching VARIANTs and COM pointers let go.
class CountingUnknown : public IUnknown {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++m_refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--m_refs); }
  LONG Refs() const { return m_refs; }

private:
  LONG m_refs = 1; // the test's own
};

} // namespace fakewmi

#endif
