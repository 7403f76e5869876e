// Modal dialogs from a satellite template, with control binding and text exchange by control id.
#ifndef KCC_FRAMEWORK_DIALOG_H
#define KCC_FRAMEWORK_DIALOG_H

#include "framework/wnd.h"

#include <string>
#include <vector>

class CDialog;

// No exception may unwind through user32 from a dialog, window or hook procedure: as MFC does, an allocation
// failure is reported with "Out of memory." and any other exception with MFC's internal-failure text.
// Call from a catch block.
void AfxReportCallbackException();

// Runs a callback's body behind that barrier: its result, or `fallback` after the report.
template <typename R, typename F>
R AfxCallbackBarrier(F&& body, R fallback) {
  try {
    return body();
  } catch (...) {
    AfxReportCallbackException();
    return fallback;
  }
}

class CDataExchange {
public:
  CDataExchange(CDialog* dialog, bool saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
  CDialog* m_pDlgWnd;
  bool m_bSaveAndValidate;
  bool m_bFailed = false; // a control was missing; the rest of the exchange is skipped
};

// Binds control `id` of the dialog to `control`; a missing control fails the exchange.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// Puts `value` into control `id` (or reads it back when saving).
void DDX_Text(CDataExchange* pDX, int id, std::wstring& value);

class CDialog : public CWnd {
public:
  CDialog(UINT templateId, CWnd* parent);
  ~CDialog() override;

  // Runs the dialog modally from the resource module's template, owned by the parent or, without one, by
  // the main window (else the active window), which stays disabled meanwhile; -1 when it cannot be created.
  virtual INT_PTR DoModal();
  void EndDialog(INT_PTR result);
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

  // For the framework's binding: controls to detach when the window goes away.
  void AttachControl(CWnd& control, HWND hwnd);

protected:
  virtual void DoDataExchange(CDataExchange* pDX);
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();

  // From inside a handler: the dialog manager's own processing of the message being handled, run now instead
  // of after the handler (as MFC's Default() runs it), so that the handler can build on what it did.
  LRESULT DefaultNow();

  DECLARE_MESSAGE_MAP()

private:
  struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };

  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND ModalOwner() const;
  void OnDestroyed();

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;
  std::vector<CWnd*> m_boundControls;
  Message m_current{};      // the message the map is handling
  UINT m_defaultingNow = 0; // the message whose default processing DefaultNow runs: the map stays out of it
};

#endif
