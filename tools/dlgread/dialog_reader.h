// Reads the program's dialog from another process: finding it, answering its message boxes, its lists.
#ifndef KCC_TOOLS_DLGREAD_DIALOG_READER_H
#define KCC_TOOLS_DLGREAD_DIALOG_READER_H

#include <windows.h>

#include "res/resource.h"

#include <string>
#include <utility>
#include <vector>

namespace dlgread {

constexpr int kSystemList = IDC_LIST_SYSTEM;
constexpr int kHardwareList = IDC_LIST_HARDWARE;
// Any process: no restriction by process id.
constexpr DWORD kAnyProcess = 0;

// Window text of a window of any process (no message is sent to it).
std::wstring WindowText(HWND window);
// Class name of a window.
std::wstring ClassName(HWND window);
// A dialog window (system class #32770, atom 0x8002).
bool IsDialogWindow(HWND window);
// The child list view with this control id, or null.
HWND ListControl(HWND dialog, int id);
// Holds list 1000 or 1001: what tells the program's dialog from a message box with its caption.
bool HasLists(HWND dialog);

// Top-level dialog windows in Z order, of one process or of any.
std::vector<HWND> TopLevelDialogs(DWORD pid);
// The program's dialog: caption exactly `caption`, visible, holding a list; or null.
HWND FindProgramDialog(const std::wstring& caption, DWORD pid);
// Any top-level dialog with exactly this caption, preferring a visible one with lists, then any
// visible one, then a hidden one; or null.
HWND FindDialog(const std::wstring& caption, DWORD pid);

// What a message box shows.
struct Box {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
  bool icon = false;
};

// Caption, text (static 0xFFFF) and whether an icon (a visible SS_ICON static holding one) is shown.
Box ReadBox(HWND box);
// Presses the box's OK button (else Cancel, else its only button) and waits for the box to go.
bool AnswerBox(HWND box, DWORD timeoutMs);

// Records and answers every message box (a visible top-level dialog without the lists) as it
// appears; each one is reported once.
class BoxAnswerer {
public:
  explicit BoxAnswerer(DWORD pid) : m_pid(pid) {}
  // Boxes that appeared since the last call, in order of appearance, each answered already.
  std::vector<Box> Poll();

private:
  DWORD m_pid;
  std::vector<HWND> m_seen;
};

// Rows a list view holds right now (no message needs memory in the target).
int ItemCount(HWND list);

// Columns and rows of a list view, read through memory placed in its process.
struct ListContent {
  std::vector<int> columnWidths;
  // Column 0 (label) and column 1 (value) of each row.
  std::vector<std::pair<std::wstring, std::wstring>> rows;
};

// Reads `list`; on failure returns false with the Win32 error in `error`.
bool ReadList(HWND list, ListContent& content, DWORD& error);

// One text of a dialog and the room it has, in pixels: `needed` > `available` means it is cut.
struct TextFit {
  int control = 0; // control id
  int row = -1;    // list row, or -1 for the control's own text
  int column = -1; // list column
  std::wstring text;
  int needed = 0;
  int available = 0;
};

// The font a dialog template names (DS_SETFONT or DS_SHELLFONT), made for this process's DPI. GDI handles
// do not cross processes, so the font of another process's dialog is made again from its template.
HFONT CreateTemplateFont(HMODULE module, int templateId);

// Measures the texts of a dialog of another process: buttons, statics and group boxes with `font` (a
// static's wrapped lines against its height, the others' width), and each list cell with the list's own
// measure against its column's width. False with the Win32 error on failure.
bool MeasureTexts(HWND dialog, HFONT font, std::vector<TextFit>& fits, DWORD& error);

// Milliseconds since some fixed point, for time-outs.
ULONGLONG NowMs();

// Writes the UTF-8 bytes of `text` as they are: no code-page or line-end translation.
bool WriteText(HANDLE handle, const std::wstring& text);
// A Unix path (as a shell under wine passes it) turned into the Windows path of the same file;
// any other path unchanged.
std::wstring WindowsPath(const std::wstring& path);

} // namespace dlgread

#endif
