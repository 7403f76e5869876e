// Reads the program's dialog from another process: finding it, answering its message boxes, its lists.
#include "tools/dlgread/dialog_reader.h"

#include "framework/text.h"

#include <commctrl.h>

#include "framework/handles.h"

#include <memory>

namespace dlgread {
namespace {

constexpr UINT kMessageTimeoutMs = 5000;
constexpr int kBoxTextId = 0xFFFF;

// Memory committed in another process, released on every path.
class RemoteBlock {
public:
  RemoteBlock(HANDLE process, SIZE_T size)
      : m_process(process),
        m_address(::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
  ~RemoteBlock() {
    if (m_address) ::VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;
  char* Address() const { return static_cast<char*>(m_address); }

private:
  HANDLE m_process;
  void* m_address;
};

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  DWORD_PTR value = 0;
  if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &value))
    return false;
  result = static_cast<LRESULT>(value);
  return true;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  ::EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
  return children;
}

bool IsStatic(HWND window) { return ::lstrcmpiW(ClassName(window).c_str(), L"Static") == 0; }

bool IsIconStatic(HWND window) {
  return IsStatic(window) && (::GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// Reads one cell through the LVITEMW and text buffer kept in the target.
class RemoteListReader {
public:
  RemoteListReader(HWND list, HANDLE process) : m_list(list), m_process(process) {}

  bool Text(int row, int column, std::wstring& text, DWORD& error) {
    for (;;) {
      if (!m_block && !Allocate(error)) return false;
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = row;
      item.iSubItem = column;
      item.pszText = reinterpret_cast<LPWSTR>(m_block->Address() + sizeof(LVITEMW));
      item.cchTextMax = m_capacity;
      // The item and an empty text together, so that a cell the list cannot give reads as empty.
      struct {
        LVITEMW item;
        wchar_t empty;
      } request{item, L'\0'};
      if (!::WriteProcessMemory(m_process, m_block->Address(), &request, sizeof(LVITEMW) + sizeof(wchar_t),
                                nullptr)) {
        error = ::GetLastError();
        return false;
      }
      LRESULT length = 0;
      if (!Send(m_list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(m_block->Address()),
                length)) {
        error = ::GetLastError();
        return false;
      }
      if (length < 0) length = 0;
      // A text that filled the buffer may have been cut: read it again with a larger one.
      if (length >= m_capacity - 1 && m_capacity < kMaxCapacity) {
        m_capacity *= 8;
        m_block.reset();
        continue;
      }
      std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
      if (!::ReadProcessMemory(m_process, item.pszText, &buffer[0], buffer.size() * sizeof(wchar_t), nullptr)) {
        error = ::GetLastError();
        return false;
      }
      buffer.resize(::lstrlenW(buffer.c_str()));
      text = buffer;
      return true;
    }
  }

private:
  static constexpr int kMaxCapacity = 1 << 21;

  bool Allocate(DWORD& error) {
    m_block.reset(new RemoteBlock(m_process, sizeof(LVITEMW) + static_cast<SIZE_T>(m_capacity) * sizeof(wchar_t)));
    if (m_block->Address()) return true;
    error = ::GetLastError();
    m_block.reset();
    return false;
  }

  HWND m_list;
  HANDLE m_process;
  int m_capacity = 1024;
  std::unique_ptr<RemoteBlock> m_block;
};

} // namespace

std::wstring WindowText(HWND window) {
  // InternalGetWindowText reads the text the window manager keeps: it never waits on the target.
  std::wstring text(256, L'\0');
  for (;;) {
    const int length = ::InternalGetWindowText(window, &text[0], static_cast<int>(text.size()));
    if (length < static_cast<int>(text.size()) - 1 || text.size() >= (1u << 20)) {
      text.resize(length > 0 ? static_cast<size_t>(length) : 0);
      return text;
    }
    text.assign(text.size() * 4, L'\0');
  }
}

std::wstring ClassName(HWND window) {
  wchar_t name[256];
  const int length = ::GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

bool IsDialogWindow(HWND window) { return ClassName(window) == L"#32770"; }

HWND ListControl(HWND dialog, int id) {
  HWND control = ::GetDlgItem(dialog, id);
  if (!control || ::lstrcmpiW(ClassName(control).c_str(), WC_LISTVIEWW) != 0) return nullptr;
  return control;
}

bool HasLists(HWND dialog) {
  return ListControl(dialog, kSystemList) != nullptr || ListControl(dialog, kHardwareList) != nullptr;
}

std::vector<HWND> TopLevelDialogs(DWORD pid) {
  std::vector<HWND> all;
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
  std::vector<HWND> dialogs;
  for (HWND window : all) {
    if (!IsDialogWindow(window)) continue;
    if (pid != kAnyProcess) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(window, &owner);
      if (owner != pid) continue;
    }
    dialogs.push_back(window);
  }
  return dialogs;
}

HWND FindProgramDialog(const std::wstring& caption, DWORD pid) {
  for (HWND window : TopLevelDialogs(pid)) {
    if (::IsWindowVisible(window) && WindowText(window) == caption && HasLists(window)) return window;
  }
  return nullptr;
}

HWND FindDialog(const std::wstring& caption, DWORD pid) {
  HWND visible = nullptr;
  HWND hidden = nullptr;
  for (HWND window : TopLevelDialogs(pid)) {
    if (WindowText(window) != caption) continue;
    if (!::IsWindowVisible(window)) {
      if (!hidden) hidden = window;
    } else if (HasLists(window)) {
      return window;
    } else if (!visible) {
      visible = window;
    }
  }
  return visible ? visible : hidden;
}

Box ReadBox(HWND box) {
  Box result;
  result.window = box;
  result.caption = WindowText(box);
  HWND text = nullptr;
  HWND firstStatic = nullptr;
  for (HWND child : Children(box)) {
    if (!IsStatic(child)) continue;
    if (IsIconStatic(child)) {
      LRESULT icon = 0;
      if (::IsWindowVisible(child) && Send(child, STM_GETICON, 0, 0, icon) && icon != 0) result.icon = true;
      continue;
    }
    if ((::GetDlgCtrlID(child) & 0xFFFF) == kBoxTextId && !text) text = child;
    if (!firstStatic) firstStatic = child;
  }
  if (!text) text = firstStatic;
  if (text) result.text = WindowText(text);
  return result;
}

bool AnswerBox(HWND box, DWORD timeoutMs) {
  int id = 0;
  HWND button = nullptr;
  for (int candidate : {IDOK, IDCANCEL}) {
    HWND control = ::GetDlgItem(box, candidate);
    if (control && ::IsWindowVisible(control)) {
      id = candidate;
      button = control;
      break;
    }
  }
  if (!button) {
    for (HWND child : Children(box)) {
      if (::lstrcmpiW(ClassName(child).c_str(), L"Button") == 0 && ::IsWindowVisible(child)) {
        id = ::GetDlgCtrlID(child);
        button = child;
        break;
      }
    }
  }
  // A posted command works across processes without the target's window being active.
  const BOOL posted = button ? ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button))
                             : ::PostMessageW(box, WM_CLOSE, 0, 0);
  if (!posted) return false;
  const ULONGLONG end = NowMs() + timeoutMs;
  while (::IsWindow(box) && ::IsWindowVisible(box)) {
    if (NowMs() >= end) return false;
    ::Sleep(1);
  }
  return true;
}

