// The main dialog: window menu, icon, read-only lists, closing, and the display texts it builds.
#include "dialog/kcc_system_info_dlg.h"

#include "dialog/about_dlg.h"
#include "dialog/value_format.h"
#include "framework/module.h"
#include "framework/resource_strings.h"
#include "res/resource.h"

#include <commctrl.h>

#include <new>

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
  CDialog::OnInitDialog();

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

  FillInformation();
  return TRUE;
}

void CKCCSystemInfoDlg::FillInformation() {}

void CKCCSystemInfoDlg::OnSysCommand(UINT nID, LPARAM) {
  if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
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
  wchar_t path[261] = {};
  wchar_t manufacturer[261] = {};
  wchar_t model[261] = {};
  static const wchar_t kFile[] = L"\\oeminfo.ini";
  const UINT length = ::GetSystemDirectoryW(path, 261);
  // A directory too long for the buffer reads nothing: both entries stay empty.
  if (length > 0 && length + (sizeof(kFile) / sizeof(kFile[0])) <= 261) {
    ::lstrcatW(path, kFile);
    ::GetPrivateProfileStringW(L"General", L"Manufacturer", L"", manufacturer, 261, path);
    ::GetPrivateProfileStringW(L"General", L"Model", L"", model, 261, path);
  }
  try {
    entries.push_back(manufacturer);
    entries.push_back(model);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}
