// dlgread: waits for the running program's dialog, answers its message boxes, prints its lists.
#include "framework/handles.h"
#include "framework/module.h"
#include "tools/dlgread/dialog_reader.h"
#include "capture/summary_lines.h"

#include "res/resource.h"

#include <commctrl.h>
#include <oleacc.h>

#include <cwchar>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kOk = 0;
constexpr int kNotFound = 1;
constexpr int kUsage = 2;
constexpr DWORD kDefaultWaitMs = 30000;
constexpr DWORD kDefaultCloseMs = 5000;

const wchar_t kUsageText[] =
    L"usage: dlgread.exe [--pid N] COMMAND ...\n"
    L"  wait [--any] [--icons] CAPTION [TIMEOUT_MS]  wait until the dialog is visible, answering and\n"
    L"                                     printing each message box on the way (default 30000 ms)\n"
    L"  lists CAPTION                      rows of list 1001, then of list 1000\n"
    L"  replay CAPTION                     columns and rows of list 1001, then of list 1000\n"
    L"  window CAPTION                     handle, process, rectangles and state of the dialog\n"
    L"  controls CAPTION                   the dialog's child controls\n"
    L"  access CAPTION                     each list as a screen reader meets it: name (of its client object,\n"
    L"                                     through oleacc) and its group's caption; focus: focused row (-1:\n"
    L"                                     none), selected rows, keyboard (it has the focus) or -, and the\n"
    L"                                     accessible focus (a child id, none, or unsupported)\n"
    L"  copy [--menu] CAPTION              copy the summary with Ctrl+C (or the lists' context menu) and\n"
    L"                                     print the clipboard's text, a line a row: copied, label, value\n"
    L"  fit CAPTION SATELLITE              each text of the dialog and of the other dialogs of its process\n"
    L"                                     (an open About box) in the font of the satellite's templates:\n"
    L"                                     the room it needs and has, ok or cut\n"
    L"  close CAPTION [TIMEOUT_MS]         post WM_CLOSE and wait until the window is gone\n"
    L"  click CAPTION ID                   post a click of control ID (WM_COMMAND, BN_CLICKED)\n"
    L"  sysmenu CAPTION ID                 post WM_SYSCOMMAND ID\n"
    L"  string FILE ID                     string resource ID of a module (a satellite)\n"
    L"  satellite FOLDER                   the satellite KCCSystemInfo.exe in FOLDER loads for this user's UI\n"
    L"                                     language (the program's own rule), as a path\n"
    L"  hold reset | hold TIMEOUT_MS       the boardinfo driver's test hold (HoldRequest): forget a hold that\n"
    L"                                     began, or wait until the next one begins\n"
    L"Output is UTF-8, one item a line, fields separated by tabs; tab, line feed and carriage return\n"
    L"inside a text are written as \\t, \\n and \\r. Exit status: 0 done, 1 not found or time-out, 2 usage.\n";

void Out(const std::wstring& line) { dlgread::WriteText(::GetStdHandle(STD_OUTPUT_HANDLE), line); }
void Err(const std::wstring& line) { dlgread::WriteText(::GetStdHandle(STD_ERROR_HANDLE), line); }

int Usage() {
  Err(kUsageText);
  return kUsage;
}

bool ParseNumber(const std::wstring& text, unsigned long& value) {
  if (text.empty() || text[0] == L'-' || text[0] == L'+') return false;
  wchar_t* end = nullptr;
  value = std::wcstoul(text.c_str(), &end, 0);
  return end && *end == L'\0';
}

std::wstring Number(long long value) {
  wchar_t buffer[32];
  std::swprintf(buffer, 32, L"%lld", value);
  return buffer;
}

std::wstring Hex(ULONG_PTR value) {
  wchar_t buffer[32];
  std::swprintf(buffer, 32, L"0x%08lx", static_cast<unsigned long>(value));
  return buffer;
}

std::wstring Quoted(const std::wstring& caption) { return L"\"" + summary::EscapeField(caption) + L"\""; }

struct Options {
  DWORD pid = dlgread::kAnyProcess;
  bool any = false;
  bool icons = false;
  bool menu = false;
  std::vector<std::wstring> arguments;
};

void PrintBox(const dlgread::Box& box, bool icons) {
  std::wstring line = summary::BoxLine(box.caption, box.text);
  if (icons) line += box.icon ? L"\ticon" : L"\tnoicon";
  Out(line + L"\n");
}

