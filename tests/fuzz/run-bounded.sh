#!/usr/bin/env bash
# Runs each libFuzzer target for a share of SECONDS on a scratch copy of the committed corpus and
# prints how many inputs each executed; fails when a target finds a crash.
#   run-bounded.sh BUILD_DIR SECONDS
set -euo pipefail
build=${1:?build dir of a KCC_FUZZ=ON build}
seconds=${2:?seconds in all}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Each target with its committed seeds: the walk and the parsers here, the driver's table logic beside the driver.
targets=(walk_fuzzer parse_fuzzer boardinfo_table_fuzz)
seeds() {
  case $1 in
    boardinfo_table_fuzz) echo "$here/../driver/fuzz_corpus" ;;
    *) echo "$here/corpus/${1%_fuzzer}" ;;
  esac
}
share=$(( seconds / ${#targets[@]} ))
[ "$share" -ge 1 ] || share=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
total=0
for target in "${targets[@]}"; do
  exe=$(find "$build" -type f -name "$target" -perm -u+x | head -n 1)
  if [ -z "$exe" ]; then echo "fuzz: $target not built in $build" >&2; status=1; continue; fi
  corpus=$work/corpus-$target
  mkdir -p "$corpus" "$work/artifacts-$target"
  cp "$(seeds "$target")/"* "$corpus/"
  log=$work/$target.log
  if ! "$exe" -max_total_time="$share" -print_final_stats=1 -artifact_prefix="$work/artifacts-$target/" \
       "$corpus" >"$log" 2>&1; then
    echo "fuzz: $target FAILED" >&2
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" >&2 || tail -n 30 "$log" >&2
    # The input that failed outlives the scratch folder.
    mkdir -p "$build/fuzz-artifacts" && cp -r "$work/artifacts-$target" "$build/fuzz-artifacts/" &&
      echo "fuzz: the failing input is kept in $build/fuzz-artifacts/artifacts-$target" >&2
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  runs=${runs:-0}
  total=$(( total + runs ))
  echo "fuzz: $target: $runs executions in ${share} s"
done
echo "fuzz: $total executions in all"
exit $status
