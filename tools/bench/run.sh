#!/usr/bin/env bash
# Launch benchmark: KCCSystemInfo.exe beside a bare dialog from the same template, working sets, file sizes.
#   run.sh BIN_DIR     with WINEPREFIX and DISPLAY exported and a persistent wineserver up
#                      (e.g. wine_env_load STATE_DIR, from tools/lib/wine-env.sh)
#   KCC_BENCH_RUNS=N   timed runs per program and round (default 15), after one warm-up run of each
#   KCC_BENCH_ROUNDS=N rounds (default 1): each gives its own own-cost figure, and their spread is shown;
#                      the tables are of all rounds' runs together
# Prints figures only; nothing here fails on speed.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../lib/wine-env.sh"
bin=$(cd "${1:?usage: run.sh BIN_DIR}" && pwd)
runs=${KCC_BENCH_RUNS:-15}
rounds=${KCC_BENCH_ROUNDS:-1}
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

# once NAME "LAUNCHTIME OPTIONS" EXE [ARGS...]: one timed run, its step and run lines appended to $work/NAME.runs.
once() {
  local name=$1 options=$2; shift 2
  # shellcheck disable=SC2086 # the options are words
  wine "$bin/launchtime.exe" --runs 1 --warmup 0 --caption "$caption" $options "$@" >"$work/once" 2>"$work/$name.err" ||
    return 1
  grep -E $'^(run|step)\t' "$work/once" | tee -a "$work/$name.$round.runs" >> "$work/$name.runs"
}
# The program's steps that are the platform's calls: OLE, the named objects and the watcher thread, the
# driver's requests, WMI's connection, queries and release (its worker's end), the INI file. The rest, from
# entry to visible, is the program's own code and what the bare dialog does as well.
platform_steps="ole,observer,machine walk,wmi connect,memory query,cache query,computer query,bios query,os query,oeminfo,wmi released"
# figures NAME: launchtime's own summary (medians, quartiles, extremes, steps) of the lines in $work/NAME.runs.
figures() {
  wine "$bin/launchtime.exe" --figures "$(windows_path "$work/$1.runs")" --platform "$platform_steps" | tr -d '\r' \
    > "$work/$1.figures"
}
# value NAME FIELD: 1-5 the launch median, min, q1, q3, max (ms); 6 and 7 the median working set and peak (KB);
# 8 and 9 the median and least time from entry to visible outside the platform's calls (ms).
value() {
  local keys=(launch_ms_median launch_ms_min launch_ms_q1 launch_ms_q3 launch_ms_max working_set_kb_median
              peak_working_set_kb_median inside_ms_median inside_ms_min)
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
# falls on all of them alike. The first run of each is a warm-up and is not counted.
have_program=0
[ -f "$program" ] && have_program=1
lists=$have_program
for round in $(seq 1 "$rounds"); do
  for run in $(seq "$([ "$round" = 1 ] && echo 0 || echo 1)" "$runs"); do
    if [ $have_program = 1 ] && ! once program "" "$program"; then cat "$work/program.err" >&2; have_program=0; lists=0; fi
    once bare "" "$bare" || { cat "$work/bare.err" >&2; exit 1; }
    once thread "" "$bare" --thread || { cat "$work/thread.err" >&2; exit 1; }
    if [ $lists = 1 ] && ! once lists "--ready lists --timeout 10000" "$program"; then lists=0; fi
    if [ "$run" = 0 ]; then rm -f "$work"/*.runs; fi
  done
done
for name in program bare thread lists; do
  if [ -s "$work/$name.runs" ]; then figures $name; fi
done
# Each round's own cost needs only these two.
for name in program thread; do
  for round in $(seq 1 "$rounds"); do
    if [ "$rounds" -gt 1 ] && [ -s "$work/$name.$round.runs" ]; then figures "$name.$round"; fi
  done
done

echo "KCCSystemInfo launch benchmark: $rounds x $runs runs each, alternating, after 1 warm-up run, persistent wineserver, $(wine --version 2>/dev/null || echo wine)"
echo "caption: \"$caption\""
echo
row "launch to dialog visible, ms" median min q1 q3 max
if [ $have_program = 1 ]; then launch "KCCSystemInfo.exe" program; else row "KCCSystemInfo.exe" "n/a"; fi
launch "baredlg.exe" bare
launch "baredlg.exe --thread" thread
if [ $have_program = 1 ]; then difference "difference (program - bare)" program bare; fi
echo
# steps NAME TITLE: its start-up steps, as it marked them with the launcher's clock.
steps() {
  row "steps of $2, ms" "reached" "took" "least"
  awk -F'\t' '$1 == "step_ms" { printf "  %-34s%10.1f%10.1f%10.1f\n", $2, $3, $4, $5 }' "$work/$1.figures"
  echo
}
if [ $have_program = 1 ]; then steps program KCCSystemInfo.exe; fi
steps bare baredlg.exe
steps thread "baredlg.exe --thread"
# cost A B: the difference of A's and B's time from entry to visible outside the calls: medians, minimums.
cost() {
  awk -v am="$(value "$1" 8)" -v an="$(value "$1" 9)" -v bm="$(value "$2" 8)" -v bn="$(value "$2" 9)" \
    'BEGIN { printf "%.1f ms from the medians, %.1f ms from the minimums\n", am - bm, an - bn }'
}
row "entry to visible outside the calls, ms" median min
if [ $have_program = 1 ]; then row "KCCSystemInfo.exe" "$(value program 8)" "$(value program 9)"; fi
row "baredlg.exe" "$(value bare 8)" "$(value bare 9)"
row "baredlg.exe --thread" "$(value thread 8)" "$(value thread 9)"
echo "wine's cost of a second, waiting thread (bare --thread - bare): $(cost thread bare)"
if [ $have_program = 1 ]; then
  echo "our own cost (program - bare dialog with its thread, outside the calls): $(cost program thread)"
  if [ "$rounds" -gt 1 ]; then
    for round in $(seq 1 "$rounds"); do
      echo "  round $round: $(cost "program.$round" "thread.$round")"
    done | tee "$work/rounds"
    awk '{ m[NR] = $3; n[NR] = $8 }
      END {
        lo = m[1]; hi = m[1]; nlo = n[1]; nhi = n[1]
        for (i = 2; i <= NR; i++) {
          if (m[i] < lo) lo = m[i]; if (m[i] > hi) hi = m[i]; if (n[i] < nlo) nlo = n[i]; if (n[i] > nhi) nhi = n[i]
        }
        printf "  spread over the %d rounds: %.1f ms from the medians (%.1f to %.1f), %.1f ms from the minimums (%.1f to %.1f)\n", NR, hi - lo, lo, hi, nhi - nlo, nlo, nhi
      }' "$work/rounds"
  fi
fi
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
