// Reads the program's dialog from another process: finding it, answering its message boxes, its lists.
#ifndef KCC_TOOLS_DLGREAD_DIALOG_READER_H
#define KCC_TOOLS_DLGREAD_DIALOG_READER_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace dlgread {

constexpr int kSystemList = 1000;
constexpr int kHardwareList = 1001;
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

// Milliseconds since some fixed point, for time-outs.
ULONGLONG NowMs();

// UTF-8 bytes of a UTF-16 text (an unpaired surrogate becomes U+FFFD).
std::string ToUtf8(const std::wstring& text);
// Writes the UTF-8 bytes of `text` as they are: no code-page or line-end translation.
bool WriteText(HANDLE handle, const std::wstring& text);
// A Unix path (as a shell under wine passes it) turned into the Windows path of the same file;
// any other path unchanged.
std::wstring WindowsPath(const std::wstring& path);

} // namespace dlgread

#endif
