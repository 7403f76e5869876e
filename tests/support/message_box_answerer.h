// The tests' one message-box answerer: records what each box shows and presses its OK button.
#ifndef KCC_TESTS_SUPPORT_MESSAGE_BOX_ANSWERER_H
#define KCC_TESTS_SUPPORT_MESSAGE_BOX_ANSWERER_H

#include "tests/support/no_copy.h"

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

// Answers the boxes of one thread, or with thread 0 every box on the desktop, of this process or another
// (the program's own dialog, which has list 1000, is no box).
class MessageBoxAnswerer : private NoCopy {
public:
  using Box = SeenBox;
  explicit MessageBoxAnswerer(DWORD threadId = 0);
  ~MessageBoxAnswerer();

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
