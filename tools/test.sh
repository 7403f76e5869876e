#!/usr/bin/env bash
# Builds and runs every test: native (ASan, UBSan), Win32 under wine, and a bounded fuzz run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
status=0
"$top/tools/build.sh" --native
. "$top/tools/lib/wine-env.sh"
# The x86-64 build of the same code: the release test compares the shipped i686 programs with it, and where
# wine's 32-bit loader cannot run, every other wine test runs on it.
wine_build_x64

echo "== native tests"
ctest --test-dir "$top/build/native" --output-on-failure -j "$jobs" || status=1

if wine_runs_32bit; then
  echo "== Win32 tests under wine"
  # Wine builds its firmware table from /sys/class/dmi/id: the tests see none, whatever this machine has.
  "$top/tools/with-dmi-id" -- ctest --test-dir "$top/build/win32" --output-on-failure || status=1
else
  # Wine's 32-bit loader cannot run here. The i686 build (what ships) gets the checks that need no wine; the
  # same code built for x86-64 runs every wine test under wine's 64-bit loader; and the release test starts the
  # zip's i686 programs under qemu-i386 in a namespace of its own.
  echo "== Win32 checks of the i686 build that need no wine: $(wine_explain_32bit)"
  ctest --test-dir "$top/build/win32" --output-on-failure -LE wine || status=1
  echo "== Win32 tests under wine, x86-64 test build"
  KCC_WINE64=1 "$top/tools/with-dmi-id" -- ctest --test-dir "$top/build/win64" --output-on-failure -L wine -LE wine32 ||
    status=1
  echo "== the release's i686 programs, emulated"
  ctest --test-dir "$top/build/win32" --output-on-failure -L wine32 || status=1
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