int Wait(const Options& options, const std::wstring& caption, DWORD timeoutMs) {
  dlgread::BoxAnswerer answerer(options.pid);
  const ULONGLONG end = dlgread::NowMs() + timeoutMs;
  for (;;) {
    if (!options.any) {
      for (const dlgread::Box& box : answerer.Poll()) PrintBox(box, options.icons);
    }
    HWND dialog = options.any ? dlgread::FindDialog(caption, options.pid) : dlgread::FindProgramDialog(caption, options.pid);
    if (dialog && ::IsWindowVisible(dialog)) return kOk;
    if (dlgread::NowMs() >= end) break;
    ::Sleep(2);
  }
  Err(L"dlgread: dialog " + Quoted(caption) + L" not visible within " + Number(timeoutMs) + L" ms\n");
  return kNotFound;
}

HWND RequireProgramDialog(const Options& options, const std::wstring& caption) {
  HWND dialog = dlgread::FindProgramDialog(caption, options.pid);
  if (!dialog) Err(L"dlgread: no visible dialog " + Quoted(caption) + L" with list 1000 or 1001\n");
  return dialog;
}

HWND RequireDialog(const Options& options, const std::wstring& caption) {
  HWND dialog = dlgread::FindDialog(caption, options.pid);
  if (!dialog) Err(L"dlgread: no dialog " + Quoted(caption) + L"\n");
  return dialog;
}

// Reads list `id` of the dialog; a list the dialog does not have reads as absent (false, no error).
bool ReadList(HWND dialog, int id, dlgread::ListContent& content, bool& failed) {
  failed = false;
  HWND list = dlgread::ListControl(dialog, id);
  if (!list) return false;
  DWORD error = 0;
  if (!dlgread::ReadList(list, content, error)) {
    Err(L"dlgread: cannot read list " + Number(id) + L": error " + Number(error) + L"\n");
    failed = true;
    return false;
  }
  return true;
}

int Lists(const Options& options, const std::wstring& caption, bool replay) {
  HWND dialog = RequireProgramDialog(options, caption);
  if (!dialog) return kNotFound;
  // Both lists are read before anything is printed, so a failure prints no half answer.
  std::wstring text;
  for (int id : {dlgread::kHardwareList, dlgread::kSystemList}) {
    dlgread::ListContent content;
    bool failed = false;
    if (!ReadList(dialog, id, content, failed)) {
      if (failed) return kNotFound;
      continue;
    }
    const std::wstring control = Number(id);
    if (replay) {
      for (size_t i = 0; i < content.columnWidths.size(); ++i)
        text += L"column\t" + control + L"\t" + Number(static_cast<long long>(i)) + L"\t" +
                Number(content.columnWidths[i]) + L"\n";
      if (content.columnWidths.empty()) continue;
    }
    for (size_t row = 0; row < content.rows.size(); ++row)
      text += std::wstring(replay ? L"row\t" : L"") +
              summary::RowLine(id, row, content.rows[row].first, content.rows[row].second) + L"\n";
  }
  Out(text);
  return kOk;
}

int Window(const Options& options, const std::wstring& caption) {
  HWND dialog = RequireDialog(options, caption);
  if (!dialog) return kNotFound;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(dialog, &pid);
  RECT window{};
  RECT client{};
  ::GetWindowRect(dialog, &window);
  ::GetClientRect(dialog, &client);
  const wchar_t* placement = ::IsIconic(dialog) ? L"minimized" : ::IsZoomed(dialog) ? L"maximized" : L"normal";
  Out(L"window\t" + Hex(reinterpret_cast<ULONG_PTR>(dialog)) + L"\t" + Number(pid) + L"\n" + L"rect\t" +
      Number(window.left) + L"\t" + Number(window.top) + L"\t" + Number(window.right) + L"\t" + Number(window.bottom) +
      L"\n" + L"client\t" + Number(client.right - client.left) + L"\t" + Number(client.bottom - client.top) + L"\n" +
      L"state\t" + (::IsWindowVisible(dialog) ? L"visible" : L"hidden") + L"\t" + placement + L"\t" +
      (::IsWindowEnabled(dialog) ? L"enabled" : L"disabled") + L"\t" +
      (::GetForegroundWindow() == dialog ? L"foreground" : L"background") + L"\n");
  return kOk;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

int Controls(const Options& options, const std::wstring& caption) {
  HWND dialog = RequireDialog(options, caption);
  if (!dialog) return kNotFound;
  std::vector<HWND> children;
  ::EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&children));
  std::wstring text;
  for (HWND child : children) {
    text += L"control\t" + Number(::GetDlgCtrlID(child) & 0xFFFF) + L"\t" + summary::EscapeField(dlgread::ClassName(child)) +
            L"\t" + (::IsWindowVisible(child) ? L"visible" : L"hidden") + L"\t" +
            summary::EscapeField(dlgread::WindowText(child)) + L"\n";
  }
  Out(text);
  return kOk;
}

