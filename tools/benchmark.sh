#!/usr/bin/env bash
# Builds the program and prints its performance figures: launch times beside a bare dialog and a
# probe of the same platform calls (whole runs, and the calls timed inside a process), our own cost,
# with wine's WMI and with the WMI fixture, and without a driver; working sets, the driver walk beside the
# in-process firmware-table walk, file sizes.
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

# own_cost LAUNCH_OUTPUT CALLS_OUTPUT: program - bare dialog - the platform calls, from the medians and
# from the minimums (the least disturbed runs: on a virtual machine the medians move by tens of ms).
own_cost() {
  local launch calls
  launch=$(awk '/^difference \(program - bare\)/ { print $5, $6; exit }' "$1")
  calls=$(awk -F'\t' '{ split($3, m, " "); split($4, n, " "); print m[2], n[2]; exit }' "$2")
  echo "$launch $calls" | awk '{ printf "our own cost (program - bare dialog - platform calls): %.1f ms from the medians, %.1f ms from the minimums\n", $1 - $3, $2 - $4 }'
}

echo "== with wine's WMI: it has no level-4 cache, so the program shows its Next error box on the way"
echo "   (the benchmark answers it as soon as it appears)"
KCC_BENCH_RUNS=$runs "$top/tools/bench/run.sh" "$bin" | tee "$out/launch"
echo
echo "platform calls (OLE, WMI connection, five queries with their reads, driver walk), ms:"
wine "$bin/probe.exe" --runs "$runs" --empty
wine "$bin/probe.exe" --runs "$runs"
wine "$bin/probe.exe" --runs "$runs" --calls | tee "$out/calls"
own_cost "$out/launch" "$out/calls"
echo
echo "== with the WMI fixture answering all five queries (tests/e2e/profiles/maker-method1/wmi.ini): no box"
KCC_BIN_DIR=$bin "$top/tools/wmifixture/register.sh" register "$bin/kccwmifixture.dll" \
  "$top/tests/e2e/profiles/maker-method1/wmi.ini"
KCC_BENCH_RUNS=$runs "$top/tools/bench/run.sh" "$bin" | sed -n '/^launch to dialog visible/,/^$/p' | tee "$out/launch"
wine "$bin/probe.exe" --runs "$runs" --calls | tee "$out/calls"
own_cost "$out/launch" "$out/calls"
echo
echo "== the same without a driver: no location registered, so the program walks Windows' firmware table"
wine reg delete "$driver_location_key" /v boardinfo /f >/dev/null 2>&1 || true
KCC_BENCH_RUNS=$runs "$top/tools/bench/run.sh" "$bin" | sed -n '/^launch to dialog visible/,/^$/p'
register_driver_location
"$top/tools/wmifixture/register.sh" unregister
echo
echo "SMBIOS walk over the real driver, and the same tables as firmware blobs walked in-process:"
KCC_SOURCE_DIR=$top KCC_BIN_DIR=$bin wine "$build/tests-bin/boardinfo_bench.exe" 2>/dev/null | grep -v '^\[' || true
