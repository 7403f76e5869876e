// fakedlg: a stand-in for the program's dialog with known lists and message boxes, for the tools' tests.
//   fakedlg.exe [--caption TEXT] [--boxes 0|1|2] [--delay MS] [--fill-delay MS] [--long N] [--empty]
// --boxes shows the two WMI error boxes of the program while the dialog initialises (before it is
// visible); --fill-delay fills the lists that long after the dialog appears; --long N adds a row
// whose value is N characters; --empty leaves both lists without columns and rows. The exit status
// is the dialog's result (1 OK, 2 cancel or close).
#include "tests/tools/fakedlg.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

constexpr UINT_PTR kFillTimer = 1;

struct Settings {
  std::wstring caption;
  unsigned boxes = 0;
  unsigned delayMs = 0;
  unsigned fillDelayMs = 0;
  unsigned longValue = 0;
  bool empty = false;
};

Settings g_settings;

struct Row {
  const wchar_t* label;
  const wchar_t* value;
};

// The rows cover what the reader must carry through unchanged or escaped: runs of spaces, a
// leading space, an empty value, an empty label, Japanese, a surrogate pair, tab, LF, CR LF, backslash.
const Row kHardwareRows[] = {
    {L"Processor", L"Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz"},
    {L"Processor speed", L"3.00 GHz"},
    {L"Memory", L" 512 MBytes"},
    {L"Cache", L""},
};

const Row kSystemRows[] = {
    {L"Manufacturer", L"\u65e5\u672c\u96fb\u6c17\u682a\u5f0f\u4f1a\u793e"},
    {L"Model", L"Line one\nLine two"},
    {L"System version", L"tab\there"},
    {L"Serial number", L"back\\slash"},
    {L"", L"OEM model"},
    {L"Symbol", L"\U0001F600"},
    {L"Line ends", L"a\r\nb"},
};

void AddColumn(HWND list, int index, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = const_cast<LPWSTR>(L"");
  ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void AddRow(HWND list, const wchar_t* label, const wchar_t* value) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = const_cast<LPWSTR>(label);
  const int row = static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  LVITEMW cell{};
  cell.iSubItem = 1;
  cell.pszText = const_cast<LPWSTR>(value);
  ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
}

void FillLists(HWND dialog) {
  HWND hardware = ::GetDlgItem(dialog, IDC_FAKE_LIST_HARDWARE);
  HWND system = ::GetDlgItem(dialog, IDC_FAKE_LIST_SYSTEM);
  AddColumn(hardware, 0, 100);
  AddColumn(hardware, 1, 200);
  for (const Row& row : kHardwareRows) AddRow(hardware, row.label, row.value);
  AddColumn(system, 0, 120);
  AddColumn(system, 1, 240);
  for (const Row& row : kSystemRows) AddRow(system, row.label, row.value);
  if (g_settings.longValue > 0) {
    std::wstring value;
    for (unsigned i = 0; i < g_settings.longValue; ++i) value += static_cast<wchar_t>(L'a' + i % 26);
    AddRow(system, L"Long", value.c_str());
  }
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    ::EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK MainProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      if (!g_settings.caption.empty()) ::SetWindowTextW(dialog, g_settings.caption.c_str());
      // As in the program: the boxes come while the dialog initialises, without an owner window.
      if (g_settings.boxes >= 1)
        ::MessageBoxW(nullptr, L"WMI Open Error(IWbemServices.ExecQuery)\nSelect * From Win32_NoSuchClass", L"",
                      MB_OK);
      if (g_settings.boxes >= 2) {
        wchar_t caption[256];
        ::GetWindowTextW(dialog, caption, 256);
        ::MessageBoxW(nullptr, L"WMI Open Error(IEnumWbemClassObject.Next)\nSelect * From Win32_CacheMemory Where level = 4",
                      caption, MB_ICONERROR);
      }
      if (g_settings.empty) return TRUE;
      if (g_settings.fillDelayMs > 0)
        ::SetTimer(dialog, kFillTimer, g_settings.fillDelayMs, nullptr);
      else
        FillLists(dialog);
      return TRUE;
    case WM_TIMER:
      if (wParam == kFillTimer) {
        ::KillTimer(dialog, kFillTimer);
        FillLists(dialog);
        return TRUE;
      }
      return FALSE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == IDM_FAKE_ABOUT) {
        ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FAKE_ABOUT), dialog, AboutProc, 0);
        return TRUE;
      }
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

bool ParseSettings() {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv) return false;
  bool ok = true;
  for (int i = 1; i < argc && ok; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--empty") {
      g_settings.empty = true;
      continue;
    }
    if (i + 1 >= argc) {
      ok = false;
      break;
    }
    const wchar_t* value = argv[++i];
    const unsigned number = static_cast<unsigned>(std::wcstoul(value, nullptr, 10));
    if (option == L"--caption") g_settings.caption = value;
    else if (option == L"--boxes") g_settings.boxes = number;
    else if (option == L"--delay") g_settings.delayMs = number;
    else if (option == L"--fill-delay") g_settings.fillDelayMs = number;
    else if (option == L"--long") g_settings.longValue = number;
    else ok = false;
  }
  ::LocalFree(argv);
  return ok;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  if (!ParseSettings()) return 3;
  ::InitCommonControls();
  if (g_settings.delayMs > 0) ::Sleep(g_settings.delayMs);
  const INT_PTR result = ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_FAKE_MAIN), nullptr, MainProc, 0);
  return result == -1 ? 4 : static_cast<int>(result);
}