std::vector<Box> BoxAnswerer::Poll() {
  std::vector<HWND> stillThere;
  for (HWND window : m_seen)
    if (::IsWindow(window)) stillThere.push_back(window);
  m_seen.swap(stillThere);

  std::vector<Box> boxes;
  const std::vector<HWND> dialogs = TopLevelDialogs(m_pid);
  // Z order puts the newest box on top: walk from the bottom to keep the order of appearance.
  for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
    HWND window = *it;
    if (!::IsWindowVisible(window) || HasLists(window)) continue;
    bool seen = false;
    for (HWND known : m_seen) seen = seen || known == window;
    if (seen) continue;
    boxes.push_back(ReadBox(window));
    m_seen.push_back(window);
    AnswerBox(window, 2000);
  }
  return boxes;
}

int ItemCount(HWND list) {
  LRESULT count = 0;
  if (!Send(list, LVM_GETITEMCOUNT, 0, 0, count)) return -1;
  return static_cast<int>(count);
}

bool ReadList(HWND list, ListContent& content, DWORD& error) {
  ListContent result;
  LRESULT header = 0;
  LRESULT columns = 0;
  if (!Send(list, LVM_GETHEADER, 0, 0, header)) {
    error = ::GetLastError();
    return false;
  }
  if (header && !Send(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, columns)) {
    error = ::GetLastError();
    return false;
  }
  for (int column = 0; column < static_cast<int>(columns); ++column) {
    LRESULT width = 0;
    if (!Send(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0, width)) {
      error = ::GetLastError();
      return false;
    }
    result.columnWidths.push_back(static_cast<int>(width));
  }
  const int rows = ItemCount(list);
  if (rows < 0) {
    error = ::GetLastError();
    return false;
  }
  if (rows > 0) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(list, &pid);
    UniqueHandle process(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process.Get()) {
      error = ::GetLastError();
      return false;
    }
    RemoteListReader reader(list, process.Get());
    for (int row = 0; row < rows; ++row) {
      std::pair<std::wstring, std::wstring> cells;
      if (!reader.Text(row, 0, cells.first, error) || !reader.Text(row, 1, cells.second, error)) return false;
      result.rows.push_back(cells);
    }
  }
  content = result;
  return true;
}

