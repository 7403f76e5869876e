// The application object: one of halt, haltAll, activate the running instance, or run the dialog.
#include "app/kcc_system_info_app.h"

#include "app/admin_check.h"
#include "app/command_line_info_custom.h"
#include "dialog/kcc_system_info_dlg.h"
#include "framework/resource_strings.h"
#include "framework/step_marks.h"
#include "res/resource.h"

#include <commctrl.h>

#include <string>

namespace {
// A start that lost the race for the instance mutex waits this long for the winner's window.
const DWORD kRunnerUpWaitMs = 1500;
}

// The framework's one global application object; its constructor names the program and the instance and opens
// the two shutdown events.
CKCCSystemInfoApp theApp; // NOLINT(cert-err58-cpp)

CKCCSystemInfoApp::CKCCSystemInfoApp() : m_observe(L"VarnelSystemInfoGUI") {}

CKCCSystemInfoApp::~CKCCSystemInfoApp() = default;

BEGIN_MESSAGE_MAP(CKCCSystemInfoApp, CWinApp)
END_MESSAGE_MAP()

BOOL CKCCSystemInfoApp::InitInstance() {
  ::InitCommonControls();
  CWinApp::InitInstance();
  AfxOleInit();
  StepMark("ole");
  SetRegistryKey(L"アプリケーション ウィザードで生成されたローカル アプリケーション");

  CCommandLineInfoCustom commandLine;
  ParseCommandLine(commandLine);

  if (commandLine.m_bHalt) {
    m_observe.ShutdownUser();
  } else if (commandLine.m_bHaltAll) {
    BOOL isAdministrator = FALSE;
    if (IsAdministrator(&isAdministrator) && isAdministrator) {
      m_observe.ShutdownAll();
    } else {
      AfxMessageBox(L"管理者権限が必要です", MB_OK | MB_ICONEXCLAMATION);
    }
  } else if (m_observe.IsRunning()) {
    ActivateRunningInstance(0);
  } else {
    m_observe.m_pEvent = this;
    const bool observing = m_observe.StartObserve();
    StepMark("observer");
    if (observing && !m_observe.OwnsUserMutex()) {
      // Another start of this user passed the same test at the same instant and owns the mutex.
      ActivateRunningInstance(kRunnerUpWaitMs);
    } else {
      CKCCSystemInfoDlg dialog(nullptr);
      m_pMainWnd = &dialog;
      dialog.DoModal();
    }
  }
  return FALSE;
}

void CKCCSystemInfoApp::ActivateRunningInstance(DWORD waitMilliseconds) {
  std::wstring title;
  LoadResourceString(IDS_APP_TITLE, title);
  const DWORD start = ::GetTickCount();
  for (;;) {
    HWND window = ::FindWindowW(MAKEINTATOM(0x8002), title.c_str());
    if (window) {
      ::SetForegroundWindow(window);
      return;
    }
    if (::GetTickCount() - start >= waitMilliseconds) return;
    ::Sleep(20);
  }
}

void CKCCSystemInfoApp::CloseMainWindow() {
  // A request before the dialog's window exists is kept for it (the watcher delivers only one).
  HWND window = GetMainWndHandleForClose();
  if (!::IsWindow(window)) return;
  // A modal box the shown dialog owns (the About box) runs its own message loop, in which the dialog's
  // close would wait for the user: close the box first. Before the dialog is shown, the close waits for
  // the initialisation to end, boxes included.
  HWND popup = ::IsWindowVisible(window) ? ::GetLastActivePopup(window) : nullptr;
  if (popup && popup != window) ::PostMessageW(popup, WM_CLOSE, 0, 0);
  ::PostMessageW(window, WM_CLOSE, 0, 0);
}

void CKCCSystemInfoApp::OnShutdownAll() { CloseMainWindow(); }

void CKCCSystemInfoApp::OnShutdownUser() { CloseMainWindow(); }
