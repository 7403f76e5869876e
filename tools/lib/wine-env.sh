# Shell functions for running the program under wine, sourced by the commands and the tests:
#   . "$top/tools/lib/wine-env.sh"
# A private prefix with its own Xvfb display and persistent wineserver, Unix paths as wine programs see them,
# the registry settings the program reads, and the resource ids and caption that scripts drive it by.
# A function returns non-zero when what it needs fails, also where the caller's `set -e` does not reach (a
# function called in a condition). Messages about the environment say "testenv", the harness's name for it.

kcc_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# Where the program looks for the DMI access driver (the maker's installer writes this).
driver_location_key='HKLM\SOFTWARE\Varnel Corporation\Shared Info\Shared Services'
# CLSID_WbemLocator's server, and the WMI fixture provider's settings.
wmi_locator_key='HKLM\Software\Classes\CLSID\{4590F811-1D3A-11D0-891F-00AA004B2E24}\InprocServer32'
wmi_fixture_key='HKLM\Software\KCCSystemInfo\WmiFixture'

# The x86-64 test build (KCC_WINE64=1) runs with wine's 64-bit loader: `wine` is then tools/lib/wine64/wine
# for this shell and everything it starts.
wine_use_wine64() {
  export KCC_WINE64=1
  case :$PATH: in *":$kcc_top/tools/lib/wine64:"*) ;; *) export PATH="$kcc_top/tools/lib/wine64:$PATH" ;; esac
}
if [ "${KCC_WINE64:-}" = 1 ]; then wine_use_wine64; fi

# wine_build_x64: configures and builds build/win64, the x86-64 build of the same code (a test build: it
# ships nothing).
wine_build_x64() {
  cmake -S "$kcc_top" -B "$kcc_top/build/win64" -DCMAKE_TOOLCHAIN_FILE="$kcc_top/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null && cmake --build "$kcc_top/build/win64" -j "$(nproc)"
}

# wine_select_build: sets wine_build to the build folder whose programs wine starts here: build/win32, or
# where wine's 32-bit loader cannot run (said on stderr) build/win64, built here, with wine64 for the rest.
wine_select_build() {
  wine_build=$kcc_top/build/win32
  wine_runs_32bit && return 0
  echo "${0##*/}: $(wine_explain_32bit); using the x86-64 build of the same code instead" >&2
  wine_build=$kcc_top/build/win64
  wine_build_x64 >/dev/null || return 1
  wine_use_wine64
}

# wine_for BIN_DIR: makes `wine` the loader that starts BIN_DIR's programs: wine's 64-bit loader for the x86-64
# build, the 32-bit one for the i686 build, which fails, saying why, where this machine runs no 32-bit programs.
wine_for() {
  case $(pe_bits "${1:?bin dir}/KCCSystemInfo.exe") in
    64) wine_use_wine64 ;;
    32) wine_runs_32bit && return 0
        echo "${0##*/}: $1 holds the i686 build, and $(wine_explain_32bit); name the x86-64 build (build/win64/bin)" \
             "or none" >&2
        return 1 ;;
    *) echo "${0##*/}: no KCCSystemInfo.exe in $1: build first (tools/build.sh)" >&2; return 1 ;;
  esac
}

# wine_runs_32bit: whether wine can start the 32-bit (i686) programs here. Its 32-bit loader is a 32-bit Linux
# program, and some virtual machines boot their kernel without 32-bit support (ia32_emulation off).
# KCC_NO_32BIT=1 takes the path of such a machine here too, as CI may.
wine_runs_32bit() {
  [ "${KCC_NO_32BIT:-}" != 1 ] && /usr/bin/wine --version >/dev/null 2>&1
}

# pe_bits FILE: 32 or 64, the bitness of a Windows program (its PE optional header's magic).
pe_bits() {
  local pe magic
  pe=$(od -An -tu4 -j 60 -N 4 "${1:?program}" 2>/dev/null | tr -d ' ') && [ -n "$pe" ] || return 1
  magic=$(od -An -tx2 -j $((pe + 24)) -N 2 "$1" | tr -d ' ')
  case $magic in 010b) echo 32 ;; 020b) echo 64 ;; *) return 1 ;; esac
}

