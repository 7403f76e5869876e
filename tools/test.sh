#!/usr/bin/env bash
# Builds and runs every test: native (ASan, UBSan), Win32 under wine, and a bounded fuzz run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh" --native
jobs=$(nproc)
status=0

echo "== native tests"
ctest --test-dir "$top/build/native" --output-on-failure -j "$jobs" || status=1

. "$top/tools/lib/wine-env.sh"
if wine_runs_32bit; then
  echo "== Win32 tests under wine"
  # Wine builds its firmware table from /sys/class/dmi/id: the tests see none, whatever this machine has.
  "$top/tools/with-dmi-id" -- ctest --test-dir "$top/build/win32" --output-on-failure || status=1
else
  # Said loudly and counted: the checks that need no wine (import tables, static analysis) still run.
  skipped=$(ctest --test-dir "$top/build/win32" -N -L wine | sed -n 's/^Total Tests: //p')
  echo "== Win32 tests under wine: NOT RUN ($skipped tests): $(wine_explain_32bit)"
  echo "== Win32 checks that need no wine"
  ctest --test-dir "$top/build/win32" --output-on-failure -LE wine || status=1
fi

if [ -f "$top/tests/fuzz/CMakeLists.txt" ]; then
  echo "== fuzzing (bounded)"
  CC=clang CXX=clang++ cmake -S "$top" -B "$top/build/fuzz" -DKCC_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$top/build/fuzz" -j "$jobs"
  if [ -x "$top/tests/fuzz/run-bounded.sh" ]; then
    "$top/tests/fuzz/run-bounded.sh" "$top/build/fuzz" "${KCC_FUZZ_SECONDS:-60}" || status=1
  fi
fi
exit $status
