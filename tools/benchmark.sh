#!/usr/bin/env bash
# Builds the program and prints its performance figures: launch times beside a bare dialog and a
# window-less probe of the same platform calls, working sets, the driver walk, file sizes.
# Figures only: nothing here fails on speed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh" >/dev/null
bin=$top/build/win32/bin
state=$top/build/win32/benchenv
"$top/tests/harness/testenv.sh" start "$state" "$bin" >/dev/null
trap '"$top/tests/harness/testenv.sh" stop "$state"' EXIT
eval "$("$top/tests/harness/testenv.sh" env "$state")"
wine reg add 'HKLM\SOFTWARE\Varnel Corporation\Shared Info\Shared Services' /v boardinfo /d boardinfo /f >/dev/null 2>&1

runs=${KCC_BENCH_RUNS:-15}
KCC_BENCH_RUNS=$runs "$top/tools/bench/run.sh" "$bin"
echo
echo "platform calls alone (OLE, WMI connection, five queries with their reads, driver walk), no window, ms:"
wine "$bin/probe.exe" --runs "$runs" --empty
wine "$bin/probe.exe" --runs "$runs"
echo
echo "SMBIOS walk over the real driver:"
KCC_SOURCE_DIR=$top KCC_BIN_DIR=$bin wine "$top/build/win32/tests-bin/boardinfo_bench.exe" 2>/dev/null | grep -v '^\[' || true
