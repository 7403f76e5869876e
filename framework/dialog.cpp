// Modal dialogs: the dialog procedure that feeds the message maps, binding and text exchange.
#include "framework/dialog.h"

#include "framework/module.h"
#include "framework/win_app.h"

#include <new>
#include <utility>

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (pDX->m_bFailed) return;
  HWND hwnd = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
  if (!hwnd) {
    pDX->m_bFailed = true;
    return;
  }
  if (control.m_hWnd != hwnd) pDX->m_pDlgWnd->AttachControl(control, hwnd);
}

void DDX_Text(CDataExchange* pDX, int id, std::wstring& value) {
  if (pDX->m_bFailed) return;
  HWND hwnd = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
  if (!hwnd) {
    pDX->m_bFailed = true;
    return;
  }
  if (!pDX->m_bSaveAndValidate) {
    ::SetWindowTextW(hwnd, value.c_str());
    return;
  }
  const int length = ::GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, &text[0], length + 1)));
  value = text;
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() = default;

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, &CDialog::OnOK)
  ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

// The owner of a modal dialog built with no parent, as MFC picks it: the application's main window, else
// the thread's active window; a child window's top-level ancestor, since a popup cannot be owned by a
// child. The modal loop disables the owner while it runs, so the owner takes no input meanwhile.
HWND CDialog::ModalOwner() const {
  HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  if (!owner) {
    CWinApp* app = AfxGetApp();
    owner = app ? app->GetMainWndHandle() : nullptr;
    if (!owner) owner = ::GetActiveWindow();
  }
  while (owner && (::GetWindowLongW(owner, GWL_STYLE) & WS_CHILD)) owner = ::GetParent(owner);
  return owner;
}

INT_PTR CDialog::DoModal() {
  return ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), ModalOwner(),
                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange exchange(this, saveAndValidate != FALSE);
  DoDataExchange(&exchange);
  return exchange.m_bFailed ? FALSE : TRUE;
}

void CDialog::AttachControl(CWnd& control, HWND hwnd) {
  control.m_hWnd = hwnd;
  m_boundControls.push_back(&control);
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog() {
  if (!UpdateData(FALSE)) {
    // A template without the bound controls cannot be used.
    EndDialog(-1);
    return FALSE;
  }
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialog::DefaultNow() {
  // The dialog manager asks the dialog procedure first: for this message, it declines.
  const UINT outer = std::exchange(m_defaultingNow, m_current.message);
  const LRESULT result = ::DefDlgProcW(m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
  m_defaultingNow = outer;
  return result;
}

void CDialog::OnDestroyed() {
  for (CWnd* control : m_boundControls) control->m_hWnd = nullptr;
  m_boundControls.clear();
  if (CWinApp* app = AfxGetApp()) app->OnWindowDestroyed(this);
  m_hWnd = nullptr;
}

void AfxReportCallbackException() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    AfxMessageBox(L"Out of memory.", MB_OK | MB_ICONEXCLAMATION);
  } catch (...) {
    AfxMessageBox(L"Internal application error.", MB_OK | MB_ICONEXCLAMATION);
  }
}

// The message then gets the result of a message the dialog did not handle.
INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return AfxCallbackBarrier<INT_PTR>([&] { return HandleMessage(hwnd, message, wParam, lParam); }, FALSE);
}

INT_PTR CDialog::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* dialog;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<CDialog*>(lParam);
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    dialog->m_hWnd = hwnd;
    if (CWinApp* app = AfxGetApp()) app->OnWindowCreated(dialog);
    return dialog->OnInitDialog();
  }
  dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!dialog) return FALSE;
  if (message == WM_NCDESTROY) {
    dialog->OnDestroyed();
    return FALSE;
  }
  if (message == dialog->m_defaultingNow && message != 0) return FALSE;
  LRESULT result = 0;
  // Kept for DefaultNow while the handler runs; a handler's exception passes this on its way out.
  struct CurrentMessage {
    CDialog& dialog;
    Message outer;
    ~CurrentMessage() { dialog.m_current = outer; }
  } current{*dialog, std::exchange(dialog->m_current, Message{message, wParam, lParam})};
  if (!dialog->DispatchMessageMap(message, wParam, lParam, result)) return FALSE;
  switch (message) {
  // These return their result directly; every other message through DWLP_MSGRESULT.
  case WM_QUERYDRAGICON:
  case WM_CTLCOLORDLG:
  case WM_CTLCOLORSTATIC:
  case WM_CTLCOLORBTN:
  case WM_CTLCOLOREDIT:
  case WM_CTLCOLORLISTBOX:
  case WM_CTLCOLORSCROLLBAR:
  case WM_COMPAREITEM:
  case WM_VKEYTOITEM:
  case WM_CHARTOITEM:
    return static_cast<INT_PTR>(result);
  default:
    ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
  }
}
