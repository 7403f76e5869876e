// Window wrappers: message-map dispatch and the list-view control.
#include "framework/wnd.h"

#include <commctrl.h>

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
  static const AFX_MSGMAP map = {nullptr, entries};
  return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

namespace {
bool Matches(const AFX_MSGMAP_ENTRY& entry, UINT message, WPARAM wParam, LPARAM lParam) {
  if (entry.nMessage != message) return false;
  if (message == WM_COMMAND) return entry.nCode == HIWORD(wParam) && entry.nID == LOWORD(wParam);
  if (message == WM_NOTIFY) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    return header && entry.nCode == header->code && entry.nID == header->idFrom;
  }
  return true;
}
} // namespace

bool CWnd::DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfnThunk; ++entry) {
      if (Matches(*entry, message, wParam, lParam)) return entry->pfnThunk(this, wParam, lParam, result);
    }
  }
  return false;
}

int CListCtrl::InsertColumn(int column, const wchar_t* heading, int format, int width) {
  LVCOLUMNW lvc{};
  lvc.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  lvc.fmt = format;
  lvc.cx = width;
  lvc.pszText = const_cast<LPWSTR>(heading);
  lvc.iSubItem = column;
  return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&lvc)));
}

int CListCtrl::InsertItem(int item, const wchar_t* text) {
  LVITEMW lvi{};
  lvi.mask = LVIF_TEXT;
  lvi.iItem = item;
  lvi.pszText = const_cast<LPWSTR>(text);
  return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvi)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, const wchar_t* text) {
  LVITEMW lvi{};
  lvi.iSubItem = subItem;
  lvi.pszText = const_cast<LPWSTR>(text);
  return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lvi)));
}

std::wstring CListCtrl::GetItemText(int item, int subItem) const {
  // LVM_GETITEMTEXTW gives the length it copied: a text that fills the buffer may be longer.
  for (int capacity = 256;; capacity *= 4) {
    std::wstring text(static_cast<size_t>(capacity), L'\0');
    LVITEMW lvi{};
    lvi.iSubItem = subItem;
    lvi.pszText = &text[0];
    lvi.cchTextMax = capacity;
    const int length = static_cast<int>(SendMessage(LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lvi)));
    if (length < capacity - 1 || capacity >= (1 << 20)) {
      text.resize(static_cast<size_t>(length < 0 ? 0 : length));
      return text;
    }
  }
}

int CListCtrl::GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }

UINT CListCtrl::GetItemState(int item, UINT mask) const {
  return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, item, static_cast<LPARAM>(mask)));
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
  LVITEMW lvi{};
  lvi.stateMask = mask;
  lvi.state = state;
  return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&lvi)));
}

int CListCtrl::GetColumnWidth(int column) const { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, column)); }

BOOL CListCtrl::SetColumnWidth(int column, int width) {
  return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0)));
}
