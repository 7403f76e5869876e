// The main dialog: window menu, icons at every DPI, read-only named lists, closing, and the display texts it builds.
#include "dialog/kcc_system_info_dlg.h"

#include "dialog/about_dlg.h"
#include "dialog/value_format.h"
#include "framework/handles.h"
#include "framework/module.h"
#include "framework/resource_strings.h"
#include "framework/step_marks.h"
#include "res/resource.h"
#include "sources/machine_info.h"
#include "sources/machine_paths.h"
#include "sources/oem_info.h"
#include "sources/wow64.h"
#include "wmi/wmi_data.h"
#include "wmi/wmi_queries.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <cstring>
#include <new>
#include <utility>

namespace {
const wchar_t kMaker[] = L"Varnel Corporation";

// The firmware says the machine is one of the maker's own (case-sensitive, anywhere in the text).
bool IsMakerMachine(const CMachineInfo& info) { return info.m_strSysManufacturer.find(kMaker) != std::wstring::npos; }


// MemoryMethod as a DWORD, from the program's own registry view, else where that lacks it from the other one
// (a 64-bit driver package writes the 64-bit view); 0 when neither has it or it does not fit in four bytes.
DWORD ReadMemoryMethod() {
  DWORD method = 0;
  DWORD type = 0;
  DWORD size = sizeof(method);
  LONG read =
      static_cast<LONG>(::SHGetValueW(HKEY_LOCAL_MACHINE, kMemoryMethodKeyW, L"MemoryMethod", &type, &method, &size));
  if (read == ERROR_FILE_NOT_FOUND) {
    RegistryKey key;
    if (const REGSAM other = OtherRegistryView())
      read = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMemoryMethodKeyW, 0, KEY_QUERY_VALUE | other, key.Receive());
    size = sizeof(method);
    if (read == ERROR_SUCCESS)
      read = ::RegQueryValueExW(key.Get(), L"MemoryMethod", nullptr, &type, reinterpret_cast<BYTE*>(&method), &size);
  }
  return read == ERROR_SUCCESS ? method : 0;
}

// Sums a numeric property over every instance of the open query, 64-bit.
uint64_t SumOverInstances(CWmiData& wmi, const wchar_t* property) {
  uint64_t total = 0;
  uint64_t value = 0;
  if (wmi.GetNumber(property, value) == 1) total += value;
  while (wmi.GetNextNumber(property, value) == 1) total += value;
  return total;
}

// The width or height in pixels of a system metric (SM_CXICON, SM_CXSMICON) at `dpi`.
int MetricForDpi(int metric, UINT dpi) {
  using MetricsForDpi = int(WINAPI*)(int, UINT);
  // Windows 10 1607 on: looked up, so that the program still starts where user32 lacks it.
  static const MetricsForDpi forDpi = reinterpret_cast<MetricsForDpi>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
  if (forDpi) return forDpi(metric, dpi);
  // Without it, a metric is the system DPI's: scaled from there, not from 96, or it would be scaled twice.
  int systemDpi = 0;
  if (HDC screen = ::GetDC(nullptr)) {
    systemDpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
  }
  return ::MulDiv(::GetSystemMetrics(metric), static_cast<int>(dpi), systemDpi > 0 ? systemDpi : 96);
}

struct Row {
  int list;
  UINT label;
  const std::wstring* value;
};
} // namespace

CKCCSystemInfoDlg::CKCCSystemInfoDlg(CWnd* pParent)
    : CDialog(IDD_KCCSYSTEMINFO_DIALOG, pParent),
      m_hIcon(::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

CKCCSystemInfoDlg::~CKCCSystemInfoDlg() = default;

BEGIN_MESSAGE_MAP(CKCCSystemInfoDlg, CDialog)
  ON_WM_SYSCOMMAND()
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
  ON_BN_CLICKED(IDOK, &CKCCSystemInfoDlg::OnBnClickedOk)
  ON_NOTIFY(LVN_ITEMCHANGED, IDC_LIST_SYSTEM, &CKCCSystemInfoDlg::OnItemChangedSystemList)
  ON_NOTIFY(LVN_ITEMCHANGED, IDC_LIST_HARDWARE, &CKCCSystemInfoDlg::OnItemChangedHardwareList)
  ON_WM_CONTEXTMENU()
  ON_WM_DPICHANGED()
END_MESSAGE_MAP()

void CKCCSystemInfoDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDOK, m_btnOk);
  DDX_Control(pDX, IDC_LIST_SYSTEM, m_listSystem);
  DDX_Control(pDX, IDC_LIST_HARDWARE, m_listHardware);
  DDX_Control(pDX, IDC_GROUP_HARDWARE, m_btn1002);
  DDX_Control(pDX, IDC_GROUP_SYSTEM, m_btn1003);
}

