// The About box and its version text.
#include "dialog/about_dlg.h"

#include "framework/resource_strings.h"
#include "framework/text.h"
#include "res/resource.h"
#include "res/version.h"

#include <memory>
#include <new>

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX, nullptr), m_strVersion(MakeVersionText(nullptr)) {}

CAboutDlg::~CAboutDlg() = default;

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
END_MESSAGE_MAP()

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDOK, m_btnOk);
  DDX_Text(pDX, IDC_VERSION, m_strVersion);
}

std::wstring CAboutDlg::MakeVersionText(HMODULE module) {
  std::wstring text;
  LoadResourceString(IDS_VERSION_PREFIX, text);
  text += WidenAnsi(KCC_VERSION_TEXT);

  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return text;
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path, &handle);
  if (size == 0) return text;
  std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[size + 1]());
  if (!block) return text;
  if (::GetFileVersionInfoW(path, 0, size + 1, block.get()) == 1) {
    wchar_t query[64];
    ::wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\ProductVersion", 0x0409, 0);
    void* value = nullptr;
    UINT valueLength = 0;
    if (::VerQueryValueW(block.get(), query, &value, &valueLength) == 1 && value)
      text += static_cast<const wchar_t*>(value);
  }
  return text;
}
