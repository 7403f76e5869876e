#!/usr/bin/env bash
# Launch benchmark: KCCSystemInfo.exe beside a bare dialog from the same template, working sets, file sizes.
#   run.sh BIN_DIR     with WINEPREFIX and DISPLAY exported and a persistent wineserver up
#                      (e.g. wine_env_load STATE_DIR, from tools/lib/wine-env.sh)
#   KCC_BENCH_RUNS=N   timed runs per program (default 15), after one warm-up round
# Prints figures only; nothing here fails on speed.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../lib/wine-env.sh"
bin=$(cd "${1:?usage: run.sh BIN_DIR}" && pwd)
runs=${KCC_BENCH_RUNS:-15}
: "${WINEPREFIX:?WINEPREFIX not set}" "${DISPLAY:?DISPLAY not set}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

program=$bin/KCCSystemInfo.exe
bare=$bin/baredlg.exe
satellite=$bin/KCCSystemInfoENU.dll
for f in "$bin/launchtime.exe" "$bin/dlgread.exe" "$bare" "$satellite"; do
  [ -f "$f" ] || { echo "run.sh: $f is missing (build the tools first)" >&2; exit 1; }
done
caption=$(dialog_caption "$bin/dlgread.exe" "$satellite")

# once NAME EXE [launchtime options...]: one timed run, its "run" line appended to $work/NAME.runs.
once() {
  local name=$1 exe=$2; shift 2
  wine "$bin/launchtime.exe" --runs 1 --warmup 0 --caption "$caption" "$@" "$exe" >"$work/once" 2>"$work/$name.err" ||
    return 1
  grep $'^run\t' "$work/once" >> "$work/$name.runs"
}
# figures NAME: launchtime's own summary (medians, quartiles, extremes) of the run lines in $work/NAME.runs.
figures() {
  wine "$bin/launchtime.exe" --figures "$(windows_path "$work/$1.runs")" | tr -d '\r' > "$work/$1.figures"
}
# value NAME FIELD: 1-5 the launch median, min, q1, q3, max (ms); 6 and 7 the median working set and peak (KB).
value() {
  local keys=(launch_ms_median launch_ms_min launch_ms_q1 launch_ms_q3 launch_ms_max working_set_kb_median
              peak_working_set_kb_median)
  awk -F'\t' -v k="${keys[$2 - 1]}" '$1 == k { print $2 }' "$work/$1.figures"
}
row() {
  printf '%-36s' "$1"; shift
  printf '%10s' "$@"; printf '\n'
}
launch() { row "$1" "$(value "$2" 1)" "$(value "$2" 2)" "$(value "$2" 3)" "$(value "$2" 4)" "$(value "$2" 5)"; }
difference() {
  local f args=()
  for f in 1 2 3 4 5; do
    args+=("$(awk -v a="$(value "$2" $f)" -v b="$(value "$3" $f)" 'BEGIN { printf "%.3f", a - b }')")
  done
  row "$1" "${args[@]}"
}

# Runs alternate between the programs, so that a change in the machine's load during the benchmark
# falls on all of them alike. The first round is a warm-up and is not counted.
have_program=0
[ -f "$program" ] && have_program=1
lists=$have_program
for round in $(seq 0 "$runs"); do
  if [ $have_program = 1 ] && ! once program "$program"; then cat "$work/program.err" >&2; have_program=0; lists=0; fi
  once bare "$bare" || { cat "$work/bare.err" >&2; exit 1; }
  if [ $lists = 1 ] && ! once lists "$program" --ready lists --timeout 10000; then lists=0; fi
  if [ "$round" = 0 ]; then rm -f "$work"/*.runs; fi
done
for name in program bare lists; do
  if [ -s "$work/$name.runs" ]; then figures $name; fi
done

echo "KCCSystemInfo launch benchmark: $runs runs each, alternating, after 1 warm-up round, persistent wineserver, $(wine --version 2>/dev/null || echo wine)"
echo "caption: \"$caption\""
echo
row "launch to dialog visible, ms" median min q1 q3 max
if [ $have_program = 1 ]; then launch "KCCSystemInfo.exe" program; else row "KCCSystemInfo.exe" "n/a"; fi
launch "baredlg.exe" bare
if [ $have_program = 1 ]; then difference "difference (program - bare)" program bare; fi
echo
row "launch to both lists filled, ms" median min q1 q3 max
if [ $lists = 1 ]; then
  launch "KCCSystemInfo.exe" lists
  difference "difference (lists - visible)" lists program
else
  row "KCCSystemInfo.exe" "n/a"
  if [ -s "$work/lists.err" ]; then sed 's/^/  /' "$work/lists.err"; fi
fi
echo
row "working set of the open dialog, KB" "median" "peak"
if [ $have_program = 1 ]; then row "KCCSystemInfo.exe" "$(value program 6)" "$(value program 7)"; fi
row "baredlg.exe" "$(value bare 6)" "$(value bare 7)"
if [ $have_program = 1 ]; then
  row "difference (program - bare)" "$(( $(value program 6) - $(value bare 6) ))" "$(( $(value program 7) - $(value bare 7) ))"
fi
echo
row "file size" bytes KB
for f in KCCSystemInfo.exe KCCSystemInfoENU.dll KCCSystemInfoJPN.dll; do
  [ -f "$bin/$f" ] || continue
  size=$(stat -c %s "$bin/$f")
  row "$f" "$size" "$(awk -v s="$size" 'BEGIN { printf "%.1f", s / 1024 }')"
done
