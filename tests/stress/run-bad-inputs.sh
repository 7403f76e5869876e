#!/usr/bin/env bash
# Replays machines with bad data (registry values of the wrong type or size, a 1 MB oeminfo.ini
# line, a malformed wmi.ini, malformed SMBIOS tables): the dialog must always open with both
# lists, and the lines of the profile's expect.txt must be among what it shows.
#   run-bad-inputs.sh BIN_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
bin=${1:?bin dir}
memory=$(python3 "$top/tests/harness/expected-memory.py")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
for profile in "$here"/profiles/*/; do
  name=$(basename "$profile")
  copy=$work/$name
  cp -r "$profile" "$copy"
  rm -f "$copy/expect.txt"
  # Kept out of the repository for its size: a Manufacturer line of 1 MB.
  if [ "$name" = huge-oeminfo-line ]; then
    python3 -c "import sys; open(sys.argv[1], 'w').write('[General]\r\nManufacturer=' + 'M' * (1 << 20) + '\r\nModel=ok\r\n')" "$copy/oeminfo.ini"
  fi
  ok=1
  start=$(date +%s%N)
  KCC_BIN_DIR=$bin "$top/tools/replay" "$copy" > "$work/$name.out" 2> "$work/$name.err" || ok=0
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  for id in 1001 1000; do
    grep -q "^row	$id	3	" "$work/$name.out" || ok=0
  done
  if [ -f "$profile/expect.txt" ]; then
    while IFS= read -r line; do
      grep -qxF -- "${line//@MEMORY@/$memory}" "$work/$name.out" || { ok=0; echo "  missing: $line"; }
    done < "$profile/expect.txt"
  fi
  if [ $ok = 1 ]; then
    echo "PASS $name (${ms} ms)"; passed=$((passed + 1))
  else
    echo "FAIL $name"; cat "$work/$name.err" "$work/$name.out"; failed=$((failed + 1))
  fi
done
echo "bad inputs: $passed passed, $failed failed"
[ $failed -eq 0 ]
