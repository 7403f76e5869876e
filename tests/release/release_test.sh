#!/usr/bin/env bash
# The release zip as a Windows user goes: unpacked into C:\Program Files\KCCSystemInfo of a fresh prefix,
# install-driver.cmd run with wine's cmd (nothing to install where Windows gives the firmware table; with
# /force refused first under a token without administrator rights), the program's dialog read, the install
# run again from a 32-bit command prompt, then remove-driver.cmd. --zip-only checks the zip alone, without wine.
#   release_test.sh [--zip-only] DIST_DIR BIN_DIR RUN_RESTRICTED STATE_DIR
set -uo pipefail
zip_only=
if [ "${1:-}" = --zip-only ]; then zip_only=1; shift; fi
dist=${1:?dist} bin=${2:?bin} restricted=${3:?run_restricted.exe} state=${4:?state dir}
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tools/lib/wine-env.sh"
zip=$(ls "$dist"/KCCSystemInfo-*.zip 2>/dev/null | head -n 1)
failed=0 passed=0
check() { # check NAME COMMAND...: one named expectation
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAIL $name"; failed=$((failed + 1)); fi
}
[ -f "$zip" ] || { echo "release: no zip in $dist (tools/package.sh)"; exit 1; }

# Packing again gives the same bytes.
"$top/tools/package.sh" --bin "$bin" "$state.repack" >/dev/null
check "the zip packs to the same bytes again" cmp -s "$zip" "$state.repack/$(basename "$zip")"
rm -rf "$state.repack"
# Every file a user needs, every language satellite of the sources among them, and the texts with Windows'
# line ends (Notepad before Windows 10, cmd's labels).
listing=$(python3 -m zipfile -l "$zip")
satellites=$(cd "$top/res" && ls KCCSystemInfo???.rc | sed 's/\.rc$/.dll/')
for file in KCCSystemInfo.exe $satellites KCCCapture.exe README.txt install-driver.cmd \
            remove-driver.cmd driver/isadmin.exe driver/hastable.exe driver/x86/boardinfo.sys driver/x64/boardinfo.sys; do
  check "the zip holds $file" grep -q "^$file " <<< "$listing"
done
for text in README.txt install-driver.cmd remove-driver.cmd; do
  check "$text has CR LF line ends only" python3 -c '
import sys, zipfile
data = zipfile.ZipFile(sys.argv[1]).read(sys.argv[2])
sys.exit(0 if data.count(b"\n") == data.count(b"\r\n") > 0 else 1)' "$zip" "$text"
done
if [ -n "$zip_only" ]; then
  echo "release zip: $passed passed, $failed failed"
  [ "$failed" = 0 ]
  exit
fi

# A fresh prefix each run: copied from the replay template when there is one.
rm -rf "$state"
template=$(dirname "$bin")/replay-template/prefix
[ -f "$template/.kcc-ready" ] && export KCC_PREFIX_TEMPLATE=$template
trap 'wine_env_stop "$state"' EXIT
wine_env_enter "$state" || exit 1
work=$state/work
mkdir -p "$work"

folder=$WINEPREFIX/drive_c/Program\ Files/KCCSystemInfo
mkdir -p "$folder"
python3 -m zipfile -e "$zip" "$folder"
install='C:\Program Files\KCCSystemInfo\install-driver.cmd'
remove='C:\Program Files\KCCSystemInfo\remove-driver.cmd'
exe='C:\Program Files\KCCSystemInfo\KCCSystemInfo.exe'
services=$driver_location_key
svckey='HKLM\System\CurrentControlSet\Services\boardinfo'
driver_file=$WINEPREFIX/drive_c/windows/system32/drivers/boardinfo.sys

# What the install may change: the service key, the location value (32-bit view), the driver file.
snapshot() {
  { wine reg query "$svckey" /s 2>/dev/null | tr -d '\r' | grep -v '^$'
    echo "location: $(wine reg query "$services" /v boardinfo /reg:32 2>/dev/null | tr -d '\r' | grep REG_)"
    [ -f "$driver_file" ] && md5sum < "$driver_file" || echo "no driver file"
  } > "$1"
}
# Runs the program, reads its lists, closes it with /halt.
caption=$(dialog_caption "$bin/dlgread.exe" "$(program_satellite "$bin/dlgread.exe" 'C:\Program Files\KCCSystemInfo')")
dialog() {
  wine "$exe" >/dev/null 2>&1 &
  local pid=$!
  wine "$bin/dlgread.exe" wait "$caption" 30000 >/dev/null && wine "$bin/dlgread.exe" lists "$caption" | tr -d '\r' > "$1"
  wine "$exe" /halt >/dev/null 2>&1
  wait "$pid" 2>/dev/null
}
row() { grep -P "^$1\t$2\t" "$3" | cut -f4; }
hardware=$(resource_id IDC_LIST_HARDWARE)