// The accessible focus of an object: the focused child's id (a list's row + 1; 0 is the object itself), "object"
// for a child with an object of its own, "none", or "unsupported" where oleacc does not say.
std::wstring AccessibleFocus(IAccessible* accessible) {
  VARIANT focus;
  ::VariantInit(&focus);
  if (accessible->get_accFocus(&focus) != S_OK) return L"unsupported";
  std::wstring text = focus.vt == VT_I4 ? Number(focus.lVal) : focus.vt == VT_DISPATCH ? L"object" : L"none";
  ::VariantClear(&focus);
  return text;
}

// What a screen reader meets of each list, read from this process as one reads it: the name oleacc gives the
// list's client object, the rows the list has focused and selected, and oleacc's accessible focus.
int Access(const Options& options, const std::wstring& caption) {
  HWND dialog = RequireProgramDialog(options, caption);
  if (!dialog) return kNotFound;
  GUITHREADINFO thread{};
  thread.cbSize = sizeof(thread);
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &thread);
  if (FAILED(::CoInitialize(nullptr))) {
    Err(L"dlgread: COM did not start\n");
    return kNotFound;
  }
  std::wstring text;
  int status = kOk;
  for (const auto& pair : {std::make_pair(dlgread::kHardwareList, IDC_GROUP_HARDWARE),
                           std::make_pair(dlgread::kSystemList, IDC_GROUP_SYSTEM)}) {
    HWND list = dlgread::ListControl(dialog, pair.first);
    if (!list) continue;
    IAccessible* accessible = nullptr;
    // __uuidof, not IID_IAccessible: the x86-64 import library takes oleacc's data export of that name for a
    // function and hands over the address of its thunk.
    const HRESULT made = ::AccessibleObjectFromWindow(list, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                      reinterpret_cast<void**>(&accessible));
    if (FAILED(made) || !accessible) {
      Err(L"dlgread: no accessible object for list " + Number(pair.first) + L": " + Hex(static_cast<ULONG>(made)) +
          L"\n");
      status = kNotFound;
      break;
    }
    VARIANT self;
    ::VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    accessible->get_accName(self, &name);
    const std::wstring focus = AccessibleFocus(accessible);
    accessible->Release();
    DWORD_PTR focused = static_cast<DWORD_PTR>(-1);
    DWORD_PTR selected = 0;
    ::SendMessageTimeoutW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED, SMTO_ABORTIFHUNG, 5000,
                          &focused);
    ::SendMessageTimeoutW(list, LVM_GETSELECTEDCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &selected);
    const std::wstring id = Number(pair.first);
    text += L"name\t" + id + L"\t" + summary::EscapeField(name ? std::wstring(name, ::SysStringLen(name)) : L"") +
            L"\t" + summary::EscapeField(dlgread::WindowText(::GetDlgItem(dialog, pair.second))) + L"\n";
    text += L"focus\t" + id + L"\t" + Number(static_cast<int>(focused)) + L"\t" + Number(static_cast<long long>(selected)) +
            L"\t" + (thread.hwndFocus == list ? L"keyboard" : L"-") + L"\t" + focus + L"\n";
    ::SysFreeString(name);
  }
  ::CoUninitialize();
  if (status == kOk) Out(text);
  return status;
}

int Close(const Options& options, const std::wstring& caption, DWORD timeoutMs) {
  HWND dialog = RequireDialog(options, caption);
  if (!dialog) return kNotFound;
  if (!::PostMessageW(dialog, WM_CLOSE, 0, 0)) {
    Err(L"dlgread: cannot post WM_CLOSE: error " + Number(::GetLastError()) + L"\n");
    return kNotFound;
  }
  const ULONGLONG end = dlgread::NowMs() + timeoutMs;
  while (::IsWindow(dialog)) {
    if (dlgread::NowMs() >= end) {
      Err(L"dlgread: dialog " + Quoted(caption) + L" still open after " + Number(timeoutMs) + L" ms\n");
      return kNotFound;
    }
    ::Sleep(2);
  }
  return kOk;
}

