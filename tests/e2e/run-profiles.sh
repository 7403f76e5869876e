#!/usr/bin/env bash
# Replays every profile under tests/e2e/profiles with the real exe and compares the output with
# the profile's expected.txt. @MEMORY@ there stands for this machine's physical memory as the
# dialog rounds and shows it (wine reports /proc/meminfo's MemTotal). A profile with a file
# driver-x64 is served by the x86-64 build of the driver, the others by the i686 build.
# Each replay also runs KCCCapture in its prefix, and the capture must replay to the same output and hold
# in summary.txt the same rows and boxes; a profile with a file redact is captured with /redact, and its
# serial number must then be in no captured file and show as asterisks. A profile with a file locale runs,
# capture and all, under that locale (de_DE.UTF-8): wine takes the Windows UI language from LANG, and the
# program shows that language's satellite. Then one folder is captured into again and again (a capture killed
# in the middle among them, and what killed captures left put right), a capture goes into the folder it stands
# in, KCCCapture /summary is compared with the dialog's copied rows, a folder holding a user's files is refused,
# a real server's table from ../shared/smbios/real is captured with /redact onto the desktop, and a Hyper-V table
# shows the processor Windows names.
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
  rm -f "$copy/expected.txt" "$copy/driver-x64" "$copy/redact" "$copy/locale" "$copy/timeout" "$copy/halt-early"
  # A profile whose WMI hangs must show its dialog within this many seconds.
  limit=()
  [ -f "$profile/timeout" ] && limit=(--timeout "$(tr -d '\r\n' < "$profile/timeout")")
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
  # With a file halt-early: a /halt sent while the program still gathers closes it once its dialog is there.
  early() {
    [ -f "$profile/halt-early" ] || return 0
    KCC_BIN_DIR=$bin "$top/tools/replay" "$copy" --driver "$driver" --halt-early "${limit[@]}" 2>&1 |
      grep -qx 'halted early' || { echo "an early /halt did not close the program"; return 1; }
  }
  if KCC_BIN_DIR=$bin "${in_locale[@]}" "$top/tools/replay" "$copy" --driver "$driver" --capture "$captured" "${redact[@]}" \
       "${limit[@]}" > "$work/$name.out" 2> "$work/$name.err" &&
     diff -u "$work/$name.expected" "$work/$name.out" > "$work/$name.diff" &&
     round_trip "$profile" "$copy" "$captured" "$work/$name.out" >> "$work/$name.diff" 2>&1 &&
     early >> "$work/$name.diff" 2>&1; then
    echo "PASS $name"
    passed=$((passed + 1))
  else
    echo "FAIL $name"
    cat "$work/$name.err" "$work/$name.diff" 2>/dev/null
    failed=$((failed + 1))
  fi
done
# Runs a check function, counting it.
check() {
  local title=$1
  shift
  if "$@" > "$work/check.out" 2>&1; then
    echo "PASS $title"
    passed=$((passed + 1))
  else
    echo "FAIL $title"
    cat "$work/check.out"
    failed=$((failed + 1))
  fi
}

# What KCCCapture said its status was, from a replay's standard error.
capture_status() { sed -n 's/^replay: KCCCapture exited with status //p' "$1"; }

