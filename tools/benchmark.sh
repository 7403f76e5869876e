#!/usr/bin/env bash
# Builds the program and prints its performance figures: launch times and start-up steps beside a bare
# dialog, our own cost over several rounds with their spread, with the WMI fixture, with wine's WMI and
# without a driver; working sets, the platform calls timed in a process, the driver walk beside the
# in-process firmware-table walk, file sizes.
#   KCC_BENCH_RUNS=N    launches of each program per round (default 15)
#   KCC_BENCH_ROUNDS=N  rounds with the WMI fixture (default 3)
# Figures only: nothing here fails on speed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/tools/lib/wine-env.sh"
"$top/tools/build.sh" >/dev/null
# Where wine cannot start the i686 program the figures are the x86-64 build's: the same code, another
# compiler target and wine loader.
wine_select_build
build=$wine_build
bin=$build/bin
state=$build/benchenv
out=$(mktemp -d)
trap 'rm -rf "$out"; "$top/tools/wmifixture/register.sh" unregister >/dev/null 2>&1 || true; wine_env_stop "$state"' EXIT
wine_env_enter "$state" "$bin"
register_driver_location

runs=${KCC_BENCH_RUNS:-15}
rounds=${KCC_BENCH_ROUNDS:-3}

echo "== our own cost: the WMI fixture answers all five queries (tests/e2e/profiles/maker-method1/wmi.ini),"
echo "   so no box; the steps are timed with the launcher's clock, and the platform's calls among them are"
echo "   left out of the program's time"
KCC_BIN_DIR=$bin "$top/tools/wmifixture/register.sh" register "$bin/kccwmifixture.dll" \
  "$top/tests/e2e/profiles/maker-method1/wmi.ini"
KCC_BENCH_RUNS=$runs KCC_BENCH_ROUNDS=$rounds "$top/tools/bench/run.sh" "$bin"
echo "platform calls timed in a process with a window (OLE, WMI connection, five queries, driver walk), ms:"
wine "$bin/probe.exe" --runs "$runs" --calls
echo
echo "== with wine's WMI: it has no level-4 cache, so the program shows its Next error box on the way"
echo "   (the benchmark answers it as soon as it appears; the cache query's step holds the box)"
"$top/tools/wmifixture/register.sh" unregister
KCC_BENCH_RUNS=$runs "$top/tools/bench/run.sh" "$bin" | sed -n '/^launch to dialog visible/,/^steps of baredlg.exe,/p' | sed '$d'
wine "$bin/probe.exe" --runs "$runs" --empty
wine "$bin/probe.exe" --runs "$runs" --calls
echo
echo "== without a driver: no location registered, so the program walks Windows' firmware table"
wine reg delete "$driver_location_key" /v boardinfo /f >/dev/null 2>&1 || true
KCC_BENCH_RUNS=$runs "$top/tools/bench/run.sh" "$bin" | sed -n '/^launch to dialog visible/,/^$/p'
register_driver_location
echo "SMBIOS walk over the real driver, and the same tables as firmware blobs walked in-process:"
KCC_SOURCE_DIR=$top KCC_BIN_DIR=$bin wine "$build/tests-bin/boardinfo_bench.exe" 2>/dev/null | grep -v '^\[' || true