# wine_explain_32bit: why wine_runs_32bit said no, for a message.
wine_explain_32bit() {
  if [ "${KCC_NO_32BIT:-}" = 1 ]; then echo "KCC_NO_32BIT=1 says to run as without 32-bit support"; return; fi
  echo "this machine cannot run 32-bit x86 Linux programs (the kernel's 32-bit emulation is off: it boots with" \
    "ia32_emulation=off or without IA32_EMULATION), and wine starts the i686 program only through its 32-bit" \
    "loader /usr/lib/wine/wine"
}

# wine_env_start STATE_DIR [BIN_DIR]: makes STATE_DIR/prefix once (a copy of $KCC_PREFIX_TEMPLATE when that
# is a ready prefix), starts Xvfb on a free display and a persistent wineserver, and writes the settings
# wine_env_load reads; with BIN_DIR, installs BIN_DIR/boardinfo.sys as the demand-start service. Stops what
# an earlier start in STATE_DIR left running. Runs in a subshell: the caller's environment stays as it is.
wine_env_start() (
  local dir drivers=${2:-} display
  dir=$(mkdir -p "${1:?state dir}" && cd "$1" && pwd) || return 1
  # An environment needs no 32-bit program of its own: where the 32-bit loader cannot run, wine's 64-bit one
  # makes and serves it.
  [ "${KCC_WINE64:-}" = 1 ] || wine_runs_32bit || wine_use_wine64
  wine_env_vars "$dir"
  if [ -f "$dir/env" ]; then wine_env_stop "$dir" || true; fi
  wine_env_make_prefix "$dir" || return 1
  # Xvfb takes a free display itself and names it once it serves it: two environments started at once never
  # share one, and a slow start is waited for, not guessed at.
  rm -f "$dir/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp </dev/null 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
  echo $! > "$dir/xvfb.pid"
  for _ in $(seq 600); do
    display=$(tr -dc 0-9 < "$dir/display")
    [ -z "$display" ] || break
    kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null || break
    sleep 0.05
  done
  [ -n "$display" ] || { echo "testenv: Xvfb did not start (see $dir/xvfb.log)" >&2; return 1; }
  export DISPLAY=:$display
  wineserver -p </dev/null >"$dir/wineserver.log" 2>&1 ||
    { echo "testenv: wineserver did not start (see $dir/wineserver.log)" >&2; return 1; }
  # The first wine process starts services.exe and explorer.exe, which keep its pipes open for good: start
  # them here, on /dev/null, and not from a test whose output ctest waits for.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  printf 'export WINEPREFIX=%q DISPLAY=%q WINEDEBUG=%q WINEDLLOVERRIDES=%q\n' \
    "$WINEPREFIX" "$DISPLAY" "$WINEDEBUG" "$WINEDLLOVERRIDES" > "$dir/env" || return 1
  # With wine's 64-bit loader, so does every shell that loads these settings.
  if [ "${KCC_WINE64:-}" = 1 ]; then printf 'export KCC_WINE64=1 PATH=%q\n' "$PATH" >> "$dir/env" || return 1; fi
  if [ -n "$drivers" ] && [ -f "$drivers/boardinfo.sys" ]; then
    "$kcc_top/tools/boardinfo-service.sh" install "$drivers/boardinfo.sys" </dev/null >>"$dir/service.log" 2>&1 ||
      { echo "testenv: the boardinfo driver did not start (see $dir/service.log)" >&2; return 1; }
  fi
  echo "testenv: prefix $WINEPREFIX, display $DISPLAY"
)

