// Start-up step marks, kept in a fixed table and written at the end, so that marking costs a counter read.
#include "framework/step_marks.h"

#include <windows.h>

namespace {
constexpr int kMaxSteps = 32;
constexpr DWORD kPathSize = MAX_PATH;

struct Step {
  const char* name;
  LONGLONG counter;
};

Step g_steps[kMaxSteps];
int g_count = 0;
int g_enabled = -1; // -1: not looked up yet
wchar_t g_path[kPathSize];

bool Enabled() {
  if (g_enabled < 0) {
    const DWORD length = ::GetEnvironmentVariableW(L"KCC_STEP_MARKS", g_path, kPathSize);
    g_enabled = length > 0 && length < kPathSize ? 1 : 0;
  }
  return g_enabled == 1;
}

// Decimal digits of a non-negative counter, by hand: the bare dialog uses none of the C library's formatting.
int FormatCounter(LONGLONG value, char* out) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0 && n < 24);
  for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
  return n;
}
} // namespace

void StepMark(const char* step) {
  if (!Enabled() || g_count == kMaxSteps) return;
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  for (int i = 0; i < g_count; ++i) {
    if (g_steps[i].name == step) return;
  }
  g_steps[g_count++] = Step{step, now.QuadPart};
}

void WriteStepMarks() {
  if (!Enabled() || g_count == 0) return;
  const HANDLE file = ::CreateFileW(g_path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char line[96];
  for (int i = 0; i < g_count; ++i) {
    int n = 0;
    for (const char* c = g_steps[i].name; *c && n < 60; ++c) line[n++] = *c;
    line[n++] = '\t';
    n += FormatCounter(g_steps[i].counter, line + n);
    line[n++] = '\n';
    DWORD written = 0;
    ::WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
  }
  ::CloseHandle(file);
}
