#!/usr/bin/env bash
# Tests tools/boardinfo-service.sh in the harness's prefix: install, restart with settings, stop, remove, errors.
# Usage: service_script_test.sh PROBE_EXE   (KCC_TESTENV, KCC_BIN_DIR, KCC_SOURCE_DIR come from ctest)
# Leaves the service as the harness installs it: running boardinfo.sys from KCC_BIN_DIR, no Parameters values.
set -uo pipefail
probe=${1:?usage: service_script_test.sh PROBE_EXE}
. "$KCC_SOURCE_DIR/tools/lib/wine-env.sh"
wine_env_load "$KCC_TESTENV" || exit 1
svc=$KCC_SOURCE_DIR/tools/boardinfo-service.sh
sys=$KCC_BIN_DIR/boardinfo.sys
samples=$KCC_SOURCE_DIR/tests/driver/samples
key='HKLM\System\CurrentControlSet\Services\boardinfo'
work=$(mktemp -d "${TMPDIR:-/tmp}/boardinfo-script-test.XXXXXX")
failures=0
trap 'rm -rf "$work"; "$svc" install "$sys" >/dev/null || echo "FAIL restoring the default service" >&2' EXIT

check() { # name expected actual
  if [ "$2" = "$3" ]; then
    echo "ok   $1"
  else
    echo "FAIL $1: expected '$2', got '$3'"
    failures=$((failures + 1))
  fi
}
# Runs a command; sets rc, out and err.
run() {
  local start
  start=$(date +%s%N)
  out=$("$@" 2>"$work/err")
  rc=$?
  err=$(cat "$work/err")
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
}
probe_line() { wine "$probe" "$@" 2>/dev/null | tr -d '\r'; }
field() { sed -n "s/.*\\b$1=\\([0-9]*\\).*/\\1/p" <<<"$2"; }
quiet_success() { # name
  check "$1: exit status" 0 "$rc"
  check "$1: no output" "" "$out$err"
}

run "$svc" install "$sys"
quiet_success "install"
echo "     install took ${ms} ms"
run "$svc" install "$sys"
quiet_success "install again"
firmware=$(probe_line)
check "firmware table served" "0 1" "$(field status "$firmware") $(field last "$firmware")"
check "firmware walk complete" "$(field count "$firmware")" "$(field walked "$firmware")"
check "second name opens" "$firmware" "$(probe_line '\\.\boardinfo.vxd')"

run "$svc" restart --table "$samples/generic-desktop.bin"
quiet_success "restart --table"
echo "     restart took ${ms} ms"
line=$(probe_line)
check "sample served" "0 2 14 590 14 1" "$(field status "$line") $(field revision "$line") $(field count "$line") \
$(field size "$line") $(field walked "$line") $(field last "$line")"

run "$svc" restart --set InfoStatus=0x27 --set StructureCount=3
quiet_success "restart --set keeps the table"
line=$(probe_line)
check "settings and table together" "39 3 590" "$(field status "$line") $(field count "$line") $(field size "$line")"

run "$svc" restart --set FailInfo=1
check "restart --set FailInfo" 0 "$rc"
check "FailInfo fails the information request" "information request failed: 1117" "$(probe_line)"

run "$svc" restart --clear --table "$samples/varnel-notebook.bin"
quiet_success "restart --clear --table"
line=$(probe_line)
check "clear drops the old settings" "0 8 325 8" "$(field status "$line") $(field count "$line") $(field size "$line") \
$(field walked "$line")"

run "$svc" restart --table "$samples/wine-rsmb-blob.bin" --set NoStructureHandle=2 --set NoStructureCount=4294967295
quiet_success "restart with an RSMB blob and a decimal DWORD"
line=$(probe_line)
check "0x83 for ever ends the walk early" "6 2" "$(field count "$line") $(field walked "$line")"

run "$svc" restart --no-table --clear
quiet_success "restart --no-table --clear"
check "back to the firmware table" "$firmware" "$(probe_line)"

# Refused before anything changes: the running driver keeps its settings.
for bad in "--set" "--set Bad" "--set X=0x100000000" "--set X=-1" "--set X=12ab" "--set 9X=1" "--table $work/none.bin" \
  "--what"; do
  # shellcheck disable=SC2086
  run "$svc" restart $bad
  check "restart $bad refused" 1 "$(( rc != 0 ))"
  check "restart $bad says why" 1 "$([ -n "$err" ] && echo 1 || echo 0)"
done
check "refused restarts left the driver alone" "$firmware" "$(probe_line)"
run "$svc" restart --table "$samples/generic-desktop.bin" --no-table
check "--table with --no-table is a usage error" 2 "$rc"
run "$svc" frobnicate
check "unknown command is a usage error" 2 "$rc"
run "$svc"
check "no command is a usage error" 2 "$rc"
run "$svc" install "$work/none.sys"
check "install of a missing driver file" 1 "$rc"
check "install of a missing driver file says so" 1 "$(grep -c 'no driver file' <<<"$err")"
run env -u WINEPREFIX "$svc" stop
check "no WINEPREFIX" 1 "$rc"

printf '\001\002\003' > "$work/bad.bin"
run "$svc" restart --table "$work/bad.bin"
check "a table file the driver refuses" 1 "$rc"
check "the refusal is reported" 1 "$(grep -c 'did not start' <<<"$err")"
check "no device after a refused start" "open failed: 2" "$(probe_line)"
run "$svc" restart --no-table
quiet_success "restart after a refused start"
check "running again" "$firmware" "$(probe_line)"

run "$svc" stop
quiet_success "stop"
check "no device when stopped" "open failed: 2" "$(probe_line)"
run "$svc" stop
quiet_success "stop again"
run "$svc" restart
quiet_success "restart a stopped service"
check "running after restart" "$firmware" "$(probe_line)"

run "$svc" remove
quiet_success "remove"
check "service key gone" 1 "$(wine reg query "$key" >/dev/null 2>&1; echo $?)"
check "no device when removed" "open failed: 2" "$(probe_line)"
run "$svc" remove
quiet_success "remove again"
run "$svc" stop
quiet_success "stop when not installed"
run "$svc" restart
check "restart when not installed" 1 "$rc"

run "$svc" install "$sys" --table "$samples/generic-desktop.bin" --set InfoStatus=5
quiet_success "install with settings"
line=$(probe_line)
check "install settings in force" "5 14" "$(field status "$line") $(field count "$line")"
run "$svc" install "$sys"
quiet_success "install replaces the settings"
check "install without settings serves the firmware" "$firmware" "$(probe_line)"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
