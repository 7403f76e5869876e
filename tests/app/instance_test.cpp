// The real exe as processes: one instance per user, activation, /halt, /haltAll, the start-up race.
#include "tests/support/win32_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace kcctest;

namespace {
const wchar_t kUserEvent[] = L"VarnelSystemInfoGUI-Shutdown-User";
const wchar_t kAllEvent[] = L"Global\\VarnelSystemInfoGUI-Shutdown-All";

class Instances : public testing::Test {
protected:
  void SetUp() override {
    caption = ProgramCaption();
    ASSERT_FALSE(caption.empty()) << "no satellite in " << std::string(BinDir().begin(), BinDir().end());
    ASSERT_TRUE(FindDialogs(caption, true).empty()) << "a dialog is already open";
  }
  void TearDown() override {
    for (HWND dialog : FindDialogs(caption, true)) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    WaitUntil([&] { return FindDialogs(caption, true).empty(); }, 5000);
  }
  std::unique_ptr<ChildProcess> Start(const std::wstring& arguments = L"") {
    return std::make_unique<ChildProcess>(L"\"" + ProgramPath() + L"\" " + arguments);
  }
  bool DialogVisible() {
    std::vector<HWND> dialogs = FindDialogs(caption, true);
    return dialogs.size() == 1 && ::IsWindowVisible(dialogs[0]);
  }
  std::wstring caption;
  // Wine has no Win32_CacheMemory: each start shows the WMI error box before its dialog.
  MessageBoxAnswerer answerer;
};

TEST_F(Instances, SecondStartActivatesTheFirstAndEnds) {
  auto first = Start();
  ASSERT_TRUE(WaitUntil([&] { return DialogVisible(); }, 15000));
  auto second = Start();
  ASSERT_TRUE(second->WaitExit(5000)) << "the second start did not end";
  EXPECT_EQ(1u, FindDialogs(caption, true).size());
  EXPECT_FALSE(first->WaitExit(0)) << "the first instance ended";
}

TEST_F(Instances, HaltClosesTheRunningInstance) {
  auto running = Start();
  ASSERT_TRUE(WaitUntil([&] { return DialogVisible(); }, 15000));
  ASSERT_TRUE(RunProgram(L"/halt", 5000));
  EXPECT_TRUE(running->WaitExit(5000));
  EXPECT_TRUE(FindDialogs(caption, true).empty());
}

// The About box runs a modal loop of its own: a shutdown request closes it first, then the dialog.
TEST_F(Instances, HaltClosesTheInstanceWithItsAboutBoxOpen) {
  auto running = Start();
  ASSERT_TRUE(WaitUntil([&] { return DialogVisible(); }, 15000));
  HWND dialog = FindDialogs(caption, true).at(0);
  ::PostMessageW(dialog, WM_SYSCOMMAND, 16, 0); // the window menu's About entry
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindowEnabled(dialog); }, 5000)) << "no About box disabled the dialog";
  ASSERT_TRUE(RunProgram(L"/halt", 5000));
  EXPECT_TRUE(running->WaitExit(2000)) << "the instance still runs with its About box";
}

TEST_F(Instances, HaltAllAsAdministratorClosesTheRunningInstance) {
  auto running = Start();
  ASSERT_TRUE(WaitUntil([&] { return DialogVisible(); }, 15000));
  ASSERT_TRUE(RunProgram(L"-HALTALL", 5000));
  EXPECT_TRUE(running->WaitExit(5000));
}

TEST_F(Instances, BothSwitchesSignalOnlyTheUserEvent) {
  // Our handles keep the events alive after the program has ended.
  HANDLE user = ::CreateEventW(nullptr, TRUE, FALSE, kUserEvent);
  HANDLE all = ::CreateEventW(nullptr, TRUE, FALSE, kAllEvent);
  ASSERT_TRUE(user && all);
  ASSERT_TRUE(RunProgram(L"/haltAll /halt", 5000));
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(user, 0));
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(all, 0));
  ::CloseHandle(all);
  ::CloseHandle(user);
}

TEST_F(Instances, HaltWithoutPrefixIsAPlainArgumentAndOpensTheDialog) {
  auto running = Start(L"halt");
  EXPECT_TRUE(WaitUntil([&] { return DialogVisible(); }, 15000));
}

// The watcher delivers its one notification before there is a window to close: the close waits for the window
// and happens once it exists.
TEST_F(Instances, RequestBeforeTheDialogExistsClosesItOnceItIsThere) {
  HANDLE user = ::CreateEventW(nullptr, TRUE, TRUE, kUserEvent); // already signalled
  ASSERT_NE(nullptr, user);
  auto running = Start();
  EXPECT_TRUE(running->WaitExit(15000)) << "the dialog stayed open";
  ::CloseHandle(user);
}

TEST_F(Instances, SimultaneousStartsOpenExactlyOneDialog) {
  const int kStarts = 10;
  std::vector<std::unique_ptr<ChildProcess>> starts;
  for (int i = 0; i < kStarts; ++i) starts.push_back(Start());
  ASSERT_TRUE(WaitUntil([&] { return !FindDialogs(caption, true).empty(); }, 20000));
  // Every start but the one that owns the dialog ends within 2 s of the dialog's appearance.
  const DWORD deadline = ::GetTickCount() + 2000;
  int running = 0;
  for (auto& start : starts) {
    const DWORD now = ::GetTickCount();
    if (!start->WaitExit(now < deadline ? deadline - now : 0)) ++running;
  }
  ::Sleep(300);
  EXPECT_EQ(1u, FindDialogs(caption, true).size());
  EXPECT_EQ(1, running);
}

TEST_F(Instances, HaltAllWithoutAdministratorRightsShowsTheRefusal) {
  HANDLE restricted = CreateNonAdministratorToken();
  ASSERT_NE(nullptr, restricted) << ::GetLastError();
  HANDLE all = ::CreateEventW(nullptr, TRUE, FALSE, kAllEvent);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  std::wstring line = L"\"" + ProgramPath() + L"\" /haltAll";
  ASSERT_TRUE(::CreateProcessAsUserW(restricted, nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &info))
      << ::GetLastError();
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(info.hProcess, 10000));
  std::vector<MessageBoxAnswerer::Box> boxes = answerer.Boxes();
  ASSERT_EQ(1u, boxes.size()) << "no dialog ran, so the only box is the refusal";
  EXPECT_EQ(L"管理者権限が必要です", boxes[0].text);
  EXPECT_EQ(L"KCCSystemInfo", boxes[0].caption);
  EXPECT_TRUE(boxes[0].icon);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(all, 0)) << "haltAll was signalled";

  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  ::CloseHandle(all);
  ::CloseHandle(restricted);
}
} // namespace
