// The application class: the one global object whose InitInstance the entry point runs.
#ifndef KCC_FRAMEWORK_WIN_APP_H
#define KCC_FRAMEWORK_WIN_APP_H

#include "framework/wnd.h"

#include <windows.h>

#include <atomic>
#include <string>

class CCommandLineInfo;

class CWinApp {
public:
  // With no name, the application is named after the exe (its file name without extension).
  explicit CWinApp(const wchar_t* appName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance();
  virtual int ExitInstance();

  // OLE for the main thread; the framework terminates it in its exit processing.
  BOOL AfxOleInit();
  void SetRegistryKey(const wchar_t* key);
  void ParseCommandLine(CCommandLineInfo& info);
  int DoMessageBox(const wchar_t* text, UINT type, UINT helpId);

  // The main window's handle, safe to read from any thread; null before the window exists
  // and after it was destroyed.
  HWND GetMainWndHandle() const { return m_hMainWnd.load(); }
  // The same, for a close asked for from another thread: where there is no window yet, the request is kept
  // (null is returned) and the window is sent WM_CLOSE as soon as it is created.
  HWND GetMainWndHandleForClose();

  // Called by the framework's dialogs as their windows come and go.
  void OnWindowCreated(CWnd* wnd);
  void OnWindowDestroyed(CWnd* wnd);
  void TerminateOle();

  const wchar_t* m_pszAppName = nullptr;
  const wchar_t* m_pszRegistryKey = nullptr;
  CWnd* m_pMainWnd = nullptr;

protected:
  virtual const AFX_MSGMAP* GetMessageMap() const;
  static const AFX_MSGMAP* GetThisMessageMap();

private:
  std::wstring m_strAppName;
  std::wstring m_strRegistryKey;
  std::atomic<HWND> m_hMainWnd{nullptr};
  std::atomic<bool> m_closeRequested{false};
  bool m_bOleInitialized = false;
};

CWinApp* AfxGetApp();
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK, UINT helpId = 0);

#endif