BOOL CKCCSystemInfoDlg::OnInitDialog() {
  // A template without the bound controls has already ended the dialog.
  StepMark("dialog");
  if (!CDialog::OnInitDialog()) return FALSE;

  if (HMENU menu = GetSystemMenu(FALSE)) {
    std::wstring about;
    LoadResourceString(IDS_ABOUTBOX, about);
    if (!about.empty()) {
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
  }
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  StepMark("icons");
  // Screen readers name a list by its window text, which a list view does not show: its group's caption.
  for (const auto& named : {std::make_pair(&m_listHardware, &m_btn1002), std::make_pair(&m_listSystem, &m_btn1003)}) {
    wchar_t caption[256] = {};
    ::GetWindowTextW(named.second->m_hWnd, caption, 256);
    ::SetWindowTextW(named.first->m_hWnd, WithoutMnemonic(caption).c_str());
  }

  SystemSummary summary;
  GatherSummary(summary);
  StepMark("wmi released"); // WMI's objects released in the worker's apartment, and the worker ended
  if (!summary.connected) return FALSE;

  // Without redrawing while they fill, the lists lay themselves out once instead of at every row.
  for (CListCtrl* list : {&m_listHardware, &m_listSystem}) {
    list->SetRedraw(FALSE);
    list->InsertColumn(0, L"", LVCFMT_LEFT, 0);
    list->InsertColumn(1, L"", LVCFMT_LEFT, 0);
  }
  SizeColumns();
  for (const SummaryRow& row : SummaryRows(summary)) {
    CListCtrl& list = row.list == IDC_LIST_HARDWARE ? m_listHardware : m_listSystem;
    const int item = list.InsertItem(list.GetItemCount(), row.label.c_str());
    list.SetItemText(item, 1, row.value.c_str());
  }
  for (CListCtrl* list : {&m_listHardware, &m_listSystem}) {
    // A list that takes the keyboard focus reads its focused row out at once (a screen reader, with label and
    // value); the arrow keys walk on from there. Focused, never selected: no row is shown as chosen.
    if (list->GetItemCount() > 0) list->SetItemState(0, LVIS_FOCUSED, LVIS_FOCUSED);
    list->SetRedraw(TRUE);
  }
  StepMark("lists");
  return TRUE;
}

void CKCCSystemInfoDlg::GatherSummary(SystemSummary& summary, const GatherHooks& hooks) const {
  // One budget for all the WMI of a gathering: the raw table's (where that is read) and the five queries'.
  CallBudget wmiBudget(CWmiData::kBudgetMs);
  CWmiData wmi(&wmiBudget);
  wmi.SetMessageSink(hooks.messages, hooks.messagesContext);
  CMachineInfo info;
  summary.walkStatus = info.ReadMachineInfo(hooks.walkCalls, &wmiBudget);
  summary.tableSource = info.m_tableSource;
  summary.processorFromWindows = info.m_bCpuVersionFromWindows;
  summary.speedFromWindows = info.m_bCpuSpeedFromWindows;
  info.FormatTexts();
  StepMark("machine walk");

  if (IsMakerMachine(info)) summary.systemVersion = info.m_strSysVersion;
  const DWORD memoryMethod = ReadMemoryMethod();

  if (wmi.Connect() != 1) return;
  summary.connected = true;
  StepMark("wmi connect");

  if (memoryMethod == 1) {
    if (IsMakerMachine(info)) summary.memory = info.m_strMemory;
  } else if (memoryMethod == 2) {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    ::GlobalMemoryStatusEx(&status);
    FormatSize(RoundMemoryKilobytes(status.ullTotalPhys), summary.memory);
  } else {
    if (wmi.Query(QueryText(kMemoryQuery)) == 1)
      FormatSize(RoundMemoryKilobytes(SumOverInstances(wmi, kMemoryQuery.properties[0])), summary.memory);
    wmi.CloseQuery();
  }
  StepMark("memory query");

  summary.processor = info.m_strCpuVersion;
  summary.speed = info.m_strCpuSpeed;

  if (wmi.Query(QueryText(kCacheQuery)) == 1) {
    FormatSize(SumOverInstances(wmi, kCacheQuery.properties[0]), summary.cache);
    wmi.CloseQuery();
  }
  StepMark("cache query");
  if (wmi.Query(QueryText(kComputerSystemQuery)) == 1) {
    wmi.GetString(kComputerSystemQuery.properties[0], summary.manufacturer);
    wmi.GetString(kComputerSystemQuery.properties[1], summary.model);
    wmi.CloseQuery();
  }
  StepMark("computer query");
  if (wmi.Query(QueryText(kBiosQuery)) == 1) {
    wmi.GetString(kBiosQuery.properties[0], summary.serialNumber);
    wmi.GetString(kBiosQuery.properties[1], summary.biosVersion);
    wmi.CloseQuery();
  }
  StepMark("bios query");
  if (wmi.Query(QueryText(kOperatingSystemQuery)) == 1) {
    std::wstring caption, servicePack;
    wmi.GetString(kOperatingSystemQuery.properties[0], caption);
    wmi.GetString(kOperatingSystemQuery.properties[1], servicePack);
    summary.operatingSystem = MakeOSName(caption, servicePack);
  }
  wmi.Disconnect();
  StepMark("os query");

  summary.hasOem = GetOemInfo(summary.oem) == 1;
  StepMark("oeminfo");
}

std::vector<SummaryRow> CKCCSystemInfoDlg::SummaryRows(const SystemSummary& summary) {
  std::vector<SummaryRow> rows;
  if (!summary.connected) return rows;
  // One label text for every row: a missing string repeats the label loaded last.
  std::wstring label;
  const Row items[] = {{IDC_LIST_HARDWARE, IDS_PROCESSOR, &summary.processor},
                       {IDC_LIST_HARDWARE, IDS_PROCESSOR_SPEED, &summary.speed},
                       {IDC_LIST_HARDWARE, IDS_MEMORY, &summary.memory},
                       {IDC_LIST_HARDWARE, IDS_CACHE, &summary.cache},
                       {IDC_LIST_SYSTEM, IDS_MANUFACTURER, &summary.manufacturer},
                       {IDC_LIST_SYSTEM, IDS_MODEL, &summary.model},
                       {IDC_LIST_SYSTEM, IDS_SYSTEM_VERSION, &summary.systemVersion},
                       {IDC_LIST_SYSTEM, IDS_SERIAL_NUMBER, &summary.serialNumber},
                       {IDC_LIST_SYSTEM, IDS_BIOS_VERSION, &summary.biosVersion},
                       {IDC_LIST_SYSTEM, IDS_OPERATING_SYSTEM, &summary.operatingSystem}};
  for (const Row& item : items) {
    LoadResourceString(item.label, label);
    rows.push_back(SummaryRow{item.list, label, *item.value});
  }
  if (summary.hasOem) {
    // The first entry beside the OEM label, each further one on a row of its own with an empty label.
    LoadResourceString(IDS_OEM_INFORMATION, label);
    for (size_t k = 0; k < summary.oem.size(); ++k)
      rows.push_back(SummaryRow{IDC_LIST_SYSTEM, k == 0 ? label : std::wstring(), summary.oem[k]});
  }
  return rows;
}

void CKCCSystemInfoDlg::OnSysCommand(UINT nID, LPARAM) {
  if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
    // While the About box runs, this window is disabled: a command posted to it opens no second box.
    if (!::IsWindowEnabled(m_hWnd)) return;
    CAboutDlg about;
    about.DoModal();
  } else {
    Default();
  }
}

