#!/usr/bin/env bash
# Installs, reconfigures and removes the boardinfo kernel-driver service in the current WINEPREFIX.
#   boardinfo-service.sh install PATH_TO_SYS [--table FILE] [--set NAME=DWORD ...]
#   boardinfo-service.sh restart [--table FILE | --no-table] [--clear] [--set NAME=DWORD ...]
#   boardinfo-service.sh stop | remove
# install creates (or re-points) the demand-start service, replaces its Parameters with the given ones and
# starts it; restart stops it, changes Parameters (--clear empties them first) and starts it again. The driver
# reads Parameters only when it starts. FILE is a Unix path (made absolute, seen through Z:) or a DOS path.
# Quiet on success; on failure a message on stderr and exit status 1 (2 for usage errors).
#
# The caller exports WINEPREFIX and keeps `wineserver -p` running: a demand-start driver dies with the
# server. In a prefix just made by `wineboot -i`, run `wineserver -w` first, or the new service is not seen
# until the server restarts. wine's sc has no "query": a start or stop reports its state or its error code
# (shown by the err+sc debug channel), and a successful start means DriverEntry has returned success, so the
# device \\.\boardinfo exists when this script returns.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib/wine-env.sh"

service=boardinfo
service_key='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\boardinfo'
timeout_s=${BOARDINFO_SERVICE_TIMEOUT:-20}
me=$(basename "$0")

fail() { echo "$me: $*" >&2; exit 1; }
usage() {
  echo "usage: $me install PATH_TO_SYS [--table FILE] [--set NAME=DWORD ...]" >&2
  echo "       $me restart [--table FILE | --no-table] [--clear] [--set NAME=DWORD ...]" >&2
  echo "       $me stop | remove" >&2
  exit 2
}

[ -n "${WINEPREFIX:-}" ] || fail "WINEPREFIX is not set"
[ -d "$WINEPREFIX" ] || fail "no wine prefix at $WINEPREFIX"
export WINEDEBUG=-all,err+sc

work=$(mktemp -d "${TMPDIR:-/tmp}/boardinfo-service.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A table file must be there when the driver starts; a DOS path is the caller's to vouch for.
table_path() {
  is_windows_path "$1" || [ -e "$1" ] || fail "no such file: $1"
  windows_path "$1"
}

# Runs wine's sc COMMAND on the service with further arguments; prints the state it reports or its error
# code; returns sc's status.
# Output goes through a file, not a pipe: the first wine program of a fresh server starts services.exe and
# winedevice.exe, which inherit its output handles and would hold a pipe open for good.
sc_run() {
  local command=$1 out status=0
  shift
  wine sc "$command" "$service" "$@" >"$work/sc.out" 2>&1 || status=$?
  out=$(cat "$work/sc.out")
  if [ "$status" = 0 ]; then
    printf '%s\n' "$out" | sed -n 's/^ *STATE *: *[0-9]* *\([A-Z_]*\).*/\1/p' | head -n 1
    return 0
  fi
  printf 'error %s\n' "$(printf '%s\n' "$out" | sed -n 's/.*failed to [a-z]* service \([0-9]*\).*/\1/p' | tail -n 1)"
  return 1
}

# repeat_sc VERB JUDGE: runs sc VERB until JUDGE, given the state or error it reports, returns other than 1
# (not yet), for up to timeout_s seconds; returns what JUDGE returned.
repeat_sc() {
  local verb=$1 judge=$2 end status
  end=$(( $(date +%s) + timeout_s ))
  while :; do
    status=0
    "$judge" "$(sc_run "$verb" || true)" || status=$?
    [ "$status" = 1 ] || return "$status"
    [ "$(date +%s)" -lt "$end" ] || fail "the service did not $verb within ${timeout_s}s"
    sleep 0.05
  done
}

# Stopped is reached when the stop says so, or a further stop says the service is not active (1062).
# Returns 3 when there is no such service (1060).
stopped() {
  case $1 in
    STOPPED | "error 1062") return 0 ;;
    "error 1060") return 3 ;;
    STOP_PENDING | "error 1061" | "error 1056") return 1 ;;
    *) fail "cannot stop the service ($1)" ;;
  esac
}
stop_service() { repeat_sc stop stopped; }

# A service still stopping answers a start with 1056 (already running), and one whose winedevice.exe is still
# ending with 1359 (internal error, seen once in a fresh prefix): try again until it has stopped.
running() {
  case $1 in
    RUNNING) return 0 ;;
    START_PENDING | "error 1056" | "error 1359") return 1 ;;
    "error 1060") fail "the service is not installed" ;;
    *) fail "the driver did not start ($1); DbgPrint output shows with WINEDEBUG=warn+debugstr set before the wineserver starts" ;;
  esac
}
start_service() { repeat_sc start running; }