int Post(const Options& options, const std::wstring& caption, UINT message, unsigned long id) {
  HWND dialog = RequireDialog(options, caption);
  if (!dialog) return kNotFound;
  BOOL posted = FALSE;
  if (message == WM_COMMAND) {
    HWND control = ::GetDlgItem(dialog, static_cast<int>(id));
    posted = ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
  } else {
    posted = ::PostMessageW(dialog, message, id, 0);
  }
  if (!posted) {
    Err(L"dlgread: cannot post the message: error " + Number(::GetLastError()) + L"\n");
    return kNotFound;
  }
  return kOk;
}

// Loaded as data only: a satellite has no code, and nothing of the module may run here.
// Keys as the keyboard gives them, to the window that has the focus.
void PressKeys(std::initializer_list<std::pair<WORD, bool>> keys) {
  std::vector<INPUT> inputs;
  for (const auto& key : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key.first;
    input.ki.dwFlags = key.second ? 0 : KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

int Copy(const Options& options, const std::wstring& caption) {
  HWND dialog = RequireProgramDialog(options, caption);
  if (!dialog) return kNotFound;
  const DWORD before = ::GetClipboardSequenceNumber();
  ::SetForegroundWindow(dialog);
  if (options.menu) {
    // The context menu of list 1001 as the menu key opens it, then its one entry.
    ::PostMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(::GetDlgItem(dialog, dlgread::kHardwareList)),
                   MAKELPARAM(-1, -1));
    ::Sleep(300);
    PressKeys({{VK_DOWN, true}, {VK_DOWN, false}, {VK_RETURN, true}, {VK_RETURN, false}});
  } else {
    PressKeys({{VK_CONTROL, true}, {'C', true}, {'C', false}, {VK_CONTROL, false}});
  }
  const ULONGLONG end = dlgread::NowMs() + 5000;
  while (::GetClipboardSequenceNumber() == before && dlgread::NowMs() < end) ::Sleep(10);
  if (::GetClipboardSequenceNumber() == before || !::OpenClipboard(nullptr)) {
    Err(L"dlgread: nothing was copied\n");
    return kNotFound;
  }
  std::wstring text;
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    if (const wchar_t* locked = static_cast<const wchar_t*>(::GlobalLock(data))) {
      text = locked;
      ::GlobalUnlock(data);
    }
  }
  ::CloseClipboard();
  std::wstring out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = text.substr(start, end - start);
    const size_t tab = line.find(L'\t');
    out += L"copied\t" + summary::EscapeField(line.substr(0, tab)) + L"\t" +
           (tab == std::wstring::npos ? L"" : summary::EscapeField(line.substr(tab + 1))) + L"\n";
    start = end + 2;
  }
  Out(out);
  return kOk;
}

