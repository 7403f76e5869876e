// Many starts of the real exe: one dialog for twenty simultaneous starts, start and /halt cycles.
#include "tests/support/win32_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace kcctest;

namespace {
const wchar_t* const kNamedObjects[] = {L"VarnelSystemInfoGUI-MutexUser", L"Global\\VarnelSystemInfoGUI-MutexAll",
                                        L"VarnelSystemInfoGUI-Shutdown-User",
                                        L"Global\\VarnelSystemInfoGUI-Shutdown-All"};

bool AnyNamedObjectLeft() {
  for (const wchar_t* name : kNamedObjects) {
    HANDLE handle = ::OpenMutexW(SYNCHRONIZE, FALSE, name);
    if (!handle) handle = ::OpenEventW(SYNCHRONIZE, FALSE, name);
    if (handle) {
      ::CloseHandle(handle);
      return true;
    }
  }
  return false;
}

class Stress : public testing::Test {
protected:
  void SetUp() override {
    caption = ProgramCaption();
    ASSERT_FALSE(caption.empty());
    ASSERT_TRUE(FindDialogs(caption, true).empty());
  }
  void TearDown() override {
    for (HWND dialog : FindDialogs(caption, true)) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    WaitUntil([&] { return FindDialogs(caption, true).empty(); }, 5000);
  }
  std::wstring caption;
  MessageBoxAnswerer answerer;
};

TEST_F(Stress, TwentySimultaneousStartsOpenOneDialog) {
  std::vector<std::unique_ptr<ChildProcess>> starts;
  for (int i = 0; i < 20; ++i) starts.push_back(std::make_unique<ChildProcess>(L"\"" + ProgramPath() + L"\""));
  ASSERT_TRUE(WaitUntil([&] { return !FindDialogs(caption, true).empty(); }, 30000));
  const DWORD appeared = ::GetTickCount();
  // Poll every process until all but one have ended or 2 s have passed since the dialog appeared.
  std::vector<DWORD> ended(starts.size(), 0);
  int running = static_cast<int>(starts.size());
  while (running > 1 && ::GetTickCount() - appeared < 2000) {
    for (size_t i = 0; i < starts.size(); ++i) {
      if (!ended[i] && starts[i]->WaitExit(0)) {
        ended[i] = ::GetTickCount() - appeared + 1;
        --running;
      }
    }
    ::Sleep(5);
  }
  DWORD slowest = 0;
  for (DWORD t : ended) slowest = std::max(slowest, t ? t - 1 : 0);
  ::Sleep(300);
  EXPECT_EQ(1u, FindDialogs(caption, true).size());
  EXPECT_EQ(1, running);
  std::printf("stress: 20 starts, 1 dialog, the others ended at most %lu ms after it appeared\n", slowest);
}

TEST_F(Stress, FiftyStartAndHaltCyclesLeaveNothingBehind) {
  DWORD longestClose = 0;
  for (int cycle = 0; cycle < 50; ++cycle) {
    ChildProcess running(L"\"" + ProgramPath() + L"\"");
    ASSERT_TRUE(WaitUntil([&] { return !FindDialogs(caption, true).empty(); }, 20000)) << "cycle " << cycle;
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(RunProgram(L"/halt", 10000)) << "cycle " << cycle;
    ASSERT_TRUE(running.WaitExit(10000)) << "cycle " << cycle;
    longestClose = std::max(longestClose, ::GetTickCount() - start);
  }
  EXPECT_FALSE(AnyNamedObjectLeft());
  std::printf("stress: 50 start and /halt cycles, the slowest close took %lu ms\n", longestClose);
}

TEST_F(Stress, HaltAllClosesEveryInstanceOfTheUserNamespace) {
  // Wine has one session and one local namespace for all processes of a prefix, so "other
  // users" cannot be made; a second instance of one namespace is refused, so one runs here.
  ChildProcess running(L"\"" + ProgramPath() + L"\"");
  ASSERT_TRUE(WaitUntil([&] { return !FindDialogs(caption, true).empty(); }, 20000));
  ASSERT_TRUE(RunProgram(L"/haltAll", 10000));
  EXPECT_TRUE(running.WaitExit(10000));
  EXPECT_FALSE(AnyNamedObjectLeft());
}
} // namespace
