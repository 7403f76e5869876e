#!/usr/bin/env bash
# Copying the summary from the real exe: Ctrl+C and the lists' context menu each put exactly the rows the
# dialog reader reads on the clipboard (label TAB value, list 1001 first), and another process reads them.
# Over empty lists (WMI did not connect) neither touches the clipboard.
#   copy_test.sh BIN_DIR PROFILE_DIR
set -uo pipefail
bin=${1:?bin dir} profile=${2:?profile}
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
KCC_BIN_DIR=$bin "$top/tools/replay" "$profile" --copy > "$work/out.txt" 2> "$work/err.txt" ||
  { echo "FAIL replay: $(cat "$work/err.txt")"; exit 1; }
# The rows as the reader reads them: list 1001 first, as replay prints them.
awk -F'\t' '$1 == "row" { print "copied\t" $4 "\t" $5 }' "$work/out.txt" > "$work/rows.txt"
grep '^copied' "$work/out.txt" > "$work/copied.txt"
rows=$(wc -l < "$work/rows.txt")
failed=0
[ "$rows" -ge 10 ] || { echo "FAIL only $rows rows read"; failed=1; }
cat "$work/rows.txt" "$work/rows.txt" > "$work/expected.txt" # Ctrl+C, then the menu entry
if ! diff -u "$work/expected.txt" "$work/copied.txt"; then
  echo "FAIL the clipboard does not hold the rows the dialog shows"
  failed=1
fi
grep -q 'cannot\|nothing was copied' "$work/err.txt" && { cat "$work/err.txt"; failed=1; }
KCC_BIN_DIR=$bin "$top/tools/replay" "$top/tests/e2e/profiles/no-connect" --copy > "$work/empty.txt" 2> "$work/empty.err" ||
  { echo "FAIL replay without WMI: $(cat "$work/empty.err")"; failed=1; }
if grep -q '^copied' "$work/empty.txt" || [ "$(grep -c 'nothing was copied' "$work/empty.err")" != 2 ]; then
  echo "FAIL copying empty lists changed the clipboard"
  failed=1
fi
echo "copy: $rows rows, copied twice, $([ $failed = 0 ] && echo same || echo different); empty lists copy nothing"
exit $failed
