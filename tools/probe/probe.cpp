// Benchmark probe: the program's own gathering (OLE, the driver walk, WMI and its five queries, the
// registry, oeminfo.ini), without the dialog. `probe.exe --runs N [--empty | --calls]` times N child runs:
// from start to exit, or (--calls) the gathering alone, timed inside a child that already has a window, as
// a dialog start has, so that loading user32 and the display driver is not counted twice.
#include "dialog/kcc_system_info_dlg.h"
#include "sources/machine_info.h"
#include "tools/bench/stats.h"

#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// The dialog's gathering; a failing query's message goes nowhere instead of a box. True when the walk ran
// to its end and WMI connected.
bool Gather() {
  ::OleInitialize(nullptr);
  SystemSummary summary;
  GatherHooks hooks;
  hooks.messages = [](void*, const std::wstring&, const std::wstring&) {};
  CKCCSystemInfoDlg(nullptr).GatherSummary(summary, hooks);
  ::OleUninitialize();
  return summary.walkStatus == kWalkComplete && summary.connected;
}

enum class Mode { kProbe, kEmpty, kCalls };

// The calls, timed inside this process after a hidden window has brought up user32 and the display
// driver; the exit code is the time in microseconds (0 when the walk found nothing).
DWORD TimeCallsInProcess() {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  const bool gathered = Gather();
  ::QueryPerformanceCounter(&end);
  if (window) ::DestroyWindow(window);
  return gathered ? static_cast<DWORD>(1000000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart) : 0;
}

int TimeChildren(int runs, Mode mode) {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  for (int i = 0; i <= runs; ++i) { // the first run warms up and is not recorded
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    wchar_t line[MAX_PATH + 4];
    ::wsprintfW(line, mode == Mode::kEmpty ? L"\"%s\" --empty" : mode == Mode::kCalls ? L"\"%s\" --calls" : L"\"%s\"",
                self);
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    if (!::CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return 1;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::QueryPerformanceCounter(&end);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (mode == Mode::kCalls && code == 0) {
      std::fprintf(stderr, "probe: the driver walk or WMI failed\n");
      return 1;
    }
    if (i > 0) times.push_back(mode == Mode::kCalls ? code / 1000.0 : 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
  }
  const bench::Summary figures = bench::Summarize(times);
  const char* const names[] = {"probe", "empty process", "calls in a process with a window"};
  std::printf("%s\truns %d\tmedian %.1f ms\tmin %.1f\tmax %.1f\n", names[static_cast<int>(mode)], runs,
              figures.median, figures.min, figures.max);
  return 0;
}
} // namespace

int main(int argc, char** argv) {
  // --empty: a process that does nothing, the baseline of a start under wine.
  if (argc == 2 && lstrcmpA(argv[1], "--empty") == 0) return 0;
  if (argc == 2 && lstrcmpA(argv[1], "--calls") == 0) return static_cast<int>(TimeCallsInProcess());
  if (argc >= 3 && lstrcmpA(argv[1], "--runs") == 0) {
    Mode mode = Mode::kProbe;
    if (argc == 4 && lstrcmpA(argv[3], "--empty") == 0) mode = Mode::kEmpty;
    if (argc == 4 && lstrcmpA(argv[3], "--calls") == 0) mode = Mode::kCalls;
    return TimeChildren(std::max(1, atoi(argv[2])), mode);
  }
  return Gather() ? 0 : 2;
}
