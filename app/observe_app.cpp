// The instance observer: named mutexes and events with a DACL that keeps their DACL and owner fixed.
#include "app/observe_app.h"

#include <initializer_list>
#include <new>

namespace {
const wchar_t kMutexUser[] = L"%s-MutexUser";
const wchar_t kMutexAll[] = L"Global\\%s-MutexAll";
const wchar_t kEventUser[] = L"%s-Shutdown-User";
const wchar_t kEventAll[] = L"Global\\%s-Shutdown-All";

// The object's name: the instance name put into the format's single %s.
class ObjectName {
public:
  ObjectName(const wchar_t* format, const wchar_t* name) {
    if (!name) return;
    m_text = new (std::nothrow) wchar_t[::lstrlenW(name) + ::lstrlenW(format) + 1];
    if (m_text) ::wsprintfW(m_text, format, name);
  }
  ~ObjectName() { delete[] m_text; }
  ObjectName(const ObjectName&) = delete;
  ObjectName& operator=(const ObjectName&) = delete;
  const wchar_t* Get() const { return m_text; }

private:
  wchar_t* m_text = nullptr;
};

// Security attributes of the named objects: Everyone may do anything but change the DACL or owner.
class NamedObjectSecurity {
public:
  NamedObjectSecurity() {
    m_attributes.nLength = sizeof(m_attributes);
    m_attributes.bInheritHandle = FALSE;
    m_attributes.lpSecurityDescriptor = nullptr;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return;
    const DWORD size = 2 * ::GetLengthSid(everyone) + 32;
    PACL acl = static_cast<PACL>(::LocalAlloc(LPTR, size));
    bool built = acl && ::InitializeAcl(acl, size, ACL_REVISION) &&
                 ::AddAccessDeniedAce(acl, ACL_REVISION, WRITE_DAC | WRITE_OWNER, everyone) &&
                 ::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, everyone);
    ::FreeSid(everyone);
    built = built && ::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
            ::SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE);
    if (built) {
      m_attributes.lpSecurityDescriptor = &m_descriptor;
    } else if (acl) {
      // Without the descriptor the object gets default security.
      ::LocalFree(acl);
    }
  }
  ~NamedObjectSecurity() {
    if (!m_attributes.lpSecurityDescriptor) return;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    if (::GetSecurityDescriptorDacl(&m_descriptor, &present, &acl, &defaulted) && present && !defaulted && acl)
      ::LocalFree(acl);
  }
  NamedObjectSecurity(const NamedObjectSecurity&) = delete;
  NamedObjectSecurity& operator=(const NamedObjectSecurity&) = delete;
  SECURITY_ATTRIBUTES* Get() { return &m_attributes; }

private:
  SECURITY_DESCRIPTOR m_descriptor{};
  SECURITY_ATTRIBUTES m_attributes{};
};
} // namespace

CObserveApp::CObserveApp(const wchar_t* pszName) {
  if (!pszName) return;
  m_pszName = new (std::nothrow) wchar_t[::lstrlenW(pszName) + 1];
  if (!m_pszName) return;
  ::lstrcpyW(m_pszName, pszName);
  m_hEventUser = CreateOrOpenEvent(kEventUser);
  m_hEventAll = CreateOrOpenEvent(kEventAll);
}

CObserveApp::~CObserveApp() {
  StopWatcher();
  for (HANDLE* handle : {&m_hMutexUser, &m_hMutexAll, &m_hEventUser, &m_hEventAll}) {
    if (*handle) ::CloseHandle(*handle);
    *handle = nullptr;
  }
  delete[] m_pszName;
  m_pszName = nullptr;
}

HANDLE CObserveApp::CreateOrOpenMutex(const wchar_t* format) {
  ObjectName name(format, m_pszName);
  if (!name.Get()) return nullptr;
  NamedObjectSecurity security;
  HANDLE handle = ::CreateMutexW(security.Get(), FALSE, name.Get());
  // An existing object with this DACL refuses the full access that a create asks for.
  if (!handle) handle = ::OpenMutexW(SYNCHRONIZE, FALSE, name.Get());
  return handle;
}

HANDLE CObserveApp::CreateOrOpenEvent(const wchar_t* format) {
  ObjectName name(format, m_pszName);
  if (!name.Get()) return nullptr;
  NamedObjectSecurity security;
  HANDLE handle = ::CreateEventW(security.Get(), TRUE, FALSE, name.Get());
  if (!handle) handle = ::OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, name.Get());
  return handle;
}

bool CObserveApp::IsRunning() {
  ObjectName name(kMutexUser, m_pszName);
  if (!name.Get()) return false;
  HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, name.Get());
  if (!mutex) return false;
  ::CloseHandle(mutex);
  return true;
}

bool CObserveApp::ShutdownUser() { return m_hEventUser && ::SetEvent(m_hEventUser); }

bool CObserveApp::ShutdownAll() { return m_hEventAll && ::SetEvent(m_hEventAll); }

bool CObserveApp::StartObserve() {
  bool result = false;
  if (!m_hMutexUser) m_hMutexUser = CreateOrOpenMutex(kMutexUser);
  if (m_hMutexUser) {
    const DWORD wait = ::WaitForSingleObject(m_hMutexUser, 0);
    // An abandoned mutex is owned by the waiter that reports it.
    m_bOwnsUserMutex = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    result = true;
  }
  if (!m_hMutexAll) m_hMutexAll = CreateOrOpenMutex(kMutexAll);
  if (m_hMutexAll) ::WaitForSingleObject(m_hMutexAll, 0);
  StartWatcher();
  return result;
}

bool CObserveApp::StartWatcher() {
  StopWatcher();
  m_hEventStop = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  m_hThread = ::CreateThread(nullptr, 0, &CObserveApp::WatcherThread, this, 0, nullptr);
  return m_hThread != nullptr;
}

bool CObserveApp::StopWatcher() {
  bool result = true;
  if (m_hThread) {
    if (m_hEventStop) ::SetEvent(m_hEventStop);
    if (::WaitForSingleObject(m_hThread, 2000) == WAIT_TIMEOUT) {
      ::TerminateThread(m_hThread, 0);
      result = false;
    }
    ::CloseHandle(m_hThread);
    m_hThread = nullptr;
  }
  if (m_hEventStop) {
    ::CloseHandle(m_hEventStop);
    m_hEventStop = nullptr;
  }
  return result;
}

DWORD WINAPI CObserveApp::WatcherThread(LPVOID parameter) {
  CObserveApp* self = static_cast<CObserveApp*>(parameter);
  // The lowest position wins when several are signalled: stop, then all users, then this user.
  HANDLE handles[3] = {self->m_hEventStop, self->m_hEventAll, self->m_hEventUser};
  const DWORD wait = ::WaitForMultipleObjects(3, handles, FALSE, INFINITE);
  if (wait == WAIT_OBJECT_0 + 1) {
    if (self->m_pEvent) self->m_pEvent->OnShutdownAll();
  } else if (wait == WAIT_OBJECT_0 + 2) {
    if (self->m_pEvent) self->m_pEvent->OnShutdownUser();
  }
  return 0;
}
