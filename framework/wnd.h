// Window wrappers: CWnd and the static message map of (message, code, id, handler) entries.
#ifndef KCC_FRAMEWORK_WND_H
#define KCC_FRAMEWORK_WND_H

#include <windows.h>
#include <windowsx.h>

#include <string>

class CWnd;

// One entry of a message map. The thunk calls the handler with the signature of its kind and
// returns false when the handler asked for the default processing (CWnd::Default).
struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode; // notification code for WM_COMMAND and WM_NOTIFY, else 0
  UINT nID;   // control id for WM_COMMAND and WM_NOTIFY, else 0
  bool (*pfnThunk)(CWnd* target, WPARAM wParam, LPARAM lParam, LRESULT& result);
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                                                  \
protected:                                                                     \
  static const AFX_MSGMAP* GetThisMessageMap();                                \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                 \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                            \
    using ThisClass [[maybe_unused]] = theClass;                               \
    using TheBaseClass = baseClass;                                            \
    static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                      \
  {0, 0, 0, nullptr}};                                                         \
  static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries};   \
  return &map;                                                                 \
  }

// void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND()                                                     \
  {WM_SYSCOMMAND, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp, LRESULT& r) {        \
     r = 0; return w->CallHandler([&] { static_cast<ThisClass*>(w)->OnSysCommand(static_cast<UINT>(wp), lp); }); }},
// void OnPaint()
#define ON_WM_PAINT()                                                          \
  {WM_PAINT, 0, 0, [](CWnd* w, WPARAM, LPARAM, LRESULT& r) {                   \
     r = 0; return w->CallHandler([&] { static_cast<ThisClass*>(w)->OnPaint(); }); }},
// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON()                                                  \
  {WM_QUERYDRAGICON, 0, 0, [](CWnd* w, WPARAM, LPARAM, LRESULT& r) {           \
     return w->CallHandler([&] { r = reinterpret_cast<LRESULT>(static_cast<ThisClass*>(w)->OnQueryDragIcon()); }); }},
// void OnDpiChanged(UINT dpi, const RECT& suggested)  (the window's new DPI and the rectangle Windows suggests)
#define ON_WM_DPICHANGED()                                                     \
  {WM_DPICHANGED, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp, LRESULT& r) {        \
     r = 0; return w->CallHandler([&] { static_cast<ThisClass*>(w)->OnDpiChanged(LOWORD(wp), \
                                          *reinterpret_cast<const RECT*>(lp)); }); }},
// void OnContextMenu(HWND window, POINT point)  (point (-1, -1): from the keyboard)
#define ON_WM_CONTEXTMENU()                                                    \
  {WM_CONTEXTMENU, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp, LRESULT& r) {       \
     r = 0; return w->CallHandler([&] { static_cast<ThisClass*>(w)->OnContextMenu(reinterpret_cast<HWND>(wp), \
                                          POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); }); }},
// void OnCommand()  (WM_COMMAND of one control with one notification code)
#define ON_CONTROL(code, id, memberFxn)                                        \
  {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), [](CWnd* w, WPARAM, LPARAM, LRESULT& r) { \
     r = 0; return w->CallHandler([&] { (static_cast<ThisClass*>(w)->*(memberFxn))(); }); }},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_COMMAND(id, memberFxn) ON_CONTROL(0, id, memberFxn)
// void OnNotify(NMHDR* pNMHDR, LRESULT* pResult)
#define ON_NOTIFY(code, id, memberFxn)                                         \
  {WM_NOTIFY, static_cast<UINT>(code), static_cast<UINT>(id), [](CWnd* w, WPARAM, LPARAM lp, LRESULT& r) { \
     r = 0; return w->CallHandler([&] { (static_cast<ThisClass*>(w)->*(memberFxn))(reinterpret_cast<NMHDR*>(lp), &r); }); }},

class CWnd {
public:
  CWnd() = default;
  virtual ~CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND GetSafeHwnd() const { return m_hWnd; }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
  }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
  }
  void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  void SetRedraw(BOOL redraw = TRUE) { SendMessage(WM_SETREDRAW, redraw, 0); }
  HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
  HICON SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
  }

  // Runs a handler; false when the handler asked for the default processing.
  template <typename F>
  bool CallHandler(F&& handler) {
    const bool outer = m_bDefault;
    m_bDefault = false;
    handler();
    const bool handled = !m_bDefault;
    m_bDefault = outer;
    return handled;
  }

  // Finds the handler of a message in this class's map, then in its bases'.
  bool DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  HWND m_hWnd = nullptr;

protected:
  // Asks, from inside a handler, for the platform's default processing of the current message.
  void Default() { m_bDefault = true; }

  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;

private:
  bool m_bDefault = false;
};

class CButton : public CWnd {};

class CListCtrl : public CWnd {
public:
  int InsertColumn(int column, const wchar_t* heading, int format, int width);
  int InsertItem(int item, const wchar_t* text);
  BOOL SetItemText(int item, int subItem, const wchar_t* text);
  int GetItemCount() const;
  std::wstring GetItemText(int item, int subItem) const;
  UINT GetItemState(int item, UINT mask) const;
  BOOL SetItemState(int item, UINT state, UINT mask);
  int GetColumnWidth(int column) const;
  BOOL SetColumnWidth(int column, int width);
};

// BeginPaint and EndPaint around one WM_PAINT.
class CPaintDC {
public:
  explicit CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd), m_hDC(::BeginPaint(m_hWnd, &m_ps)) {}
  ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  HDC GetSafeHdc() const { return m_hDC; }
  BOOL DrawIcon(int x, int y, HICON icon) const { return ::DrawIcon(m_hDC, x, y, icon); }

private:
  HWND m_hWnd;
  PAINTSTRUCT m_ps{};
  HDC m_hDC;
};

#endif
