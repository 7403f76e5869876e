// The tests' one message-box answerer: finds a box, records it, presses OK and waits for it to go.
#include "tests/support/message_box_answerer.h"

#include "res/resource.h"

namespace kcctest {
namespace {

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  ::GetClassNameW(hwnd, name, 64);
  return name;
}

std::wstring TextOf(HWND hwnd) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, &text[0], static_cast<int>(text.size()))));
  return text;
}

BOOL CALLBACK FindBox(HWND hwnd, LPARAM parameter) {
  // A message box is a visible system dialog with its text in control 0xFFFF and none of the program's lists.
  if (!::IsWindowVisible(hwnd) || ClassOf(hwnd) != L"#32770" || !::GetDlgItem(hwnd, 0xFFFF) ||
      ::GetDlgItem(hwnd, IDC_LIST_SYSTEM))
    return TRUE;
  *reinterpret_cast<HWND*>(parameter) = hwnd;
  return FALSE;
}

BOOL CALLBACK ReadChild(HWND child, LPARAM parameter) {
  SeenBox& box = *reinterpret_cast<SeenBox*>(parameter);
  if (!::IsWindowVisible(child)) return TRUE;
  const std::wstring name = ClassOf(child);
  const LONG style = ::GetWindowLongW(child, GWL_STYLE);
  if (::lstrcmpiW(name.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
    // wine keeps the icon control visible in a box without icon; its icon is then null.
    box.icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
  } else if (::lstrcmpiW(name.c_str(), L"Button") == 0) {
    box.buttons.push_back(::GetDlgCtrlID(child));
  }
  return TRUE;
}

} // namespace

MessageBoxAnswerer::MessageBoxAnswerer(DWORD threadId) : m_threadId(threadId) {
  ::InitializeCriticalSection(&m_lock);
  m_stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_thread = ::CreateThread(nullptr, 0, &MessageBoxAnswerer::Thread, this, 0, nullptr);
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  ::SetEvent(m_stop);
  ::WaitForSingleObject(m_thread, INFINITE);
  ::CloseHandle(m_thread);
  ::CloseHandle(m_stop);
  ::DeleteCriticalSection(&m_lock);
}

std::vector<SeenBox> MessageBoxAnswerer::Boxes() {
  ::EnterCriticalSection(&m_lock);
  std::vector<SeenBox> boxes = m_boxes;
  ::LeaveCriticalSection(&m_lock);
  return boxes;
}

DWORD WINAPI MessageBoxAnswerer::Thread(LPVOID self) {
  static_cast<MessageBoxAnswerer*>(self)->Watch();
  return 0;
}

void MessageBoxAnswerer::Watch() {
  while (::WaitForSingleObject(m_stop, 5) == WAIT_TIMEOUT) {
    HWND hwnd = nullptr;
    if (m_threadId)
      ::EnumThreadWindows(m_threadId, &FindBox, reinterpret_cast<LPARAM>(&hwnd));
    else
      ::EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&hwnd));
    if (!hwnd) continue;
    SeenBox box;
    box.caption = TextOf(hwnd);
    box.text = TextOf(::GetDlgItem(hwnd, 0xFFFF));
    box.owner = ::GetWindow(hwnd, GW_OWNER);
    ::EnumChildWindows(hwnd, &ReadChild, reinterpret_cast<LPARAM>(&box));
    ::EnterCriticalSection(&m_lock);
    m_boxes.push_back(box);
    ::LeaveCriticalSection(&m_lock);
    // Pressed as a user would; then wait for the box to go, so that it is counted once.
    ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hwnd, IDOK)));
    for (int i = 0; i < 400 && ::IsWindow(hwnd) && ::IsWindowVisible(hwnd); ++i) ::Sleep(5);
  }
}

} // namespace kcctest
