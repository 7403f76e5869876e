// launchtime: time from process creation to the dialog being visible (or its lists filled), and working set.
#include "tools/bench/command_line.h"
#include "tools/bench/stats.h"
#include "tools/dlgread/dialog_reader.h"
#include "capture/summary_lines.h"
#include "framework/text.h"

#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kUsageText[] =
    L"usage: launchtime.exe [--runs N] [--warmup N] --caption TEXT [--ready visible|lists] [--timeout MS]\n"
    L"                      [--settle MS] EXE [ARGS...]\n"
    L"  Starts EXE N times (default 15, after 1 unrecorded warm-up run), each time waiting until its\n"
    L"  dialog with caption TEXT is visible (with --ready lists: until lists 1000 and 1001 both hold\n"
    L"  rows), answering message boxes with OK on the way; then reads its working set after --settle ms\n"
    L"  (default 200), closes the dialog with WM_CLOSE and waits for the process to end.\n"
    L"  Each run names a file in KCC_STEP_MARKS, where the program writes its start-up steps.\n"
    L"Output, one figure a line, tab-separated: step <name> <ms from launch> for each step of a run and\n"
    L"its \"visible\" (or \"lists\"), then run <i> <ms> <working set KB> <peak KB> <boxes>; at the end\n"
    L"runs, launch_ms_{median,min,q1,q3,max}, working_set_kb_median, peak_working_set_kb_median, and\n"
    L"step_ms <name> <median from launch> <median from the step before> <least from it> <runs>.\n"
    L"launchtime.exe --figures FILE [--platform STEP,STEP...] prints those figures of the run and step lines that FILE\n"
    L"collects, and inside_ms_{median,min}: from entry to ready less the steps named (the platform's calls).\n";

constexpr int kUsage = 2;

void Out(const std::wstring& text) { dlgread::WriteText(::GetStdHandle(STD_OUTPUT_HANDLE), text); }
void Err(const std::wstring& text) { dlgread::WriteText(::GetStdHandle(STD_ERROR_HANDLE), text); }

std::wstring Format(const wchar_t* format, double value) {
  wchar_t buffer[64];
  std::swprintf(buffer, 64, format, value);
  return buffer;
}

std::wstring Number(unsigned long long value) {
  wchar_t buffer[32];
  std::swprintf(buffer, 32, L"%llu", value);
  return buffer;
}

bool ParseNumber(const wchar_t* text, unsigned long& value) {
  if (!*text || *text == L'-' || *text == L'+') return false;
  wchar_t* end = nullptr;
  value = std::wcstoul(text, &end, 10);
  return *end == L'\0';
}

struct Settings {
  unsigned long runs = 15;
  unsigned long warmup = 1;
  unsigned long timeoutMs = 30000;
  unsigned long settleMs = 200;
  bool lists = false;
  std::wstring caption;
  bool haveCaption = false;
  std::vector<std::wstring> command;
};

// A started child; its handles are closed (thread, then process) and, if it still runs, it is ended.
class Child {
public:
  Child() = default;
  ~Child() {
    if (m_info.hProcess && ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(m_info.hProcess, 1);
      ::WaitForSingleObject(m_info.hProcess, 5000);
    }
    if (m_info.hThread) ::CloseHandle(m_info.hThread);
    if (m_info.hProcess) ::CloseHandle(m_info.hProcess);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Start(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    return ::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &m_info) != FALSE;
  }
  HANDLE Process() const { return m_info.hProcess; }
  DWORD Id() const { return m_info.dwProcessId; }
  bool Ended(DWORD waitMs) const { return ::WaitForSingleObject(m_info.hProcess, waitMs) == WAIT_OBJECT_0; }

private:
  PROCESS_INFORMATION m_info{};
};

struct RunResult {
  double ms = 0;
  SIZE_T workingSet = 0;
  SIZE_T peakWorkingSet = 0;
  size_t boxes = 0;
  std::vector<bench::StepTime> steps;
};

double Milliseconds(LONGLONG from, LONGLONG to) {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  return 1000.0 * static_cast<double>(to - from) / static_cast<double>(frequency.QuadPart);
}

// The file the child marks its steps in: one per launcher, named in the environment it passes on.
const std::wstring& StepMarksFile() {
  static const std::wstring path = [] {
    wchar_t folder[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH, folder);
    std::wstring file = (length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring()) +
                        L"kcc-step-marks-" + Number(::GetCurrentProcessId()) + L".txt";
    ::SetEnvironmentVariableW(L"KCC_STEP_MARKS", file.c_str());
    return file;
  }();
  return path;
}

