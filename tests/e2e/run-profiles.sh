#!/usr/bin/env bash
# Replays every profile under tests/e2e/profiles with the real exe and compares the output with
# the profile's expected.txt. @MEMORY@ there stands for this machine's physical memory as the
# dialog rounds and shows it (wine reports /proc/meminfo's MemTotal). A profile with a file
# driver-x64 is served by the x86-64 build of the driver, the others by the i686 build.
#   run-profiles.sh BIN_DIR TEST_SATELLITE_DIR [PROFILE ...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
bin=${1:?bin dir}; satellites=${2:?test satellite dir}; shift 2
profiles=("$@")
[ ${#profiles[@]} -gt 0 ] || profiles=("$here"/profiles/*/)

memory=$(python3 "$top/tests/harness/expected-memory.py")

passed=0 failed=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for profile in "${profiles[@]}"; do
  name=$(basename "$profile")
  copy=$work/$name
  cp -r "$profile" "$copy"
  rm -f "$copy/expected.txt" "$copy/driver-x64"
  driver=$bin/boardinfo.sys
  [ -f "$profile/driver-x64" ] && driver=$bin/x64/boardinfo.sys
  # A profile that names a test satellite gets it beside the exe.
  if [ -f "$profile/test-satellite" ]; then
    cp "$satellites/$(cat "$profile/test-satellite")" "$copy/KCCSystemInfoENU.dll"
  fi
  sed "s/@MEMORY@/$memory/g" "$profile/expected.txt" > "$work/$name.expected"
  if KCC_BIN_DIR=$bin "$top/tools/replay" "$copy" --driver "$driver" > "$work/$name.out" 2> "$work/$name.err" &&
     diff -u "$work/$name.expected" "$work/$name.out" > "$work/$name.diff"; then
    echo "PASS $name"
    passed=$((passed + 1))
  else
    echo "FAIL $name"
    cat "$work/$name.err" "$work/$name.diff" 2>/dev/null
    failed=$((failed + 1))
  fi
done
echo "e2e: $passed passed, $failed failed"
[ $failed -eq 0 ]
