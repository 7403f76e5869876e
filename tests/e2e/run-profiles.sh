#!/usr/bin/env bash
# Replays every profile under tests/e2e/profiles with the real exe and compares the output with
# the profile's expected.txt. @MEMORY@ there stands for this machine's physical memory as the
# dialog rounds and shows it (wine reports /proc/meminfo's MemTotal). A profile with a file
# driver-x64 is served by the x86-64 build of the driver, the others by the i686 build.
# Each replay also runs KCCCapture in its prefix, and the capture must replay to the same output and hold
# in summary.txt the same rows and boxes; a profile with a file redact is captured with /redact, and its
# serial number must then be in no captured file and show as asterisks. A profile with a file locale runs,
# capture and all, under that locale (de_DE.UTF-8): wine takes the Windows UI language from LANG, and the
# program shows that language's satellite.
#   run-profiles.sh BIN_DIR TEST_SATELLITE_DIR [PROFILE ...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
. "$top/tools/lib/wine-env.sh"
bin=${1:?bin dir}; satellites=${2:?test satellite dir}; shift 2
profiles=("$@")
[ ${#profiles[@]} -gt 0 ] || profiles=("$here"/profiles/*/)

memory=$(python3 "$top/tests/harness/expected-memory.py")
# The serial number is row 3 of the system list.
system=$(resource_id IDC_LIST_SYSTEM) || exit 1

# Replays the capture and compares: the output, summary.txt, and with /redact the serial number's absence.
round_trip() {
  local profile=$1 copy=$2 captured=$3 out=$4 expected serial
  [ -f "$copy/KCCSystemInfoENU.dll" ] && cp "$copy/KCCSystemInfoENU.dll" "$captured/"
  expected=$out
  if [ -f "$profile/redact" ]; then
    serial=$(awk -F'\t' -v list="$system" '$1 == "row" && $2 == list && $3 == 3 { print $5 }' "$out")
    [ -n "$serial" ] || { echo "no serial number to redact"; return 1; }
    if grep -rqaF -- "$serial" "$captured"; then echo "the serial number $serial is in the capture"; return 1; fi
    expected=$captured.expected
    awk -F'\t' -v OFS='\t' -v list="$system" '$1 == "row" && $2 == list && $3 == 3 { gsub(/./, "*", $5) } { print }' \
      "$out" > "$expected"
  fi
  KCC_BIN_DIR=$bin "${in_locale[@]}" "$top/tools/replay" "$captured" > "$captured.out" 2> "$captured.err" ||
    { echo "the capture did not replay:"; cat "$captured.err"; return 1; }
  diff -u --label "replay of $(basename "$profile")" --label "replay of its capture" "$expected" "$captured.out" &&
    diff -u --label "replay without columns" --label summary.txt <(grep -v '^column' "$expected") "$captured/summary.txt"
}

passed=0 failed=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for profile in "${profiles[@]}"; do
  name=$(basename "$profile")
  copy=$work/$name
  cp -r "$profile" "$copy"
  rm -f "$copy/expected.txt" "$copy/driver-x64" "$copy/redact" "$copy/locale"
  in_locale=()
  [ -f "$profile/locale" ] && in_locale=(with_locale "$(tr -d '\r\n' < "$profile/locale")")
  driver=$bin/boardinfo.sys
  [ -f "$profile/driver-x64" ] && driver=$bin/x64/boardinfo.sys
  # A profile that names a test satellite gets it beside the exe.
  if [ -f "$profile/test-satellite" ]; then
    cp "$satellites/$(cat "$profile/test-satellite")" "$copy/KCCSystemInfoENU.dll"
  fi
  sed "s/@MEMORY@/$memory/g" "$profile/expected.txt" > "$work/$name.expected"
  captured=$work/$name.capture
  redact=()
  [ -f "$profile/redact" ] && redact=(--redact)
  if KCC_BIN_DIR=$bin "${in_locale[@]}" "$top/tools/replay" "$copy" --driver "$driver" --capture "$captured" "${redact[@]}" \
       > "$work/$name.out" 2> "$work/$name.err" &&
     diff -u "$work/$name.expected" "$work/$name.out" > "$work/$name.diff" &&
     round_trip "$profile" "$copy" "$captured" "$work/$name.out" >> "$work/$name.diff" 2>&1; then
    echo "PASS $name"
    passed=$((passed + 1))
  else
    echo "FAIL $name"
    cat "$work/$name.err" "$work/$name.diff" 2>/dev/null
    failed=$((failed + 1))
  fi
done
# One capture folder used three times, as a customer would: first without the driver, then with it (the
# replay must match the second capture, nothing of the first), then with /redact over the unredacted one
# (no serial number left in any file).
again() {
  local profile=$here/profiles/maker-method1 folder=$work/again serial=28291234-5007123
  [ -d "$profile" ] || return 0
  cp -r "$profile" "$work/again-driver" && rm -f "$work/again-driver/expected.txt"
  cp -r "$work/again-driver" "$work/again-nodriver" && touch "$work/again-nodriver/no-driver-service"
  KCC_BIN_DIR=$bin "$top/tools/replay" "$work/again-nodriver" --capture "$folder" > /dev/null 2>&1 ||
    { echo "the replay without the driver failed"; return 1; }
  KCC_BIN_DIR=$bin "$top/tools/replay" "$work/again-driver" --capture "$folder" > "$work/again.second" 2>/dev/null ||
    { echo "the replay with the driver failed"; return 1; }
  KCC_BIN_DIR=$bin "$top/tools/replay" "$folder" > "$work/again.out" 2> "$work/again.err" ||
    { echo "the second capture did not replay:"; cat "$work/again.err"; return 1; }
  diff -u --label "replay with the driver" --label "replay of the second capture" "$work/again.second" "$work/again.out" ||
    return 1
  KCC_BIN_DIR=$bin "$top/tools/replay" "$work/again-driver" --capture "$folder" --redact > /dev/null 2>&1 ||
    { echo "the replay with /redact failed"; return 1; }
  if grep -rqaF -- "$serial" "$folder"; then echo "the serial number $serial survived /redact in $folder"; return 1; fi
}
if again > "$work/again.diff" 2>&1; then
  echo "PASS capturing again into one folder"
  passed=$((passed + 1))
else
  echo "FAIL capturing again into one folder"
  cat "$work/again.diff"
  failed=$((failed + 1))
fi

echo "e2e: $passed passed, $failed failed"
[ $failed -eq 0 ]