// The steps the child wrote ("name<TAB>counter" lines), in ms from `start`; the file is removed.
std::vector<bench::StepTime> ReadStepMarks(LONGLONG start) {
  std::vector<bench::StepTime> steps;
  if (FILE* file = _wfopen(StepMarksFile().c_str(), L"r")) {
    char name[64];
    long long counter = 0;
    while (std::fscanf(file, "%63[^\t\n]\t%lld\n", name, &counter) == 2)
      steps.push_back(bench::StepTime{name, Milliseconds(start, counter)});
    std::fclose(file);
  }
  ::DeleteFileW(StepMarksFile().c_str());
  return steps;
}

bool Ready(HWND dialog, bool lists) {
  if (!lists) return true;
  HWND hardware = dlgread::ListControl(dialog, dlgread::kHardwareList);
  HWND system = dlgread::ListControl(dialog, dlgread::kSystemList);
  return hardware && system && dlgread::ItemCount(hardware) > 0 && dlgread::ItemCount(system) > 0;
}

bool RunOnce(const Settings& settings, const std::wstring& commandLine, RunResult& result) {
  Child child;
  ::DeleteFileW(StepMarksFile().c_str());
  LARGE_INTEGER start;
  ::QueryPerformanceCounter(&start);
  if (!child.Start(commandLine)) {
    Err(L"launchtime: cannot start " + commandLine + L": error " + Number(::GetLastError()) + L"\n");
    return false;
  }
  dlgread::BoxAnswerer answerer(child.Id());
  const ULONGLONG end = dlgread::NowMs() + settings.timeoutMs;
  HWND dialog = nullptr;
  for (;;) {
    result.boxes += answerer.Poll().size();
    dialog = dlgread::FindProgramDialog(settings.caption, child.Id());
    if (dialog && Ready(dialog, settings.lists)) break;
    if (child.Ended(0)) {
      Err(L"launchtime: the program ended before its dialog was ready\n");
      return false;
    }
    if (dlgread::NowMs() >= end) {
      Err(L"launchtime: dialog \"" + summary::EscapeField(settings.caption) + L"\" not ready within " +
          Number(settings.timeoutMs) + L" ms\n");
      return false;
    }
    ::Sleep(1);
  }
  LARGE_INTEGER ready;
  ::QueryPerformanceCounter(&ready);
  result.ms = Milliseconds(start.QuadPart, ready.QuadPart);

  ::Sleep(settings.settleMs);
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  if (::GetProcessMemoryInfo(child.Process(), &memory, sizeof(memory))) {
    result.workingSet = memory.WorkingSetSize;
    result.peakWorkingSet = memory.PeakWorkingSetSize;
  }
  ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  if (!child.Ended(10000)) {
    Err(L"launchtime: the program did not end within 10 s of WM_CLOSE; ended it\n");
    return false;
  }
  result.steps = ReadStepMarks(start.QuadPart);
  result.steps.push_back(bench::StepTime{settings.lists ? "lists filled" : "visible", result.ms});
  return true;
}

void PrintSteps(const std::vector<bench::StepTime>& steps) {
  for (const bench::StepTime& step : steps) Out(L"step\t" + WidenAnsi(step.name) + Format(L"\t%.3f\n", step.at));
}

void PrintFigures(const std::vector<double>& times, const std::vector<double>& workingSets,
                  const std::vector<double>& peaks, const std::vector<std::vector<bench::StepTime>>& launches,
                  const std::vector<std::string>& platform = {}) {
  const bench::Summary launch = bench::Summarize(times);
  Out(L"runs\t" + Number(launch.count) + L"\n" + Format(L"launch_ms_median\t%.3f\n", launch.median) +
      Format(L"launch_ms_min\t%.3f\n", launch.min) + Format(L"launch_ms_q1\t%.3f\n", launch.q1) +
      Format(L"launch_ms_q3\t%.3f\n", launch.q3) + Format(L"launch_ms_max\t%.3f\n", launch.max) +
      Format(L"working_set_kb_median\t%.0f\n", bench::Summarize(workingSets).median) +
      Format(L"peak_working_set_kb_median\t%.0f\n", bench::Summarize(peaks).median));
  for (const bench::StepSummary& step : bench::SummarizeSteps(launches))
    Out(L"step_ms\t" + WidenAnsi(step.name) + Format(L"\t%.3f", step.atMedian) + Format(L"\t%.3f", step.tookMedian) +
        Format(L"\t%.3f", step.tookMin) + L"\t" + Number(step.count) + L"\n");
  std::vector<double> inside;
  for (const std::vector<bench::StepTime>& steps : launches) inside.push_back(bench::TimeOutside(steps, platform));
  const bench::Summary insideFigures = bench::Summarize(inside);
  Out(Format(L"inside_ms_median\t%.3f\n", insideFigures.median) + Format(L"inside_ms_min\t%.3f\n", insideFigures.min));
}