# wine_env_stop STATE_DIR: stops exactly what wine_env_start started there (wineserver -k on its prefix,
# Xvfb by its pid).
wine_env_stop() (
  local dir pid
  [ -d "${1:?state dir}" ] || return 0
  dir=$(cd "$1" && pwd) || return 1
  wine_env_vars "$dir"
  if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
  if [ -f "$dir/xvfb.pid" ]; then
    pid=$(cat "$dir/xvfb.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    rm -f "$dir/xvfb.pid"
  fi
  rm -f "$dir/env"
)

# wine_env_print STATE_DIR: the started environment as shell code: WINEPREFIX, DISPLAY, WINEDEBUG and
# WINEDLLOVERRIDES, exported.
wine_env_print() {
  [ -f "${1:?state dir}/env" ] || { echo "testenv: not started: $1" >&2; return 1; }
  cat "$1/env"
}

# wine_env_load STATE_DIR: exports the started environment's settings into this shell.
wine_env_load() {
  local settings
  settings=$(wine_env_print "$1") || return 1
  eval "$settings"
}

# wine_env_enter STATE_DIR [BIN_DIR]: wine_env_start, quietly, then wine_env_load; the caller stops it.
wine_env_enter() {
  wine_env_start "$@" >/dev/null && wine_env_load "$1"
}

wine_env_vars() {
  export WINEPREFIX=$1/prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
}

# wine_env_make_prefix STATE_DIR: the prefix in $WINEPREFIX, unless it is ready from an earlier start.
wine_env_make_prefix() {
  local prefix=$WINEPREFIX reg=$1/prefix-setup.reg view
  local link='SOFTWARE\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
  [ -f "$prefix/.kcc-ready" ] && return 0
  rm -rf "$prefix"
  # A ready prefix made once is copied: much faster than a new boot.
  if [ -n "${KCC_PREFIX_TEMPLATE:-}" ] && [ -f "$KCC_PREFIX_TEMPLATE/.kcc-ready" ]; then
    cp -a "$KCC_PREFIX_TEMPLATE" "$prefix"
    return
  fi
  wine wineboot -i </dev/null >/dev/null 2>&1 && wineserver -w || { echo "testenv: wineboot failed in $prefix" >&2; return 1; }
  # This wine build does not find its own fonts.
  mkdir -p "$prefix/drive_c/windows/Fonts" || return 1
  cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  cp /usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf /usr/share/fonts/truetype/baekmuk/gulim.ttf \
    "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  # Windows' dialog faces for Japanese and Chinese (what "MS Shell Dlg" is on those systems, and what Tahoma
  # links to) stand for Droid Sans Fallback, the Korean ones for Baekmuk Gulim (Droid has next to no Hangul):
  # texts are drawn and measured with real glyphs.
  cat > "$reg" <<'REG' || return 1
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="Droid Sans Fallback"
"SimSun"="Droid Sans Fallback"
"NSimSun"="Droid Sans Fallback"
"PMingLiU"="Droid Sans Fallback"
"MingLiU"="Droid Sans Fallback"
"Gulim"="Baekmuk Gulim"
"Batang"="Baekmuk Gulim"
"MS Shell Dlg"="Tahoma"

REG
  wine regedit /S "$reg" >/dev/null 2>&1 || return 1
  # Captions use Tahoma Bold: it gets Tahoma's link to Droid Sans Fallback. Droid has no Latin letters: asked for
  # by name (a Japanese or Chinese "MS Shell Dlg": captions, message boxes), it takes them from Tahoma.
  for view in 32 64; do
    wine reg add "HKLM\\$link" /v "Tahoma Bold" /t REG_MULTI_SZ /d 'DroidSansFallbackFull.ttf,Droid Sans Fallback' \
      /reg:$view /f >/dev/null 2>&1 || true
    wine reg add "HKLM\\$link" /v "Droid Sans Fallback" /t REG_MULTI_SZ /d 'tahoma.ttf,Tahoma' /reg:$view /f \
      >/dev/null 2>&1 || true
  done
  wineserver -w && touch "$prefix/.kcc-ready"
}

# with_locale NAME COMMAND [ARG...]: runs COMMAND with LANG=NAME (de_DE.UTF-8) and LC_ALL unset: wine takes
# the Windows user's and system's languages from it. A locale this system lacks is compiled once from the
# locales package's sources into build/locales (KCC_LOCALE_DIR) and found there through LOCPATH.
with_locale() {
  local name=${1:?locale name} dir=${KCC_LOCALE_DIR:-$kcc_top/build/locales}
  shift
  if [ -z "$(LC_ALL=$name locale 2>&1 >/dev/null)" ]; then
    env -u LC_ALL LANG="$name" "$@"
    return
  fi
  if [ ! -f "$dir/$name/LC_CTYPE" ]; then
    mkdir -p "$dir" || return 1
    # -c: the sources' harmless warnings (characters a charmap lacks) still give a locale.
    (flock 9; [ -f "$dir/$name/LC_CTYPE" ] || localedef -c -i "${name%%.*}" -f "${name#*.}" "$dir/$name" >/dev/null 2>&1
     [ -f "$dir/$name/LC_CTYPE" ]) 9>"$dir/.lock" || { echo "${0##*/}: cannot make the locale $name" >&2; return 1; }
  fi
  env -u LC_ALL LOCPATH="$dir" LANG="$name" "$@"
}

# is_windows_path PATH: whether PATH is a DOS drive or UNC path already.
is_windows_path() {
  case $1 in [A-Za-z]:\\* | \\\\*) return 0 ;; esac
  return 1
}

