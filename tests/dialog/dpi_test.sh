#!/usr/bin/env bash
# The real exe at 96, 144 and 192 DPI: every label, value, group, button and About box text fits where it is
# shown, and the two columns keep their 1:2 split of the list's width.
#   dpi_test.sh BIN_DIR PROFILE_DIR ...
set -uo pipefail
bin=${1:?bin dir}
shift
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tools/lib/wine-env.sh"
system=$(resource_id IDC_LIST_SYSTEM) && hardware=$(resource_id IDC_LIST_HARDWARE) || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL $*"; failed=$((failed + 1)); }

runs=0
for profile in "$@"; do
for dpi in 96 144 192; do
  runs=$((runs + 1))
  name="$(basename "$profile") at $dpi"
  out=$work/$runs.txt
  if ! KCC_BIN_DIR=$bin "$top/tools/replay" "$profile" --dpi "$dpi" --fit > "$out" 2> "$work/$runs.err"; then
    fail "$name dpi: replay failed: $(cat "$work/$runs.err")"
    continue
  fi
  grep -P '^fit\t.*\tcut\t' "$out" | sed "s/^/FAIL $name dpi: text cut: /" && failed=$((failed + 1))
  [ "$(grep -c '^dialog' "$out")" = 2 ] || fail "$name dpi: the main dialog and the About box were not both measured"
  [ "$(grep -c '^fit' "$out")" -ge 20 ] || fail "$name dpi: too few texts measured"
  # Columns: label W - 2W/3, value 2W/3, the same for both lists.
  awk -F'\t' -v dpi="$name" -v lists="$system $hardware" '
    $1 == "column" { w[$2, $3] = $4 }
    END {
      split(lists, ids, " ")
      for (i = 1; i <= 2; ++i) {
        id = ids[i]
        total = w[id, 0] + w[id, 1]
        if (total == 0 || w[id, 1] != int(2 * total / 3)) { print "FAIL " dpi " dpi: list " id " columns " w[id, 0] " and " w[id, 1]; bad = 1 }
      }
      exit bad
    }' "$out" || failed=$((failed + 1))
  width=$(awk -F'\t' -v list="$hardware" '$1 == "column" && $2 == list { s += $4 } END { print s }' "$out")
  echo "$name dpi: list width $width, $(grep -c '^fit' "$out") texts measured"
done
done
echo "dpi: $runs runs, $failed failures"
[ "$failed" = 0 ]