namespace {

// A screen DC with a font selected, for measuring texts.
class MeasuringDC {
public:
  explicit MeasuringDC(HFONT font) : m_dc(::GetDC(nullptr)) {
    if (m_dc) m_old = ::SelectObject(m_dc, font);
  }
  ~MeasuringDC() {
    if (m_dc) {
      ::SelectObject(m_dc, m_old);
      ::ReleaseDC(nullptr, m_dc);
    }
  }
  MeasuringDC(const MeasuringDC&) = delete;
  MeasuringDC& operator=(const MeasuringDC&) = delete;
  bool Ok() const { return m_dc && m_old; }
  // The rectangle DrawTextW needs for `text` with `format`, starting from `width` pixels.
  SIZE Extent(const std::wstring& text, UINT format, int width) const {
    RECT rect = {0, 0, width, 0};
    ::DrawTextW(m_dc, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_CALCRECT);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
  }

private:
  HDC m_dc;
  HGDIOBJ m_old = nullptr;
};

// Steps over a template's sz_Or_Ord field (0x0000, 0xFFFF plus an ordinal, or a string).
const WORD* SkipNameOrOrdinal(const WORD* at, const WORD* end) {
  if (at >= end) return end;
  if (*at == 0xFFFF) return at + 2;
  while (at < end && *at != 0) ++at;
  return at < end ? at + 1 : end;
}

// What a list view draws around a cell's text (its label padding), and around a button's or a group
// box's caption; the same at every DPI in comctl32.
constexpr int kCellPadding = 12;
constexpr int kButtonPadding = 6;
constexpr int kGroupPadding = 16;

bool MeasureList(HWND list, int id, std::vector<TextFit>& fits, DWORD& error) {
  ListContent content;
  if (!ReadList(list, content, error)) return false;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(list, &pid);
  UniqueHandle process(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
  if (!process.Get()) {
    error = ::GetLastError();
    return false;
  }
  for (size_t row = 0; row < content.rows.size(); ++row) {
    for (int column = 0; column < 2 && column < static_cast<int>(content.columnWidths.size()); ++column) {
      const std::wstring& text = column == 0 ? content.rows[row].first : content.rows[row].second;
      if (text.empty()) continue;
      const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
      RemoteBlock block(process.Get(), bytes);
      LRESULT width = 0;
      if (!block.Address() || !::WriteProcessMemory(process.Get(), block.Address(), text.c_str(), bytes, nullptr) ||
          !Send(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(block.Address()), width)) {
        error = ::GetLastError();
        return false;
      }
      TextFit fit;
      fit.control = id;
      fit.row = static_cast<int>(row);
      fit.column = column;
      fit.text = text;
      fit.needed = static_cast<int>(width) + kCellPadding;
      fit.available = content.columnWidths[static_cast<size_t>(column)];
      fits.push_back(fit);
    }
  }
  return true;
}

} // namespace

HFONT CreateTemplateFont(HMODULE module, int templateId) {
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5)); // RT_DIALOG
  HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
  const WORD* at = loaded ? static_cast<const WORD*>(::LockResource(loaded)) : nullptr;
  if (!at) return nullptr;
  const WORD* end = at + ::SizeofResource(module, resource) / sizeof(WORD);
  // DLGTEMPLATEEX: version 1, signature 0xFFFF, help id, extended style, style, item count, x, y, cx, cy.
  if (end - at < 13 || at[0] != 1 || at[1] != 0xFFFF) return nullptr;
  const DWORD style = at[6] | (static_cast<DWORD>(at[7]) << 16);
  if (!(style & DS_SETFONT)) return nullptr;
  at = SkipNameOrOrdinal(at + 13, end); // menu
  at = SkipNameOrOrdinal(at, end);      // window class
  at = SkipNameOrOrdinal(at, end);      // title (a string)
  if (end - at < 4) return nullptr;
  // Point size, weight, italic and character set, then the face name.
  const int points = at[0];
  const int weight = at[1];
  const BYTE italic = static_cast<BYTE>(at[2] & 0xFF);
  const BYTE charset = static_cast<BYTE>(at[2] >> 8);
  std::wstring face(reinterpret_cast<const wchar_t*>(at + 3));
  // DS_SHELLFONT with "MS Shell Dlg" asks for the shell's dialog font.
  if ((style & DS_SHELLFONT) == DS_SHELLFONT && face == L"MS Shell Dlg") face = L"MS Shell Dlg 2";
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  return ::CreateFontW(-::MulDiv(points, dpi, 72), 0, 0, 0, weight, italic, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

bool MeasureTexts(HWND dialog, HFONT font, std::vector<TextFit>& fits, DWORD& error) {
  for (HWND child : Children(dialog)) {
    if (::GetParent(child) != dialog || !::IsWindowVisible(child)) continue;
    const int id = ::GetDlgCtrlID(child) & 0xFFFF;
    const std::wstring kind = ClassName(child);
    if (::lstrcmpiW(kind.c_str(), WC_LISTVIEWW) == 0) {
      if (!MeasureList(child, id, fits, error)) return false;
      continue;
    }
    const bool isStatic = IsStatic(child);
    if ((!isStatic && ::lstrcmpiW(kind.c_str(), L"Button") != 0) || IsIconStatic(child)) continue;
    const std::wstring text = WindowText(child);
    if (text.empty()) continue;
    MeasuringDC dc(font);
    if (!dc.Ok()) {
      error = ERROR_INVALID_HANDLE;
      return false;
    }
    RECT client{};
    ::GetClientRect(child, &client);
    TextFit fit;
    fit.control = id;
    fit.text = text;
    if (isStatic) {
      // A static wraps its text at its width: the lines must fit its height.
      fit.needed = dc.Extent(text, DT_WORDBREAK | DT_EXPANDTABS, client.right).cy;
      fit.available = client.bottom;
    } else {
      const bool group = (::GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
      fit.needed = dc.Extent(text, DT_SINGLELINE, 0).cx + (group ? kGroupPadding : kButtonPadding);
      fit.available = client.right;
    }
    fits.push_back(fit);
  }
  return true;
}

ULONGLONG NowMs() { return ::GetTickCount64(); }


bool WriteText(HANDLE handle, const std::wstring& text) {
  const std::string bytes = NarrowUtf8(text);
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
        written == 0)
      return false;
    done += written;
  }
  return true;
}

std::wstring WindowsPath(const std::wstring& path) {
  if (path.empty() || path[0] != L'/') return path;
  // wine's own mapping knows every drive; it exists only under wine.
  using DosFileName = WCHAR*(CDECL*)(const char*);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  FARPROC address = kernel ? ::GetProcAddress(kernel, "wine_get_dos_file_name") : nullptr;
  if (!address) return path;
  DosFileName dosFileName;
  static_assert(sizeof(dosFileName) == sizeof(address), "function pointers of one size");
  ::CopyMemory(&dosFileName, &address, sizeof(address));
  WCHAR* dos = dosFileName(NarrowUtf8(path).c_str());
  if (!dos) return path;
  std::wstring result(dos);
  ::HeapFree(::GetProcessHeap(), 0, dos);
  return result;
}

} // namespace dlgread
