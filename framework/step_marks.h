// Start-up step marks: when KCC_STEP_MARKS names a file, each step's performance-counter time is written there.
#ifndef KCC_FRAMEWORK_STEP_MARKS_H
#define KCC_FRAMEWORK_STEP_MARKS_H

// Records the counter's time at the first call with `step`, a string literal (names are compared by
// address); later calls with the same name do nothing. Without the variable it costs one environment
// lookup per process and nothing after.
void StepMark(const char* step);

// Appends the recorded steps to the named file, one "step<TAB>counter" line each, in the order they
// were reached; the counter is QueryPerformanceCounter's, the same clock in every process.
void WriteStepMarks();

#endif