POINT CKCCSystemInfoDlg::IconPosition(const RECT& client, int iconWidth, int iconHeight) {
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  return POINT{(width - iconWidth + 1) / 2, (height - iconHeight + 1) / 2};
}

void CKCCSystemInfoDlg::OnPaint() {
  if (!IsIconic()) {
    Default();
    StepMark("first paint");
    return;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
  RECT client;
  GetClientRect(&client);
  const POINT at = IconPosition(client, ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
  dc.DrawIcon(at.x, at.y, m_hIcon);
}

HCURSOR CKCCSystemInfoDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CKCCSystemInfoDlg::OnBnClickedOk() { OnCancel(); }

void CKCCSystemInfoDlg::ClearSelection(CListCtrl& list) {
  // Clearing a selection notifies again; that nested pass finds nothing selected.
  for (int i = 0; i < list.GetItemCount(); ++i) {
    if (list.GetItemState(i, LVIS_SELECTED) & LVIS_SELECTED) list.SetItemState(i, 0, LVIS_SELECTED);
  }
}

void CKCCSystemInfoDlg::SizeColumns() {
  RECT client{};
  m_listHardware.GetClientRect(&client);
  const int valueWidth = 2 * client.right / 3;
  for (CListCtrl* list : {&m_listHardware, &m_listSystem}) {
    list->SetColumnWidth(0, client.right - valueWidth);
    list->SetColumnWidth(1, valueWidth);
  }
}

void CKCCSystemInfoDlg::SetIconsForDpi(UINT dpi) {
  for (const auto& kind : {std::make_pair(&m_iconBig, SM_CXICON), std::make_pair(&m_iconSmall, SM_CXSMICON)}) {
    const int size = MetricForDpi(kind.second, dpi);
    UniqueIcon icon(static_cast<HICON>(::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                    IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    if (!icon) continue; // the window keeps the icon it shows
    SetIcon(icon.Get(), kind.first == &m_iconBig);
    // The window shows the new icon now: the one it had before, if it was ours, can go.
    *kind.first = std::move(icon);
  }
}

void CKCCSystemInfoDlg::OnDpiChanged(UINT dpi, const RECT& suggested) {
  const RECT rect = suggested;
  // The dialog manager rescales the controls and their fonts itself (Windows 10 1703 on): first, so that the
  // columns follow the lists' new width. Nothing of that is scaled here again.
  DefaultNow();
  ::SetWindowPos(m_hWnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  SizeColumns();
  SetIconsForDpi(dpi);
}

void CKCCSystemInfoDlg::OnItemChangedSystemList(NMHDR*, LRESULT* pResult) {
  ClearSelection(m_listSystem);
  *pResult = 0;
}

void CKCCSystemInfoDlg::OnItemChangedHardwareList(NMHDR*, LRESULT* pResult) {
  ClearSelection(m_listHardware);
  *pResult = 0;
}

void CKCCSystemInfoDlg::FormatSize(uint64_t kilobytes, std::wstring& text) const { text = FormatSizeText(kilobytes); }

std::wstring CKCCSystemInfoDlg::MakeOSName(const std::wstring& caption, const std::wstring& servicePack) const {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  ::GetVersionExW(&version);
  return MakeOSNameFor(version, ::GetSystemMetrics(SM_MEDIACENTER), caption, servicePack);
}

std::wstring CKCCSystemInfoDlg::MakeOSNameFor(const OSVERSIONINFOW& version, int mediaCenter,
                                              const std::wstring& caption, const std::wstring& servicePack) const {
  if (IsMediaCenterEdition(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion, mediaCenter))
    return MakeMediaCenterName(servicePack);
  return JoinOsName(caption, servicePack);
}

std::wstring CKCCSystemInfoDlg::MakeMediaCenterName(const std::wstring& servicePack) const {
  std::wstring product;
  LoadResourceString(IDS_MEDIA_CENTER, product);
  return JoinMediaCenterName(product, servicePack);
}

int CKCCSystemInfoDlg::GetOemInfo(CStringArray& entries) const {
  wchar_t manufacturer[261] = {};
  wchar_t model[261] = {};
  ReadOemStrings(manufacturer, model, 261);
  try {
    entries.push_back(manufacturer);
    entries.push_back(model);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

namespace {
// The dialog whose Ctrl+C the message filter serves; one modal main dialog at a time.
const CKCCSystemInfoDlg* g_copyDialog = nullptr;

// Keys reach the focused control, not the dialog: the modal loop's message filter sees them first. Like the
// dialog procedure, the hook lets no exception unwind into user32.
LRESULT CALLBACK CopyShortcut(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* msg = reinterpret_cast<const MSG*>(lParam);
  if (code == MSGF_DIALOGBOX && g_copyDialog && msg && msg->message == WM_KEYDOWN && msg->wParam == 'C' &&
      (::GetKeyState(VK_CONTROL) & 0x8000) && !(::GetKeyState(VK_MENU) & 0x8000)) {
    const HWND dialog = g_copyDialog->GetSafeHwnd();
    if (dialog && (msg->hwnd == dialog || ::IsChild(dialog, msg->hwnd)))
      return AfxCallbackBarrier<LRESULT>([] { return g_copyDialog->CopySummary(), TRUE; }, TRUE);
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

INT_PTR CKCCSystemInfoDlg::DoModal() {
  UniqueHook hook(::SetWindowsHookExW(WH_MSGFILTER, &CopyShortcut, nullptr, ::GetCurrentThreadId()));
  const CKCCSystemInfoDlg* previous = std::exchange(g_copyDialog, this);
  StepMark("modal");
  const INT_PTR result = CDialog::DoModal();
  g_copyDialog = previous;
  return result;
}

std::wstring CKCCSystemInfoDlg::SummaryText() const {
  std::wstring text;
  for (const CListCtrl* list : {&m_listHardware, &m_listSystem}) {
    if (!list->GetSafeHwnd()) continue;
    const int rows = list->GetItemCount();
    for (int row = 0; row < rows; ++row)
      text += list->GetItemText(row, 0) + L'\t' + list->GetItemText(row, 1) + L"\r\n";
  }
  return text;
}

bool CKCCSystemInfoDlg::CopySummary() const {
  const std::wstring text = SummaryText();
  // Empty lists (WMI did not connect) have nothing to copy: the user's clipboard stays as it was.
  if (text.empty()) return false;
  const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
  GlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, bytes));
  if (!memory) return false;
  void* locked = ::GlobalLock(memory.Get());
  if (!locked) return false;
  std::memcpy(locked, text.c_str(), bytes);
  ::GlobalUnlock(memory.Get());
  if (!::OpenClipboard(m_hWnd)) return false;
  ::EmptyClipboard();
  // Once the clipboard holds it, the memory is the clipboard's.
  const bool placed = ::SetClipboardData(CF_UNICODETEXT, memory.Get()) != nullptr;
  if (placed) memory.Release();
  ::CloseClipboard();
  return placed;
}

void CKCCSystemInfoDlg::OnContextMenu(HWND window, POINT point) {
  // Everything else, the caption with its window menu above all, keeps the platform's menu.
  if (window != m_listHardware.GetSafeHwnd() && window != m_listSystem.GetSafeHwnd()) {
    Default();
    return;
  }
  std::wstring copy;
  if (!LoadResourceString(IDS_COPY, copy)) return;
  if (point.x == -1 && point.y == -1) { // Shift+F10 or the menu key: at the list's corner
    RECT rect;
    ::GetWindowRect(window, &rect);
    point = POINT{rect.left, rect.top};
  }
  UniqueMenu menu(::CreatePopupMenu());
  if (!menu || !::AppendMenuW(menu.Get(), MF_STRING, ID_EDIT_COPY, copy.c_str())) return;
  const UINT chosen = static_cast<UINT>(::TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                         point.x, point.y, 0, m_hWnd, nullptr));
  if (chosen == ID_EDIT_COPY) CopySummary();
}