// The program's dialog first, then the other visible dialogs of its process.
int Fit(const Options& options, const std::wstring& caption, const std::wstring& satellite) {
  HWND main = RequireProgramDialog(options, caption);
  if (!main) return kNotFound;
  const std::wstring path = dlgread::WindowsPath(satellite);
  UniqueModule module(
      ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  HFONT font = module.Get() ? dlgread::CreateTemplateFont(module.Get(), IDD_KCCSYSTEMINFO_DIALOG) : nullptr;
  if (!font) {
    Err(L"dlgread: no dialog font in " + path + L": error " + Number(::GetLastError()) + L"\n");
    return kNotFound;
  }
  DWORD pid = 0;
  ::GetWindowThreadProcessId(main, &pid);
  std::vector<HWND> dialogs{main};
  for (HWND other : dlgread::TopLevelDialogs(pid)) {
    if (other != main && ::IsWindowVisible(other)) dialogs.push_back(other);
  }
  std::wstring text;
  for (HWND dialog : dialogs) {
    std::vector<dlgread::TextFit> fits;
    DWORD error = 0;
    if (!dlgread::MeasureTexts(dialog, font, fits, error)) {
      Err(L"dlgread: cannot measure " + Quoted(dlgread::WindowText(dialog)) + L": error " + Number(error) + L"\n");
      ::DeleteObject(font);
      return kNotFound;
    }
    text += L"dialog\t" + summary::EscapeField(dlgread::WindowText(dialog)) + L"\n";
    for (const dlgread::TextFit& fit : fits) {
      text += L"fit\t" + Number(fit.control) + L"\t" + Number(fit.row) + L"\t" + Number(fit.column) + L"\t" +
              Number(fit.needed) + L"\t" + Number(fit.available) + L"\t" + (fit.needed <= fit.available ? L"ok" : L"cut") +
              L"\t" + summary::EscapeField(fit.text) + L"\n";
    }
  }
  ::DeleteObject(font);
  Out(text);
  return kOk;
}

int String(const std::wstring& file, unsigned long id) {
  const std::wstring path = dlgread::WindowsPath(file);
  UniqueModule module(
      ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!module.Get()) {
    Err(L"dlgread: cannot load " + path + L": error " + Number(::GetLastError()) + L"\n");
    return kNotFound;
  }
  const wchar_t* text = nullptr;
  // With no buffer, LoadStringW hands out the resource itself, which is not zero-terminated.
  const int length = ::LoadStringW(module.Get(), static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) {
    Err(L"dlgread: no string " + Number(id) + L" in " + path + L"\n");
    return kNotFound;
  }
  Out(summary::EscapeField(std::wstring(text, static_cast<size_t>(length))) + L"\n");
  return kOk;
}

// The program's own choice, made in this process: the same user and system UI languages, the same files.
int Satellite(const std::wstring& folder) {
  const std::wstring path = dlgread::WindowsPath(folder);
  const wchar_t* language = nullptr;
  UniqueModule module(LoadUserSatellite(path.c_str(), L"KCCSystemInfo", &language));
  if (!module.Get() || !language) {
    Err(L"dlgread: no satellite in " + path + L"\n");
    return kNotFound;
  }
  Out(path + L"\\KCCSystemInfo" + language + L".dll\n");
  return kOk;
}

// The driver sets its hold event as a held request begins; nobody may have waited for an earlier one.
int Hold(const std::wstring& what) {
  const wchar_t kEvent[] = L"Global\\boardinfo-hold";
  unsigned long ms = 0;
  if (what != L"reset" && !ParseNumber(what, ms)) return Usage();
  UniqueHandle event(::OpenEventW(what == L"reset" ? EVENT_MODIFY_STATE : SYNCHRONIZE, FALSE, kEvent));
  if (!event) {
    Err(L"dlgread: no driver hold to wait for: error " + Number(::GetLastError()) + L"\n");
    return kNotFound;
  }
  if (what == L"reset") return ::ResetEvent(event.Get()) ? kOk : kNotFound;
  if (::WaitForSingleObject(event.Get(), static_cast<DWORD>(ms)) == WAIT_OBJECT_0) return kOk;
  Err(L"dlgread: the driver held no request within " + Number(ms) + L" ms\n");
  return kNotFound;
}

int Run(int argc, wchar_t** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::wstring argument = argv[i];
    if (argument == L"--pid") {
      unsigned long pid = 0;
      if (i + 1 >= argc || !ParseNumber(argv[i + 1], pid) || pid == 0) return Usage();
      options.pid = static_cast<DWORD>(pid);
      ++i;
    } else if (argument == L"--any") {
      options.any = true;
    } else if (argument == L"--icons") {
      options.icons = true;
    } else if (argument == L"--menu") {
      options.menu = true;
    } else if (argument.size() > 2 && argument.compare(0, 2, L"--") == 0) {
      return Usage();
    } else {
      options.arguments.push_back(argument);
    }
  }
  const std::vector<std::wstring>& args = options.arguments;
  if (args.size() < 2) return Usage();
  const std::wstring& command = args[0];
  const std::wstring& caption = args[1];
  unsigned long number = 0;

  if (command == L"wait" && args.size() <= 3) {
    if (args.size() == 3 && !ParseNumber(args[2], number)) return Usage();
    return Wait(options, caption, args.size() == 3 ? static_cast<DWORD>(number) : kDefaultWaitMs);
  }
  if (command == L"close" && args.size() <= 3) {
    if (args.size() == 3 && !ParseNumber(args[2], number)) return Usage();
    return Close(options, caption, args.size() == 3 ? static_cast<DWORD>(number) : kDefaultCloseMs);
  }
  if (args.size() == 2) {
    if (command == L"lists") return Lists(options, caption, false);
    if (command == L"replay") return Lists(options, caption, true);
    if (command == L"window") return Window(options, caption);
    if (command == L"controls") return Controls(options, caption);
    if (command == L"access") return Access(options, caption);
    if (command == L"copy") return Copy(options, caption);
    if (command == L"satellite") return Satellite(caption);
    if (command == L"hold") return Hold(caption);
  }
  if (args.size() == 3 && ParseNumber(args[2], number)) {
    if (command == L"click") return Post(options, caption, WM_COMMAND, number);
    if (command == L"sysmenu") return Post(options, caption, WM_SYSCOMMAND, number);
    if (command == L"string") return String(caption, number);
  }
  if (args.size() == 3 && command == L"fit") return Fit(options, caption, args[2]);
  return Usage();
}

} // namespace

int wmain(int argc, wchar_t** argv) { return Run(argc, argv); }
