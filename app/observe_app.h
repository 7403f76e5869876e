// One running instance per user, and close requests between processes, through named kernel objects.
#ifndef KCC_APP_OBSERVE_APP_H
#define KCC_APP_OBSERVE_APP_H

#include <windows.h>

class CObserveApp {
public:
  // The sink of close requests; called on the watcher thread.
  class IObserveEvent {
  public:
    virtual void OnShutdownAll() = 0;
    virtual void OnShutdownUser() = 0;
  };

  explicit CObserveApp(const wchar_t* pszName);
  virtual ~CObserveApp();
  CObserveApp(const CObserveApp&) = delete;
  CObserveApp& operator=(const CObserveApp&) = delete;

  bool IsRunning();
  bool ShutdownUser();
  bool ShutdownAll();
  bool StartObserve();

  // Whether StartObserve's zero-time wait made this process the owner of the per-user mutex;
  // false means another instance of the user owns it (two starts at the same instant).
  bool OwnsUserMutex() const { return m_bOwnsUserMutex; }

  IObserveEvent* m_pEvent = nullptr;

protected:
  bool StartWatcher();
  bool StopWatcher();

private:
  static DWORD WINAPI WatcherThread(LPVOID parameter);
  HANDLE CreateOrOpenMutex(const wchar_t* format);
  HANDLE CreateOrOpenEvent(const wchar_t* format);

  HANDLE m_hMutexUser = nullptr;
  HANDLE m_hMutexAll = nullptr;
  HANDLE m_hEventUser = nullptr;
  HANDLE m_hEventAll = nullptr;
  HANDLE m_hEventStop = nullptr;
  HANDLE m_hThread = nullptr;
  wchar_t* m_pszName = nullptr;
  bool m_bOwnsUserMutex = false;
};

#endif
