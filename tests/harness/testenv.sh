#!/usr/bin/env bash
# Starts and stops a private wine test environment: prefix, persistent wineserver, Xvfb display.
#   testenv.sh start STATE_DIR [BIN_DIR]   make the prefix if needed, start Xvfb and the server
#   testenv.sh stop STATE_DIR              stop only what start started (by pid / wineserver -k)
#   source <(testenv.sh env STATE_DIR)     WINEPREFIX, DISPLAY and WINEDEBUG for this environment
# BIN_DIR, when given, holds boardinfo.sys: start installs it as the demand-start service.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cmd=${1:?start|stop|env}
state=$(mkdir -p "${2:?state dir}" && cd "$2" && pwd)
bin=${3:-}
prefix=$state/prefix
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="

free_display() {
  local n
  for n in $(seq 90 199); do
    [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] || { echo $n; return; }
  done
  echo "testenv: no free X display" >&2; return 1
}

make_prefix() {
  [ -f "$prefix/.kcc-ready" ] && return 0
  rm -rf "$prefix"
  # A ready prefix made once (KCC_PREFIX_TEMPLATE) is copied: much faster than a new boot.
  if [ -n "${KCC_PREFIX_TEMPLATE:-}" ] && [ -f "$KCC_PREFIX_TEMPLATE/.kcc-ready" ]; then
    cp -a "$KCC_PREFIX_TEMPLATE" "$prefix"
    return 0
  fi
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
  # This wine build does not find its own fonts.
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  cp /usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  local reg=$state/prefix-setup.reg
  cat > "$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="Droid Sans Fallback"
"MS Shell Dlg"="Tahoma"

REG
  wine regedit /S "$reg" >/dev/null 2>&1
  # Tahoma links to MS UI Gothic already (now Droid Sans Fallback); captions use Tahoma Bold.
  local link='SOFTWARE\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
  for view in 32 64; do
    wine reg add "HKLM\\$link" /v "Tahoma Bold" /t REG_MULTI_SZ /d 'DroidSansFallbackFull.ttf,Droid Sans Fallback' \
      /reg:$view /f >/dev/null 2>&1 || true
  done
  wineserver -w
  touch "$prefix/.kcc-ready"
}

case $cmd in
  start)
    if [ -f "$state/env" ]; then "$0" stop "$state" || true; fi
    make_prefix
    n=$(free_display)
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! > "$state/xvfb.pid"
    for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.05; done
    export DISPLAY=:$n
    wineserver -p </dev/null >"$state/wineserver.log" 2>&1
    # The first wine process starts services.exe and explorer.exe, which keep its pipes open for
    # good: start them here, on /dev/null, and not from a test whose output ctest waits for.
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    printf 'export WINEPREFIX=%q DISPLAY=%q WINEDEBUG=%q WINEDLLOVERRIDES=%q\n' \
      "$prefix" ":$n" "$WINEDEBUG" "$WINEDLLOVERRIDES" > "$state/env"
    if [ -n "$bin" ] && [ -f "$bin/boardinfo.sys" ] && [ -x "$here/../../tools/boardinfo-service.sh" ]; then
      "$here/../../tools/boardinfo-service.sh" install "$bin/boardinfo.sys" </dev/null >>"$state/service.log" 2>&1 ||
        { echo "testenv: the boardinfo driver did not start (see $state/service.log)" >&2; exit 1; }
    fi
    echo "testenv: prefix $prefix, display :$n"
    ;;
  stop)
    if [ -d "$prefix" ]; then wineserver -k 2>/dev/null || true; fi
    if [ -f "$state/xvfb.pid" ]; then
      pid=$(cat "$state/xvfb.pid"); kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
      rm -f "$state/xvfb.pid"
    fi
    rm -f "$state/env"
    ;;
  env)
    [ -f "$state/env" ] || { echo "testenv: not started: $state" >&2; exit 1; }
    cat "$state/env"
    ;;
  *) echo "usage: testenv.sh start|stop|env STATE_DIR [BIN_DIR]" >&2; exit 2 ;;
esac
