#!/usr/bin/env bash
# The release zip as Windows users run it: its i686 programs unpacked into "Program Files (x86)" of a 64-bit
# (WoW64) prefix and started there, each start's rows (read through the program's own Ctrl+C) beside those of
# the x86-64 build in the same state; the zip signed with a throwaway certificate, every signature verified, and
# its program started beside the unsigned one. Where this machine cannot run 32-bit programs, the i686 ones run in a
# private user namespace whose binfmt_misc hands them to qemu-i386 (a minute or so a start); KCC_RELEASE_EMULATE=1
# does so here too. --zip-only checks the zip alone, without wine.
#   release_test.sh [--zip-only] DIST_DIR WIN32_BUILD WIN64_BUILD STATE_DIR
set -uo pipefail
zip_only=
if [ "${1:-}" = --zip-only ]; then zip_only=1; shift; fi
phase=
if [ "${1:-}" = --programs ]; then phase=programs; shift; fi
dist=${1:?dist} win32=${2:?i686 build} win64=${3:?x86-64 build} state=${4:?state dir}
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tools/lib/wine-env.sh"
zip=$(ls "$dist"/KCCSystemInfo-*.zip 2>/dev/null | head -n 1)
work=$state/work
signing=$state.sign # the throwaway certificate and the zip signed with it
failed=0 passed=0
check() { # check NAME COMMAND...: one named expectation
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAIL $name"; failed=$((failed + 1)); return 1; fi
}
same() { diff -u --label "$1" --label "$2" "$3" "$4"; }
value() { awk -F'\t' -v label="$1" '$1 == "copied" && $2 == label { print $3; exit }' "$2"; } # value LABEL ROWS
row() { sed -n "$(($1 + 1))p" "$2" | cut -f3; } # row N ROWS: the value of the N-th copied row (from 0)