# One capture folder used again and again, as a customer would: first without the driver, then with it (the
# replay must match the second capture, nothing of the first), then a capture killed while its walk is held
# (the second stays whole), then with /redact over the unredacted one (no serial number left in any file, and
# nothing left beside the folder).
again() {
  local profile=$here/profiles/maker-method1 folder=$work/again serial=28291234-5007123
  [ -d "$profile" ] || { echo "no profile $profile"; return 1; }
  cp -r "$profile" "$work/again-driver" && rm -f "$work/again-driver/expected.txt"
  cp -r "$work/again-driver" "$work/again-nodriver" && touch "$work/again-nodriver/no-driver-service"
  cp -r "$work/again-driver" "$work/again-held" && printf 'HoldRequest=3\r\nHoldMs=10000\r\n' > "$work/again-held/driver-faults"
  KCC_BIN_DIR=$bin "$top/tools/replay" "$work/again-nodriver" --capture "$folder" > /dev/null 2>&1 ||
    { echo "the replay without the driver failed"; return 1; }
  KCC_BIN_DIR=$bin "$top/tools/replay" "$work/again-driver" --capture "$folder" > "$work/again.second" 2>/dev/null ||
    { echo "the replay with the driver failed"; return 1; }
  KCC_BIN_DIR=$bin "$top/tools/replay" "$folder" > "$work/again.out" 2> "$work/again.err" ||
    { echo "the second capture did not replay:"; cat "$work/again.err"; return 1; }
  diff -u --label "replay with the driver" --label "replay of the second capture" "$work/again.second" "$work/again.out" ||
    return 1
  cp -r "$folder" "$work/again.kept"
  KCC_BIN_DIR=$bin "$top/tools/replay" "$work/again-held" --capture "$folder" --kill-capture > /dev/null 2> "$work/again.killed" ||
    { echo "the replay with the held walk failed:"; cat "$work/again.killed"; return 1; }
  [ "$(capture_status "$work/again.killed")" = 137 ] || { echo "the capture was not killed:"; cat "$work/again.killed"; return 1; }
  compgen -G "$folder.kcccapture-*" > /dev/null || { echo "the killed capture had not begun beside $folder"; return 1; }
  diff -r "$work/again.kept" "$folder" || { echo "the killed capture changed the earlier one"; return 1; }
  KCC_BIN_DIR=$bin "$top/tools/replay" "$work/again-driver" --capture "$folder" --redact > /dev/null 2> "$work/again.redact" ||
    { echo "the replay with /redact failed"; return 1; }
  [ "$(capture_status "$work/again.redact")" = 0 ] || { echo "the capture after the killed one failed:"; cat "$work/again.redact"; return 1; }
  if compgen -G "$folder.kcccapture-*" > /dev/null; then echo "left beside $folder:" "$folder".kcccapture-*; return 1; fi
  if grep -rqaF -- "$serial" "$folder"; then echo "the serial number $serial survived /redact in $folder"; return 1; fi
}

# A folder with the user's own summary.txt and registry.reg: refused with status 2, nothing changed or added.
refused() {
  local folder=$work/users-folder
  mkdir -p "$folder" && printf 'my own notes\r\n' > "$folder/summary.txt" && printf 'REGEDIT4\r\n' > "$folder/registry.reg"
  cp -r "$folder" "$work/users-folder.kept"
  KCC_BIN_DIR=$bin "$top/tools/replay" "$here/profiles/maker-method1" --capture "$folder" > /dev/null 2> "$work/refused.err" ||
    { echo "the replay failed:"; cat "$work/refused.err"; return 1; }
  [ "$(capture_status "$work/refused.err")" = 2 ] && grep -q 'name a new or empty folder' "$work/refused.err" ||
    { echo "the folder was not refused:"; cat "$work/refused.err"; return 1; }
  diff -r "$work/users-folder.kept" "$folder" || { echo "the refused capture changed the user's folder"; return 1; }
  if compgen -G "$folder.kcccapture-*" > /dev/null; then echo "left beside $folder:" "$folder".kcccapture-*; return 1; fi
}

# A real two-socket server's table (processor asset tag, module serial numbers), read in place, captured with
# /redact alone: onto the desktop, with none of the serial numbers and asset tags dmidecode lists in any file
# (but those the table gives as another field too: placeholders), the product ids as asterisks, and a replay
# of the capture that shows what the machine shows but the serial number.
real_table() {
  local table=$top/../shared/smbios/real/supermicro-x9dbl.bin profile=$work/real-x9dbl desktop=$work/desktop
  local captured identifier ids checked=0
  mkdir -p "$profile" && ln -s "$table" "$profile/smbios.bin" && touch "$profile/redact"
  KCC_BIN_DIR=$bin "$top/tools/replay" "$profile" --capture-desktop "$desktop" --redact > "$work/real.out" 2> "$work/real.err" ||
    { echo "the replay failed:"; cat "$work/real.err"; return 1; }
  captured=$(find "$desktop" -mindepth 1 -maxdepth 1 -name 'KCCCapture *' -type d)
  [ -n "$captured" ] && [ -f "$captured/capture.txt" ] || { echo "no capture on the desktop:"; cat "$work/real.err"; return 1; }
  dmidecode --from-dump "$table" 2>/dev/null > "$work/real.dmi"
  while IFS= read -r identifier; do
    awk -v id="$identifier" '!/Serial Number: |Asset Tag: / && index($0, ": " id) { found = 1 } END { exit !found }' \
      "$work/real.dmi" && continue
    if grep -rqaF -- "$identifier" "$captured"; then echo "$identifier is in the capture"; return 1; fi
    checked=$((checked + 1))
  done < <(sed -n 's/^\t\(Serial Number\|Asset Tag\): *\(.*[^ ]\) *$/\2/p' "$work/real.dmi" | grep -vx 'Not Specified' | sort -u)
  [ "$checked" -ge 10 ] || { echo "only $checked identifiers to look for"; return 1; }
  ids=$(iconv -f UTF-16 -t UTF-8 "$captured/registry.reg" | tr -d '\r' | grep '^"ProductId"=')
  # Both keys, in both registry views of this 64-bit prefix.
  [ -n "$ids" ] && ! grep -v '^"ProductId"="\*\**"$' <<< "$ids" ||
    { echo "the product ids are not asterisks: $ids"; return 1; }
  in_locale=()
  round_trip "$profile" "$profile" "$captured" "$work/real.out"
}