# 0. Windows hands out its firmware table (wine does, as Vista and later do): nothing to install.
snapshot "$work/fresh.txt"
wine cmd /c "$install" > "$work/nothing.out" 2>&1
check "nothing to install where Windows gives the firmware table: $(tr -d '\r' < "$work/nothing.out")" [ $? = 0 ]
check "it says so" grep -q 'nothing to install' "$work/nothing.out"
snapshot "$work/after-nothing.txt"
check "and changes nothing" cmp -s "$work/fresh.txt" "$work/after-nothing.txt"
dialog "$work/firmware.txt"
check "the dialog opens without a driver" [ "$(row "$hardware" 1 "$work/firmware.txt")" = "Unknown" ]

# 1. Without administrator rights: a clear refusal, and nothing changed.
wine "$restricted" cmd /c "$install" /force > "$work/refused.out" 2>&1
status=$?
check "refused without administrator rights (status $status)" [ "$status" = 1 ]
check "the refusal says why" grep -q 'needs administrator rights' "$work/refused.out"
snapshot "$work/after-refusal.txt"
check "a refusal changes nothing" cmp -s "$work/fresh.txt" "$work/after-refusal.txt"

# 2. Another driver named by the location value: said, and nothing changed.
wine reg add "$services" /v boardinfo /d 'C:\Maker\boardinfo.sys' /reg:32 /f >/dev/null 2>&1
snapshot "$work/maker.txt"
wine cmd /c "$install" /force > "$work/maker.out" 2>&1
check "another driver's location is left alone" [ $? = 1 ]
check "it says so" grep -q 'already names another driver' "$work/maker.out"
snapshot "$work/after-maker.txt"
check "nothing changed beside another driver" cmp -s "$work/maker.txt" "$work/after-maker.txt"
wine reg delete 'HKLM\SOFTWARE\Varnel Corporation' /reg:32 /f >/dev/null 2>&1

# 3. The install (/force, as for a test-signed driver), then the dialog with the processor from the installed
# driver serving a table file.
wine cmd /c "$install" /force > "$work/install.out" 2>&1
check "install-driver.cmd succeeds: $(tr -d '\r' < "$work/install.out")" [ $? = 0 ]
check "the x64 driver is where Windows keeps drivers" cmp -s "$driver_file" "$folder/driver/x64/boardinfo.sys"
check "the service starts with Windows" sh -c "wine reg query '$svckey' /v Start | grep -q 0x2"
check "the driver location is registered" sh -c "wine reg query '$services' /v boardinfo /reg:32 | tr -d '\r' | grep -q 'REG_SZ *boardinfo$'"
"$top/tools/boardinfo-service.sh" restart --table "$top/tests/driver/samples/varnel-notebook.bin" ||
  echo "FAIL the installed driver did not start with a table file"
dialog "$work/installed.txt"
check "the processor comes from the installed driver" \
  [ "$(row "$hardware" 0 "$work/installed.txt")" = "Intel(R) Pentium(R) M processor 1.60GHz" ]
check "and its speed" [ "$(row "$hardware" 1 "$work/installed.txt")" = "1.60 GHz" ]

# The capture a user sends to support: what the dialog showed, row for row; a folder it cannot make is said.
capture='C:\Program Files\KCCSystemInfo\KCCCapture.exe'
wine "$capture" 'C:\capture' > /dev/null 2> "$work/capture.err"
check "KCCCapture succeeds: $(cat "$work/capture.err")" [ $? = 0 ]
check "its summary.txt is what the dialog showed" \
  diff -u "$work/installed.txt" <(sed -n 's/^row\t//p' "$WINEPREFIX/drive_c/capture/summary.txt")
wine "$capture" 'C:\no such folder\capture' > /dev/null 2> "$work/capture-nofolder.err"
check "a folder it cannot make fails with status 2" [ $? = 2 ]
check "and says which" grep -q 'cannot create the folder C:.no such folder.capture' "$work/capture-nofolder.err"

# 4. The install again, from a 32-bit command prompt (System32 redirected): nothing changes.
snapshot "$work/installed-state.txt"
wine 'C:\windows\syswow64\cmd.exe' /c "$install" /force > "$work/again.out" 2>&1
check "a second install succeeds: $(tr -d '\r' < "$work/again.out")" [ $? = 0 ]
snapshot "$work/again-state.txt"
check "a second install changes nothing" diff -u "$work/installed-state.txt" "$work/again-state.txt"

# 5. The removal: the service and the value are gone, and the dialog shows the fall-backs.
wine cmd /c "$remove" > "$work/remove.out" 2>&1
check "remove-driver.cmd succeeds: $(tr -d '\r' < "$work/remove.out")" [ $? = 0 ]
check "the service is gone" sh -c "! wine reg query '$svckey' >/dev/null 2>&1"
check "the location value is gone" sh -c "! wine reg query '$services' /v boardinfo /reg:32 >/dev/null 2>&1"
check "the keys the install made are gone" sh -c "! wine reg query 'HKLM\\SOFTWARE\\Varnel Corporation' /reg:32 >/dev/null 2>&1"
check "the driver file is gone" [ ! -e "$driver_file" ]
dialog "$work/removed.txt"
check "no processor without the driver" [ -z "$(row "$hardware" 0 "$work/removed.txt")" ]
check "the speed reads Unknown" [ "$(row "$hardware" 1 "$work/removed.txt")" = "Unknown" ]

echo "release: $passed passed, $failed failed"
[ "$failed" = 0 ]