reg_string() {
  local s=${1//\\/\\\\}
  printf '"%s"' "${s//\"/\\\"}"
}

# Options shared by install and restart, collected into a .reg fragment for one `reg import`.
table=""
no_table=0
clear=0
sets=()
parse_options() {
  local allow_restart=$1; shift
  while [ $# -gt 0 ]; do
    case $1 in
      --table) [ $# -ge 2 ] || usage; table=$(table_path "$2"); shift 2 ;;
      --table=*) table=$(table_path "${1#--table=}"); shift ;;
      --no-table) [ "$allow_restart" = 1 ] || usage; no_table=1; shift ;;
      --clear) [ "$allow_restart" = 1 ] || usage; clear=1; shift ;;
      --set) [ $# -ge 2 ] || usage; sets+=("$2"); shift 2 ;;
      --set=*) sets+=("${1#--set=}"); shift ;;
      *) echo "$me: unknown option: $1" >&2; usage ;;
    esac
  done
  [ -z "$table" ] || [ "$no_table" = 0 ] || { echo "$me: --table and --no-table together" >&2; usage; }
}

parameter_lines() {
  local item name value hex
  [ -z "$table" ] || printf '"TableFile"=%s\n' "$(reg_string "$table")"
  [ "$no_table" = 0 ] || printf '"TableFile"=-\n'
  for item in ${sets[@]+"${sets[@]}"}; do
    name=${item%%=*}
    value=${item#*=}
    [[ $item == *=* && $name =~ ^[A-Za-z][A-Za-z0-9]*$ ]] || fail "--set wants NAME=DWORD, not '$item'"
    [[ $value =~ ^(0[xX][0-9a-fA-F]{1,8}|[0-9]+)$ ]] || fail "--set $name: '$value' is not a DWORD"
    [[ $value == 0[xX]* ]] || value=$((10#$value))
    (( value <= 0xFFFFFFFF )) || fail "--set $name: '$value' is not a DWORD"
    printf -v hex '%08x' "$((value))"
    printf '"%s"=dword:%s\n' "$name" "$hex"
  done
}

import_reg() {
  local file=$work/settings.reg try
  { echo REGEDIT4; echo; cat; } > "$file"
  # Right after a stop, services.exe may still be writing the service's key: a refused import is tried again.
  for try in 1 2 3 4 5; do
    (cd "$work" && wine reg import settings.reg >/dev/null 2>&1) && return 0
    sleep 0.2
  done
  fail "cannot write the service's registry values"
}

cmd=${1:-}
[ $# -gt 0 ] && shift
case $cmd in
  install)
    [ $# -ge 1 ] || usage
    case $1 in -*) usage ;; esac
    [ -f "$1" ] || fail "no driver file: $1"
    image=$(windows_path "$1"); shift
    parse_options 0 "$@"
    lines=$(parameter_lines)
    service_lines=""
    # An absolute ImagePath: a relative or \SystemRoot\ one does not load.
    if ! result=$(sc_run create type= kernel start= demand binPath= "$image"); then
      [ "$result" = "error 1073" ] || fail "cannot create the service ($result; is the wineserver of $WINEPREFIX running?)"
      # Already there: stop it and point it at this file (wine's sc config changes nothing).
      stop_service || fail "the service vanished while being installed"
      service_lines=$(printf '"ImagePath"=%s\n"Start"=dword:00000003\n"Type"=dword:00000001' "$(reg_string "$image")")
    fi
    {
      if [ -n "$service_lines" ]; then printf '[%s]\n%s\n\n' "$service_key" "$service_lines"; fi
      printf '[-%s\\Parameters]\n\n[%s\\Parameters]\n%s\n' "$service_key" "$service_key" "$lines"
    } | import_reg
    start_service
    ;;
  restart)
    parse_options 1 "$@"
    lines=$(parameter_lines)
    stop_service || fail "the service is not installed (use install)"
    {
      if [ "$clear" = 1 ]; then printf '[-%s\\Parameters]\n\n' "$service_key"; fi
      printf '[%s\\Parameters]\n%s\n' "$service_key" "$lines"
    } | import_reg
    start_service
    ;;
  stop)
    [ $# -eq 0 ] || usage
    stop_service || true # not installed: nothing runs
    ;;
  remove)
    [ $# -eq 0 ] || usage
    stop_service || exit 0
    result=$(sc_run delete) || fail "cannot delete the service ($result)"
    # services.exe deletes the key with the service; no Parameters may outlive it into a later install.
    if wine reg query "$service_key" >/dev/null 2>&1; then
      printf '[-%s]\n' "$service_key" | import_reg
    fi
    ;;
  *) usage ;;
esac
