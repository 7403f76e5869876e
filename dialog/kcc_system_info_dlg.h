// The main dialog: template 102 with the hardware list (1001) and the system list (1000).
#ifndef KCC_DIALOG_KCC_SYSTEM_INFO_DLG_H
#define KCC_DIALOG_KCC_SYSTEM_INFO_DLG_H

#include "framework/dialog.h"
#include "framework/handles.h"
#include "framework/text.h"
#include "sources/machine_info.h"
#include "wmi/wmi_data.h"

#include <cstdint>
#include <string>
#include <vector>

// Everything the lists show, gathered before either is filled.
struct SystemSummary {
  int walkStatus = 0;     // the collector's: where the table walk ended (the lists do not show it)
  TableSource tableSource = TableSource::kNone; // which table it walked
  bool processorFromWindows = false, speedFromWindows = false; // from Windows' registry, not the table
  bool connected = false; // WMI connected; without it the lists stay empty
  std::wstring processor, speed, memory, cache;
  std::wstring manufacturer, model, systemVersion, serialNumber, biosVersion, operatingSystem;
  bool hasOem = false;
  CStringArray oem;
};

// One row as a list shows it: the list's control id, the label and the value.
struct SummaryRow {
  int list;
  std::wstring label;
  std::wstring value;
};

// Who else sees the gathering: the table walk's calls, and WMI's failure messages instead of boxes.
struct GatherHooks {
  IDmiCallObserver* walkCalls = nullptr;
  CWmiData::MessageSink messages = nullptr;
  void* messagesContext = nullptr;
};

class CKCCSystemInfoDlg : public CDialog {
public:
  explicit CKCCSystemInfoDlg(CWnd* pParent = nullptr);
  ~CKCCSystemInfoDlg() override;

  // Display texts; they read and change no dialog state.
  void FormatSize(uint64_t kilobytes, std::wstring& text) const;
  std::wstring MakeOSName(const std::wstring& caption, const std::wstring& servicePack) const;
  std::wstring MakeMediaCenterName(const std::wstring& servicePack) const;
  // MakeOSName for a given version record and SM_MEDIACENTER metric.
  std::wstring MakeOSNameFor(const OSVERSIONINFOW& version, int mediaCenter, const std::wstring& caption,
                             const std::wstring& servicePack) const;
  // Appends the OEM manufacturer and model of oeminfo.ini; 0 only when memory runs out.
  int GetOemInfo(CStringArray& entries) const;

  // Reads the collector, the memory method, the kernel's memory status, WMI and oeminfo.ini, in that order.
  void GatherSummary(SystemSummary& summary, const GatherHooks& hooks = GatherHooks()) const;
  // The rows of both lists, list 1001 first, with their labels loaded; none when WMI did not connect.
  static std::vector<SummaryRow> SummaryRows(const SystemSummary& summary);

  // Runs the dialog with Ctrl+C copying the summary, from whichever control has the focus.
  INT_PTR DoModal() override;
  // Both lists' rows as Unicode text on the clipboard: one row a line, label and value separated by a tab,
  // list 1001 first. False when the clipboard could not be had, or when there is no row (it is left alone).
  bool CopySummary() const;
  std::wstring SummaryText() const;

  // Where a minimised dialog draws its icon.
  static POINT IconPosition(const RECT& client, int iconWidth, int iconHeight);

  HICON m_hIcon;
  CButton m_btnOk;
  CListCtrl m_listSystem;
  CListCtrl m_listHardware;
  CButton m_btn1002;
  CButton m_btn1003;

protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;

  void OnSysCommand(UINT nID, LPARAM lParam);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnBnClickedOk();
  void OnItemChangedSystemList(NMHDR* pNMHDR, LRESULT* pResult);
  void OnItemChangedHardwareList(NMHDR* pNMHDR, LRESULT* pResult);
  void OnContextMenu(HWND window, POINT point);
  void OnDpiChanged(UINT dpi, const RECT& suggested);

  DECLARE_MESSAGE_MAP()

private:
  static void ClearSelection(CListCtrl& list);
  // A third of the hardware list's width for the labels, the rest for the values, in both lists.
  void SizeColumns();
  // The window's icons drawn for `dpi`, in place of those it had.
  void SetIconsForDpi(UINT dpi);

  UniqueIcon m_iconBig;   // set for a DPI the dialog moved to; until then the window shows m_hIcon
  UniqueIcon m_iconSmall;
};

#endif