# ---- The programs: every start of the zip's i686 programs, in one prefix (inside the namespace where emulated).
programs() {
  local folder app exe dlgread x64 release walk32 walk64 satellites
  wine_use_wine64 # every helper is an x86-64 program; the zip's i686 ones are started by path
  mkdir -p "$work"
  template=$win32/release-template
  if [ ! -f "$template/prefix/.kcc-ready" ]; then
    echo "release: making the 64-bit prefix with its 32-bit side once ($(date +%T))"
    wine_env_start "$template" >/dev/null && wine_env_stop "$template" || { echo "FAIL no prefix"; return 1; }
  fi
  KCC_PREFIX_TEMPLATE=$template/prefix wine_env_enter "$state" || { echo "FAIL no wine environment"; return 1; }
  folder=$WINEPREFIX/drive_c/Program\ Files\ \(x86\)/KCCSystemInfo
  mkdir -p "$folder"
  python3 -m zipfile -e "$zip" "$folder"
  app='C:\Program Files (x86)\KCCSystemInfo'
  exe="$app\\KCCSystemInfo.exe"
  dlgread=$win64/bin/dlgread.exe
  x64=$win64/bin/KCCSystemInfo.exe
  native=$WINEPREFIX/drive_c/windows/system32
  kivo='HKLM\SOFTWARE\Varnel Corporation\KIVO Control Center\KIVOinfo'
  oem='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\OEMInformation'
  export WINEDEBUG=-all

  # start NAME LOCALE PROGRAM [ARGS]: the program's dialog, its boxes answered, its rows copied with Ctrl+C into
  # $work/NAME.rows; the program keeps running (its wine process id in $pid).
  start() {
    local name=$1 locale=$2 program=$3 caption began
    began=$(date +%s)
    with_locale "$locale" wine "$program" >/dev/null 2>&1 &
    pid=$!
    caption=$(label "$locale" IDS_APP_TITLE) && [ -n "$caption" ] || { echo "no caption for $locale"; return 1; }
    if [ -n "$(dl "$locale" lists "$caption" 2>/dev/null)" ]; then echo "a dialog is open already"; return 1; fi
    dl "$locale" wait "$caption" 300000 > "$work/$name.boxes" && dl "$locale" copy "$caption" > "$work/$name.rows" ||
      return 1
    echo "release: $name: its dialog $(( $(date +%s) - began )) s after the start"
  }
  # stop PID [SECONDS]: waits for the wine process to end.
  stop() {
    local _
    for _ in $(seq $((${2:-30} * 10))); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    kill "$1" 2>/dev/null
    return 1
  }
  # dl LOCALE COMMAND...: the dialog reader as a user of that language runs it.
  dl() { with_locale "$1" wine "$dlgread" "${@:2}" | tr -d '\r'; }
  # label LOCALE NAME: string NAME of the satellite the program picks for a user of that language.
  label() { dl "$1" string "$(dl "$1" satellite "$app")" "$(resource_id "$2")"; }
  # beside_x64 NAME LOCALE: the x86-64 build in the same state, its rows the i686 program's NAME-i686 rows.
  beside_x64() {
    if start "$1-x64" "$2" "$x64"; then
      wine "$x64" /halt >/dev/null 2>&1
      stop "$pid"
      check "the i686 program's rows are the x86-64 build's ($1)" same i686 x86-64 "$work/$1-i686.rows" "$work/$1-x64.rows"
    else
      check "the x86-64 build's dialog ($1)" false
    fi
  }

  # 1. MemoryMethod 1 as a 32-bit installer writes it (the 32-bit view), oeminfo.ini only in the native
  # system32, a Japanese user.
  wine reg add "$kivo" /v MemoryMethod /t REG_DWORD /d 1 /reg:32 /f >/dev/null 2>&1
  printf '[General]\r\nManufacturer=Varnel Corporation\r\nModel=VGN-X90 \xe3\x83\x8e\xe3\x83\xbc\xe3\x83\x88\r\n' |
    iconv -f UTF-8 -t UTF-16 > "$native/oeminfo.ini"
  rm -f "$WINEPREFIX/drive_c/windows/syswow64/oeminfo.ini"
  if start japanese-i686 ja_JP.UTF-8 "$exe"; then
    wine "$x64" /halt >/dev/null 2>&1
    check "the i686 program ends on /halt" stop "$pid" 60
    check "the OEM rows from the native system32's oeminfo.ini" \
      [ "$(row 10 "$work/japanese-i686.rows")|$(row 11 "$work/japanese-i686.rows")" = "Varnel Corporation|VGN-X90 ノート" ]
    check "Japanese labels" [ "$(cut -f2 "$work/japanese-i686.rows" | head -n 1)" = "$(label ja_JP.UTF-8 IDS_PROCESSOR)" ]
    check "the memory row of MemoryMethod 1 from the 32-bit view" [ "$(row 2 "$work/japanese-i686.rows")" = "   0 MBytes" ]
    check "the system version from the firmware table (no driver)" [ "$(row 6 "$work/japanese-i686.rows")" = "J002" ]
    beside_x64 japanese ja_JP.UTF-8
  else
    check "the i686 program's dialog (Japanese)" false
  fi

  # 2. MemoryMethod only in the 64-bit view (a 64-bit driver package), no oeminfo.ini, OEMInformation in the
  # 64-bit view (the 32-bit view's copy must not be read), a German user; /halt from the i686 program.
  wine reg delete "$kivo" /v MemoryMethod /reg:32 /f >/dev/null 2>&1
  wine reg add "$kivo" /v MemoryMethod /t REG_DWORD /d 1 /reg:64 /f >/dev/null 2>&1
  rm -f "$native/oeminfo.ini"
  wine reg add "$oem" /v Manufacturer /d 'Varnel Corporation' /reg:64 /f >/dev/null 2>&1
  wine reg add "$oem" /v Model /d 'VGN-X90 Registry' /reg:64 /f >/dev/null 2>&1
  wine reg add "$oem" /v Model /d 'Not the 64-bit view' /reg:32 /f >/dev/null 2>&1
  if start german-i686 de_DE.UTF-8 "$exe"; then
    local halt=$(date +%s)
    with_locale de_DE.UTF-8 wine "$exe" /halt >/dev/null 2>&1
    check "/halt from the i686 program closes it" stop "$pid" 60
    echo "release: the i686 /halt took $(( $(date +%s) - halt )) s"
    check "the OEM rows from OEMInformation in the 64-bit view" \
      [ "$(row 10 "$work/german-i686.rows")|$(row 11 "$work/german-i686.rows")" = "Varnel Corporation|VGN-X90 Registry" ]
    check "German labels" [ "$(cut -f2 "$work/german-i686.rows" | head -n 1)" = "$(label de_DE.UTF-8 IDS_PROCESSOR)" ]
    check "the memory row of MemoryMethod 1 from the 64-bit view" [ "$(row 2 "$work/german-i686.rows")" = "   0 MBytes" ]
    beside_x64 german de_DE.UTF-8
  else
    check "the i686 program's dialog (German)" false
  fi

  # The signed zip's program in the same state shows the same rows.
  signed=$WINEPREFIX/drive_c/Program\ Files\ \(x86\)/KCCSystemInfo\ Signed
  mkdir -p "$signed"
  if python3 -m zipfile -e "$signing/zip/$(basename "$zip")" "$signed" &&
     start german-signed de_DE.UTF-8 "$signed/KCCSystemInfo.exe"; then
    wine "$x64" /halt >/dev/null 2>&1
    check "the signed program ends on /halt" stop "$pid" 60
    check "the signed program's rows are the unsigned one's" \
      same unsigned signed "$work/german-i686.rows" "$work/german-signed.rows"
  else
    check "the signed program's dialog" false
  fi

  # 3. The i686 KCCCapture in the same state; the replay follows outside.
  captures() {
    local status=0
    with_locale de_DE.UTF-8 wine "$app\\KCCCapture.exe" 'C:\capture' > /dev/null 2> "$work/capture.err" || status=$?
    [ "$status" = 0 ] && return 0
    echo "KCCCapture exited with status $status:"
    tr -d '\r' < "$work/capture.err"
    return 1
  }
  check "the i686 KCCCapture captures" captures
  rm -rf "$work/capture"
  [ ! -d "$WINEPREFIX/drive_c/capture" ] || cp -r "$WINEPREFIX/drive_c/capture" "$work/capture"

  # 4. A 32-bit program's requests to the x86-64 driver serving a real table, the location in either view.
  table=$top/../shared/smbios/real/lenovo-thinkpad-t480.bin
  [ -f "$table" ] || { echo "release: ../shared is missing: the driver serves a sample table instead"; \
                       table=$top/tests/driver/samples/varnel-notebook.bin; }
  if "$top/tools/boardinfo-service.sh" install "$win32/bin/x64/boardinfo.sys" --table "$table" >/dev/null; then
    wine "$win32/tests-bin/release_walk.exe" boardinfo | tr -d '\r' > "$work/walk-i686.txt"
    wine "$win64/tests-bin/release_walk.exe" boardinfo | tr -d '\r' > "$work/walk-x64.txt"
    check "the i686 walk through the x86-64 driver, own view and other" \
      [ "$(grep -c $'\tstatus\t31$' "$work/walk-i686.txt")" = 2 ]
    check "it reads the processor" grep -q $'^own\tprocessor\t.' "$work/walk-i686.txt"
    check "the i686 walk gives the x86-64 build's fields" same i686 x86-64 "$work/walk-i686.txt" "$work/walk-x64.txt"
    "$top/tools/boardinfo-service.sh" remove >/dev/null 2>&1
  else
    check "the x86-64 driver starts" false
  fi
  wine_env_stop "$state"
  echo "$passed $failed" > "$work/programs.result"
}