# A table that breaks before its processor structures (Hyper-V generation 1): the processor row as Windows names
# it in the replay prefix's registry (wine writes it from the processor's own brand string, which need not be
# /proc/cpuinfo's), and a speed; the capture of that dialog records the key and says where the row came from.
processor_from_windows() {
  local profile=$work/hyperv-gen1 captured=$work/hyperv-capture name shown speed
  mkdir -p "$profile" && ln -s "$top/../shared/smbios/real/microsoft-hyperv-gen1.bin" "$profile/smbios.bin"
  KCC_BIN_DIR=$bin "$top/tools/replay" "$profile" --capture "$captured" > "$work/hyperv.out" 2> "$work/hyperv.err" ||
    { echo "the replay failed:"; cat "$work/hyperv.err"; return 1; }
  name=$(python3 -c 'import re, sys
data = open(sys.argv[1], "rb").read()
text = data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode("utf-8-sig")
found = re.search(r"^\"ProcessorNameString\"=\"(.*)\"\r?$", text, re.M)
print(found.group(1).strip() if found else "")' "$captured/registry.reg")
  shown=$(awk -F'\t' '$1 == "row" && $2 == 1001 && $3 == 0 { print $5 }' "$work/hyperv.out")
  speed=$(awk -F'\t' '$1 == "row" && $2 == 1001 && $3 == 1 { print $5 }' "$work/hyperv.out")
  [ -n "$name" ] && [ "$shown" = "$name" ] || { echo "processor row \"$shown\", Windows names \"$name\""; return 1; }
  grep -q "^Processor: the name from Windows' registry" "$captured/capture.txt" ||
    { echo "capture.txt does not say the processor row came from Windows:"; grep '^Processor' "$captured/capture.txt"; return 1; }
  [[ $speed =~ ^[0-9.]+\ [MG]Hz$ ]] || { echo "processor speed row \"$speed\""; return 1; }
}

# What killed captures left beside one folder, put right by the next capture (itself killed once it has begun,
# so that what it found stays to be seen): a capture killed between its two renames, as captures swapped the
# folder whole before (the earlier capture renamed aside, nothing in its place), and one killed while its files
# moved in (the earlier capture's files set aside, some new ones in the folder): each time the earlier capture
# goes back whole. Links named like such folders (as wine shows a Unix symbolic link: a reparse point) are never
# entered: the files of the folder they point to stay.
recovery() {
  local folder=$work/again dead=4000000000 kept=$work/again.kept2 precious=$work/precious
  [ -f "$folder/capture.txt" ] || { echo "no capture in $folder to begin with"; return 1; }
  cp -r "$folder" "$kept"
  mkdir -p "$precious" && printf 'the system\r\n' > "$precious/oeminfo.ini" && printf 'KCCCapture\r\n' > "$precious/capture.txt"
  cp -r "$precious" "$work/precious.kept"
  ln -s "$precious" "$folder.kcccapture-$((dead + 1))-earlier"
  ln -s "$precious" "$folder.kcccapture-$((dead + 2))"
  # Between the two renames: the earlier capture aside, the complete new one beside it, nothing in the folder's place.
  mv "$folder" "$folder.kcccapture-$dead-earlier"
  cp -r "$work/again-driver" "$folder.kcccapture-$dead" && printf 'KCCCapture new\r\n' > "$folder.kcccapture-$dead/capture.txt"
  held_capture "between two renames" || return 1
  diff -r "$kept" "$folder" || { echo "the earlier capture did not go back after a kill between two renames"; return 1; }
  # While moving in: the earlier capture's files aside, two new ones in the folder, the rest (capture.txt last)
  # still in the complete capture's folder.
  mkdir "$folder.kcccapture-$dead-earlier" "$folder.kcccapture-$dead-moving"
  mv "$folder"/* "$folder.kcccapture-$dead-earlier/"
  printf 'new\r\n' > "$folder/smbios.bin" && printf 'new\r\n' > "$folder/wmi.ini"
  printf 'KCCCapture new\r\n' > "$folder.kcccapture-$dead-moving/capture.txt"
  held_capture "moving in" || return 1
  diff -r "$kept" "$folder" || { echo "the earlier capture did not go back after a kill while moving in"; return 1; }
  if compgen -G "$folder.kcccapture-$dead*" > /dev/null; then echo "left beside $folder:" "$folder".kcccapture-$dead*; return 1; fi
  diff -r "$work/precious.kept" "$precious" || { echo "a link named like a leftover was followed"; return 1; }
}

# A capture of the profile with the held walk into the again folder, killed once it has begun.
held_capture() {
  KCC_BIN_DIR=$bin "$top/tools/replay" "$work/again-held" --capture "$work/again" --kill-capture > /dev/null 2> "$work/held.err" ||
    { echo "the replay with the held walk ($1) failed:"; cat "$work/held.err"; return 1; }
  [ "$(capture_status "$work/held.err")" = 137 ] || { echo "the capture ($1) was not killed:"; cat "$work/held.err"; return 1; }
}

# A capture into the folder it stands in ("KCCCapture ." from inside it, which makes the folder its current
# directory, one that Windows and wine do not rename): into the empty folder, then over that capture with
# another profile; each replays to the dialog it was captured from.
standing_in() {
  local folder=$work/here profile n=0
  mkdir -p "$folder"
  for profile in maker-method1 wmi-billion; do
    n=$((n + 1))
    KCC_BIN_DIR=$bin "$top/tools/replay" "$here/profiles/$profile" --capture-here "$folder" > "$work/here.$n" 2> "$work/here.err" ||
      { echo "the replay of $profile failed:"; cat "$work/here.err"; return 1; }
    [ "$(capture_status "$work/here.err")" = 0 ] || { echo "capture $n into its own current directory failed:"; cat "$work/here.err"; return 1; }
    KCC_BIN_DIR=$bin "$top/tools/replay" "$folder" > "$work/here.out" 2> "$work/here.err" ||
      { echo "capture $n did not replay:"; cat "$work/here.err"; return 1; }
    diff -u --label "replay of $profile" --label "replay of capture $n" "$work/here.$n" "$work/here.out" || return 1
  done
  if compgen -G "$folder.kcccapture-*" > /dev/null; then echo "left beside $folder:" "$folder".kcccapture-*; return 1; fi
}

# KCCCapture /summary in the prefix of the dialog whose Ctrl+C rows are read: its text is the clipboard's, its
# JSON (parsed) holds each row's value under its key and the dialog's boxes, /redact blanks the serial number in
# it; without WMI, status 4 and no rows. Non-ASCII values (maker-method1's OEM model) and a box (wmi-billion).
summary_beside_copy() {
  local profile status
  for profile in maker-method1 wmi-billion no-connect; do
    KCC_BIN_DIR=$bin "$top/tools/replay" "$here/profiles/$profile" --copy --summary > "$work/summary.out" 2> "$work/summary.err" ||
      { echo "the replay of $profile failed:"; cat "$work/summary.err"; return 1; }
    status=0
    [ "$profile" = no-connect ] && status=4
    python3 "$here/summary_check.py" "$work/summary.out" "$status" "$(resource_id IDC_LIST_HARDWARE)" "$system" ||
      { echo "in $profile"; return 1; }
  done
}

check "capturing again into one folder" again
check "putting right what killed captures left" recovery
check "capturing into the folder it stands in" standing_in
check "the summary beside the dialog's rows" summary_beside_copy
check "refusing a folder with the user's files" refused
if [ ! -f "$top/../shared/smbios/real/supermicro-x9dbl.bin" ] || ! command -v dmidecode > /dev/null; then
  echo "SKIP redacting a real server's table and Hyper-V's processor: no ../shared/smbios/real beside the checkout, or no dmidecode"
else
  check "redacting a real server's table onto the desktop" real_table
  check "a table without processor structures shows the processor Windows names" processor_from_windows
fi

echo "e2e: $passed passed, $failed failed"
[ $failed -eq 0 ]
