#!/usr/bin/env bash
# Builds the program (exe, satellites, driver, tools) into build/win32/bin; with --native also the native tests.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/setup.sh"
jobs=$(nproc)
cmake -S "$top" -B "$top/build/win32" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$top/build/win32" -j "$jobs"
if [ "${1:-}" = --native ]; then
  cmake -S "$top" -B "$top/build/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$top/build/native" -j "$jobs"
fi
echo "build: program in $top/build/win32/bin"