if [ "$phase" = programs ]; then
  if [ -n "${KCC_RELEASE_BINFMT:-}" ]; then
    # This namespace's own binfmt_misc: 32-bit x86 programs go to qemu, and nothing changes outside.
    mount -t binfmt_misc none /proc/sys/fs/binfmt_misc &&
      printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
        > /proc/sys/fs/binfmt_misc/register || { echo "FAIL no binfmt_misc of our own"; exit 1; }
  fi
  programs
  exit 0
fi

[ -f "$zip" ] || { echo "release: no zip in $dist (tools/package.sh)"; exit 1; }
began=$(date +%s)

# ---- The zip: the same bytes when packed again, exactly what a user needs, texts with Windows' line ends.
"$top/tools/package.sh" --bin "$win32/bin" "$state.repack" >/dev/null
check "the zip packs to the same bytes again" cmp -s "$zip" "$state.repack/$(basename "$zip")"
rm -rf "$state.repack"
satellites=$(cd "$top/res" && ls KCCSystemInfo???.rc | sed 's/\.rc$/.dll/')
expected=$(printf '%s\n' KCCSystemInfo.exe $satellites KCCCapture.exe README.txt | sort)
check "the zip holds the program, its satellites, KCCCapture and README.txt, and nothing to install" \
  same expected zip <(echo "$expected") <(python3 -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' "$zip")
check "README.txt has CR LF line ends only" python3 -c '
import sys, zipfile
data = zipfile.ZipFile(sys.argv[1]).read("README.txt")
sys.exit(0 if data.count(b"\n") == data.count(b"\r\n") > 0 else 1)' "$zip"

# ---- Signed with a throwaway code-signing certificate of the maker's kind (RSA 3072, a PKCS#12 file and its
# password file): every program and DLL verifies against it, the zip holds what the unsigned one holds; a wrong
# password and a key other than RSA pack nothing.
# certificate NAME KEY...: a self-signed code-signing certificate of that key ($signing/NAME.pem) in NAME.pfx.
certificate() {
  openssl req -x509 -newkey "${@:2}" -nodes -keyout "$signing/$1.key" -out "$signing/$1.pem" -days 2 \
      -subj "/CN=KCCSystemInfo release test $1" -addext extendedKeyUsage=codeSigning 2>/dev/null &&
    openssl pkcs12 -export -inkey "$signing/$1.key" -in "$signing/$1.pem" -out "$signing/$1.pfx" \
      -passout "file:$signing/password"
}
signs() {
  certificate signer rsa:3072 &&
    "$top/tools/package.sh" --bin "$win32/bin" --password-file "$signing/password" --sign "$signing/signer.pfx" \
      "$signing/zip" >/dev/null
}
verifies() {
  local signed=$signing/zip/$(basename "$zip") file count=0
  python3 - "$zip" "$signed" <<'PY' || { echo "the signed zip does not hold what the unsigned one holds"; return 1; }
import sys, zipfile
unsigned, signed = (zipfile.ZipFile(path) for path in sys.argv[1:])
sys.exit(unsigned.namelist() != signed.namelist() or unsigned.read("README.txt") != signed.read("README.txt"))
PY
  mkdir "$signing/files" && python3 -m zipfile -e "$signed" "$signing/files" || return 1
  for file in "$signing/files"/*.exe "$signing/files"/*.dll; do
    osslsigncode verify -CAfile "$signing/signer.pem" -in "$file" > "$file.verify" 2>&1 &&
      grep -q '^Message digest algorithm *: SHA256' "$file.verify" || { cat "$file.verify"; return 1; }
    count=$((count + 1))
  done
  echo "release: the signed zip's $count programs and DLLs verify against the throwaway certificate"
}
# refused NAME PASSWORD_FILE REASON: packing signed with NAME.pfx fails, saying REASON, and leaves no zip.
refused() {
  local status=0
  "$top/tools/package.sh" --bin "$win32/bin" --sign "$signing/$1.pfx" --password-file "$2" "$signing/$1-refused" \
    > /dev/null 2> "$signing/$1.err" || status=$?
  [ "$status" != 0 ] && grep -q "$3" "$signing/$1.err" && ! compgen -G "$signing/$1-refused/*.zip" > /dev/null ||
    { echo "status $status:"; cat "$signing/$1.err"; return 1; }
}
refuses_ecc() { certificate ecc ec -pkeyopt ec_paramgen_curve:P-256 && refused ecc "$signing/password" 'no RSA key'; }
rm -rf "$signing" && mkdir -m 700 "$signing" && printf 'throwaway %s\n' "$RANDOM$RANDOM" > "$signing/password" &&
  printf 'not the password\n' > "$signing/wrong"
check "a zip signed with a throwaway RSA code-signing certificate" signs &&
  check "every program and DLL of the signed zip verifies against that certificate" verifies
check "a wrong password packs no zip" refused signer "$signing/wrong" 'cannot open'
check "a key other than RSA packs no zip" refuses_ecc
if [ -n "$zip_only" ]; then
  echo "release zip: $passed passed, $failed failed"
  [ "$failed" = 0 ]
  exit
fi
for program in bin/dlgread.exe bin/KCCSystemInfo.exe tests-bin/release_walk.exe; do
  [ -f "$win64/$program" ] || { echo "release: no $win64/$program: build the x86-64 build first (tools/test.sh does)"; exit 1; }
done

# ---- The programs, under a private /sys/class/dmi/id of the maker's (wine's firmware table and WMI come from
# it): directly where 32-bit programs run, else emulated in a namespace of their own.
rm -rf "$state"
mkdir -p "$work"
namespace=()
emulated=
if ! wine_runs_32bit || [ -n "${KCC_RELEASE_EMULATE:-}" ]; then
  emulated=1
  command -v qemu-i386-static >/dev/null || { echo "release: no qemu-i386-static (package qemu-user-static)"; exit 1; }
  namespace=(env KCC_RELEASE_BINFMT=1 unshare -U -m -r --propagation private)
  echo "release: the i686 programs run under qemu-i386 in a namespace of their own ($(wine_runs_32bit && echo forced || wine_explain_32bit))"
fi
"$top/tools/with-dmi-id" --from "$top/tests/e2e/profiles/firmware-table-maker/dmi-id" -- \
  "${namespace[@]}" "$0" --programs "$dist" "$win32" "$win64" "$state"
read -r inside_passed inside_failed < "$work/programs.result" 2>/dev/null || { inside_passed=0; inside_failed=1; }
passed=$((passed + inside_passed)) failed=$((failed + inside_failed))

# ---- The capture of the i686 KCCCapture replays, with the x86-64 build, to the rows the i686 program showed.
replays() {
  [ -f "$work/capture/capture.txt" ] || { echo "no capture.txt: the i686 KCCCapture left no capture"; return 1; }
  KCC_BIN_DIR=$win64/bin with_locale de_DE.UTF-8 "$top/tools/replay" "$work/capture" > "$work/replay.txt" 2> "$work/replay.err" ||
    { cat "$work/replay.err"; return 1; }
}
if check "the capture of the i686 KCCCapture replays" replays; then
  awk -F'\t' -v OFS='\t' '$1 == "row" { print "copied", $4, $5 }' "$work/replay.txt" > "$work/replay.rows"
  check "its replay shows the i686 program's rows" same "i686 program" "replay of its capture" \
    "$work/german-i686.rows" "$work/replay.rows"
fi

echo "release: $passed passed, $failed failed, in $(( $(date +%s) - began )) s$([ -n "$emulated" ] && echo ", emulated")"
[ "$failed" = 0 ]
