// Many starts of the real exe: one dialog for twenty simultaneous starts, start and /halt cycles, and
// the driver's service stopped while the program walks its table.
#include "framework/handles.h"
#include "res/resource.h"
#include "sources/machine_info.h"
#include "sources/machine_paths.h"
#include "tests/driver/driver_service.h"
#include "tests/sources/registry_guard.h"
#include "tests/support/win32_support.h"
#include "tools/dlgread/dialog_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
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
std::wstring Label(UINT id) { return SatelliteString(L"ENU", id); }

// Value column of a list by label, read from the program's open dialog.
std::map<std::wstring, std::wstring> ReadRows(HWND dialog, int listId) {
  std::map<std::wstring, std::wstring> rows;
  dlgread::ListContent content;
  DWORD error = 0;
  if (HWND list = dlgread::ListControl(dialog, listId); list && dlgread::ReadList(list, content, error))
    for (const auto& row : content.rows) rows.emplace(row.first, row.second);
  return rows;
}

// Starts the program; once `whileWalking` has run (when given), waits for the dialog, reads both lists
// and closes it.
struct Shown {
  std::map<std::wstring, std::wstring> hardware, system;
};
::testing::AssertionResult ShowAndRead(const std::wstring& caption, Shown& shown,
                                       const std::function<::testing::AssertionResult()>& whileWalking = {}) {
  ChildProcess program(L"\"" + ProgramPath() + L"\"");
  if (!program.Started()) return ::testing::AssertionFailure() << "the program did not start";
  if (whileWalking) {
    ::testing::AssertionResult during = whileWalking();
    if (!during) return during;
  }
  HWND dialog = nullptr;
  if (!WaitUntil([&] { return (dialog = dlgread::FindProgramDialog(caption, program.Id())) != nullptr; }, 30000))
    return ::testing::AssertionFailure() << "no dialog";
  shown.hardware = ReadRows(dialog, dlgread::kHardwareList);
  shown.system = ReadRows(dialog, dlgread::kSystemList);
  ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  if (!program.WaitExit(10000)) return ::testing::AssertionFailure() << "the program did not end";
  return ::testing::AssertionSuccess();
}

// The varnel-notebook table holds BIOS, system, processor, two caches, two memory modules. The
// service stops while the driver holds the third request (the processor): the walk ends there, and
// the dialog shows what the first two structures gave, with the fall-backs for the rest.
TEST_F(Stress, DriverStoppedInTheMiddleOfAWalkLeavesWhatWasRead) {
  RegistryKeyGuard location(HKEY_LOCAL_MACHINE, kSharedServicesKey);
  ASSERT_TRUE(location.SetString("boardinfo", "boardinfo"));
  const std::wstring table = drivertest::SamplePath("varnel-notebook.bin");
  std::string error;

  ASSERT_TRUE(drivertest::RestartDriver({table, {}}, &error)) << error;
  Shown whole;
  ASSERT_TRUE(ShowAndRead(caption, whole));
  ASSERT_EQ(L"Intel(R) Pentium(R) M processor 1.60GHz", whole.hardware[Label(IDS_PROCESSOR)]);
  ASSERT_EQ(L"1.60 GHz", whole.hardware[Label(IDS_PROCESSOR_SPEED)]);
  ASSERT_EQ(L"J001", whole.system[Label(IDS_SYSTEM_VERSION)]);

  ASSERT_TRUE(drivertest::RestartDriver({table, {{L"HoldRequest", 3}, {L"HoldMs", 30000}}}, &error)) << error;
  UniqueHandle held(::OpenEventW(SYNCHRONIZE, FALSE, L"Global\\boardinfo-hold"));
  ASSERT_TRUE(held) << ::GetLastError();
  Shown cut;
  const DWORD start = ::GetTickCount();
  DWORD stoppedAt = 0;
  const ::testing::AssertionResult ran = ShowAndRead(caption, cut, [&]() -> ::testing::AssertionResult {
    if (::WaitForSingleObject(held.Get(), 30000) != WAIT_OBJECT_0)
      return ::testing::AssertionFailure() << "the driver never held a request";
    std::string stopError;
    if (!drivertest::StopDriver(&stopError)) return ::testing::AssertionFailure() << stopError;
    stoppedAt = ::GetTickCount() - start;
    return ::testing::AssertionSuccess();
  });
  const DWORD shownAt = ::GetTickCount() - start;
  std::string restoreError;
  const bool restored = drivertest::RestoreDefaultDriver(&restoreError);
  ASSERT_TRUE(ran);
  EXPECT_TRUE(restored) << restoreError;

  // The walk never reached the processor: the row is what Windows' registry names.
  const WindowsProcessor windows = CMachineInfo::ReadWindowsProcessor();
  ASSERT_TRUE(windows.name && windows.mhz) << "wine writes both";
  const std::wstring processor = cut.hardware[Label(IDS_PROCESSOR)];
  EXPECT_TRUE(!processor.empty() && windows.name->find(processor) != std::wstring::npos) << processor;
  EXPECT_NE(L"Unknown", cut.hardware[Label(IDS_PROCESSOR_SPEED)]);
  EXPECT_EQ(L"J001", cut.system[Label(IDS_SYSTEM_VERSION)]) << "read before the stop, still shown";
  for (const auto& row : whole.system) {
    if (row.first != Label(IDS_SYSTEM_VERSION)) {
      EXPECT_EQ(row.second, cut.system[row.first]);
    }
  }
  std::printf("stress: driver stopped during the third request at %lu ms, the dialog was read at %lu ms\n",
              stoppedAt, shownAt);
}
} // namespace