// "a,b,c" as its names.
std::vector<std::string> SplitSteps(const wchar_t* list) {
  std::vector<std::string> names(1);
  for (const char c : NarrowUtf8(list)) {
    if (c == ',') names.emplace_back();
    else names.back() += c;
  }
  return names;
}

// The figures of run lines gathered from several invocations, so that one summary serves them all.
int FiguresOf(const wchar_t* path, const std::vector<std::string>& platform) {
  FILE* file = _wfopen(path, L"r");
  if (!file) {
    Err(L"launchtime: cannot read " + std::wstring(path) + L"\n");
    return 1;
  }
  std::vector<double> times, workingSets, peaks;
  std::vector<std::vector<bench::StepTime>> launches(1);
  char line[256];
  while (std::fgets(line, sizeof(line), file)) {
    unsigned long index = 0;
    double ms = 0, workingSet = 0, peak = 0;
    char name[64];
    // A run's steps come before its run line.
    if (std::sscanf(line, "step\t%63[^\t]\t%lf", name, &ms) == 2) launches.back().push_back(bench::StepTime{name, ms});
    if (std::sscanf(line, "run\t%lu\t%lf\t%lf\t%lf", &index, &ms, &workingSet, &peak) != 4) continue;
    times.push_back(ms);
    workingSets.push_back(workingSet);
    peaks.push_back(peak);
    launches.emplace_back();
  }
  std::fclose(file);
  launches.pop_back();
  PrintFigures(times, workingSets, peaks, launches, platform);
  return 0;
}

int Run(int argc, wchar_t** argv) {
  if ((argc == 3 || argc == 5) && std::wstring(argv[1]) == L"--figures") {
    if (argc == 5 && std::wstring(argv[3]) != L"--platform") {
      Err(kUsageText);
      return kUsage;
    }
    return FiguresOf(dlgread::WindowsPath(argv[2]).c_str(), argc == 5 ? SplitSteps(argv[4]) : std::vector<std::string>());
  }
  Settings settings;
  int i = 1;
  for (; i < argc && argv[i][0] == L'-' && argv[i][1] == L'-'; i += 2) {
    const std::wstring option = argv[i];
    if (i + 1 >= argc) break;
    const wchar_t* value = argv[i + 1];
    unsigned long number = 0;
    if (option == L"--caption") {
      settings.caption = value;
      settings.haveCaption = true;
    } else if (option == L"--ready" && (std::wcscmp(value, L"visible") == 0 || std::wcscmp(value, L"lists") == 0)) {
      settings.lists = std::wcscmp(value, L"lists") == 0;
    } else if (!ParseNumber(value, number)) {
      break;
    } else if (option == L"--runs" && number > 0) {
      settings.runs = number;
    } else if (option == L"--warmup") {
      settings.warmup = number;
    } else if (option == L"--timeout" && number > 0) {
      settings.timeoutMs = number;
    } else if (option == L"--settle") {
      settings.settleMs = number;
    } else {
      break;
    }
  }
  if (i >= argc || argv[i][0] == L'-' || !settings.haveCaption) {
    Err(kUsageText);
    return kUsage;
  }
  settings.command.push_back(dlgread::WindowsPath(argv[i]));
  for (++i; i < argc; ++i) settings.command.push_back(argv[i]);
  const std::wstring commandLine = bench::JoinCommandLine(settings.command);

  std::vector<double> times, workingSets, peaks;
  std::vector<std::vector<bench::StepTime>> launches;
  for (unsigned long run = 0; run < settings.warmup + settings.runs; ++run) {
    RunResult result;
    if (!RunOnce(settings, commandLine, result)) return 1;
    if (run < settings.warmup) continue;
    times.push_back(result.ms);
    workingSets.push_back(static_cast<double>(result.workingSet / 1024));
    peaks.push_back(static_cast<double>(result.peakWorkingSet / 1024));
    launches.push_back(result.steps);
    PrintSteps(result.steps);
    Out(L"run\t" + Number(run - settings.warmup + 1) + Format(L"\t%.3f", result.ms) + L"\t" +
        Number(result.workingSet / 1024) + L"\t" + Number(result.peakWorkingSet / 1024) + L"\t" +
        Number(result.boxes) + L"\n");
  }
  PrintFigures(times, workingSets, peaks, launches);
  return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) { return Run(argc, argv); }
