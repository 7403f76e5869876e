// Watches one thread for message boxes, records what each shows and presses its OK button.
#ifndef KCC_TESTS_WMI_MESSAGE_BOX_WATCHER_H
#define KCC_TESTS_WMI_MESSAGE_BOX_WATCHER_H

#include <windows.h>

#include <string>
#include <vector>

namespace kcctest {

struct SeenBox {
  std::wstring caption;
  std::wstring text;       // the static control 0xFFFF
  HICON icon = nullptr;    // of the visible SS_ICON static; null when it shows none
  HWND owner = nullptr;
  std::vector<int> buttons; // ids of the visible buttons
};

// Started for the calling thread by default; the boxes it sees are the ones that thread shows.
class MessageBoxWatcher {
public:
  explicit MessageBoxWatcher(DWORD threadId = ::GetCurrentThreadId());
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  std::vector<SeenBox> Boxes();

private:
  static DWORD WINAPI Thread(LPVOID self);
  void Watch();

  DWORD m_threadId;
  HANDLE m_stop;
  HANDLE m_thread;
  CRITICAL_SECTION m_lock;
  std::vector<SeenBox> m_boxes;
};

} // namespace kcctest

#endif