# windows_path PATH: PATH as wine programs in $WINEPREFIX see it. A Unix path is made absolute (its folder
# must exist; the file need not, it may be an output) and goes through Z: when Z: is the root, as in every
# prefix made here, else through winepath. A DOS path stays as it is.
windows_path() {
  local path=${1:?path} folder out
  if is_windows_path "$path"; then printf '%s' "$path"; return 0; fi
  if [ -d "$path" ]; then
    path=$(cd "$path" && pwd -P) || return 1
  else
    folder=$(cd "$(dirname "$path")" 2>/dev/null && pwd -P) ||
      { echo "${0##*/}: no such folder: $(dirname "$path")" >&2; return 1; }
    path=${folder%/}/$(basename "$path")
  fi
  if [ "$(readlink "${WINEPREFIX:-$HOME/.wine}/dosdevices/z:" 2>/dev/null)" = / ]; then
    printf 'Z:%s' "${path//\//\\}"
    return 0
  fi
  # Through a file, not a pipe: the first wine program of a fresh server starts services.exe and
  # winedevice.exe, which inherit its output handles and would hold a pipe open for good.
  out=$(mktemp) || return 1
  if wine winepath -w "$path" >"$out" 2>/dev/null; then
    cat "$out"
    rm -f "$out"
    return 0
  fi
  rm -f "$out"
  echo "${0##*/}: cannot map $path into the prefix" >&2
  return 1
}

# register_driver_location: the driver location value naming the boardinfo device, as the maker's installer
# writes it.
register_driver_location() {
  wine reg add "$driver_location_key" /v boardinfo /d boardinfo /f >/dev/null 2>&1
}

# register_wmi_fixture DLL [FIXTURE]: DLL (the WMI fixture provider) answers for wine's WMI locator in
# $WINEPREFIX, serving FIXTURE when one is named. `wine` runs the reg.exe of its own bitness, which writes the
# registry view that programs of that bitness (and their COM) read.
register_wmi_fixture() {
  local dll fixture
  dll=$(windows_path "${1:?dll}") || return 1
  wine reg add "$wmi_locator_key" /ve /d "$dll" /f >/dev/null 2>&1 &&
    wine reg add "$wmi_locator_key" /v ThreadingModel /d Both /f >/dev/null 2>&1 || return 1
  [ -n "${2:-}" ] || return 0
  fixture=$(windows_path "$2") || return 1
  wine reg add "$wmi_fixture_key" /v File /d "$fixture" /f >/dev/null 2>&1
}

# resource_id NAME [HEADER]: the number HEADER (res/resource.h when not named) defines NAME as, as written
# there (dlgread reads 0x numbers too).
resource_id() {
  local header=${2:-$kcc_top/res/resource.h} id
  id=$(sed -n "s/^#define[[:space:]]\{1,\}${1:?name}[[:space:]]\{1,\}\([0-9A-Fa-fx]\{1,\}\).*/\1/p" "$header") ||
    return 1
  [ -n "$id" ] || { echo "${0##*/}: $1 is not defined in $header" >&2; return 1; }
  printf '%s\n' "$id"
}

# program_satellite DLGREAD_EXE FOLDER: the satellite KCCSystemInfo.exe in FOLDER loads for this user's UI
# language (wine follows LANG), as a Windows path; dlgread makes the program's own choice.
program_satellite() {
  local folder satellite
  folder=$(windows_path "${2:?folder}") || return 1
  satellite=$(wine "${1:?dlgread.exe}" satellite "$folder" | tr -d '\r') && [ -n "$satellite" ] || return 1
  printf '%s\n' "$satellite"
}

# dialog_caption DLGREAD_EXE SATELLITE: the program's dialog caption, which is the satellite's application
# title; fails when the satellite has none.
dialog_caption() {
  local id satellite caption
  id=$(resource_id IDS_APP_TITLE) && satellite=$(windows_path "${2:?satellite}") || return 1
  caption=$(wine "${1:?dlgread.exe}" string "$satellite" "$id" | tr -d '\r') && [ -n "$caption" ] || return 1
  printf '%s\n' "$caption"
}
