// The application class and the program's entry point.
#include "framework/win_app.h"

#include "framework/command_line_info.h"

#include <ole2.h>

namespace {
CWinApp* g_app = nullptr;

std::wstring ExeStem() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring stem(path, length);
  const size_t slash = stem.find_last_of(L"\\/");
  if (slash != std::wstring::npos) stem.erase(0, slash + 1);
  const size_t dot = stem.find_last_of(L'.');
  if (dot != std::wstring::npos) stem.erase(dot);
  return stem;
}
} // namespace

CWinApp* AfxGetApp() { return g_app; }

CWinApp::CWinApp(const wchar_t* appName) {
  m_strAppName = appName ? appName : ExeStem();
  m_pszAppName = m_strAppName.c_str();
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

const AFX_MSGMAP* CWinApp::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
  static const AFX_MSGMAP map = {nullptr, entries};
  return &map;
}

const AFX_MSGMAP* CWinApp::GetMessageMap() const { return GetThisMessageMap(); }

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

BOOL CWinApp::AfxOleInit() {
  const HRESULT hr = ::OleInitialize(nullptr);
  if (SUCCEEDED(hr)) m_bOleInitialized = true;
  return SUCCEEDED(hr);
}

void CWinApp::TerminateOle() {
  if (m_bOleInitialized) {
    m_bOleInitialized = false;
    ::OleUninitialize();
  }
}

void CWinApp::SetRegistryKey(const wchar_t* key) {
  // Named only: the program keeps no settings of its own there.
  m_strRegistryKey = key ? key : L"";
  m_pszRegistryKey = m_strRegistryKey.c_str();
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) { ParseCommandLineInto(::GetCommandLineW(), info); }

int CWinApp::DoMessageBox(const wchar_t* text, UINT type, UINT) {
  return ::MessageBoxW(GetMainWndHandle(), text, m_pszAppName, type);
}

// The request's side and the window's each write first and read the other's after: one of them sees both.
HWND CWinApp::GetMainWndHandleForClose() {
  if (HWND window = m_hMainWnd.load()) return window;
  m_closeRequested.store(true);
  return m_hMainWnd.load();
}

void CWinApp::OnWindowCreated(CWnd* wnd) {
  if (wnd != m_pMainWnd) return;
  m_hMainWnd.store(wnd->m_hWnd);
  // A close that came before the window closes it once its initialisation is over.
  if (m_closeRequested.exchange(false)) ::PostMessageW(wnd->m_hWnd, WM_CLOSE, 0, 0);
}

void CWinApp::OnWindowDestroyed(CWnd* wnd) {
  if (wnd == m_pMainWnd) {
    m_hMainWnd.store(nullptr);
    m_pMainWnd = nullptr;
  }
}

int AfxMessageBox(const wchar_t* text, UINT type, UINT helpId) {
  CWinApp* app = AfxGetApp();
  return app ? app->DoMessageBox(text, type, helpId) : ::MessageBoxW(nullptr, text, L"", type);
}

// The entry point constructs nothing itself: the global application object already exists.
int AfxWinMain() {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  const int code = app->InitInstance() ? 0 : app->ExitInstance();
  app->TerminateOle();
  return code;
}
