#!/usr/bin/env bash
# Builds the program and packs what a Windows user downloads: dist/KCCSystemInfo-<version>.zip: the program, its
# language satellites, KCCCapture and README.txt. Nothing to install: no driver ships.
#   tools/package.sh [--bin BIN_DIR] [--sign PFX [--password-file FILE] [--timestamp URL]] [OUT_DIR]
# Without --bin it builds first (tools/build.sh) and packs build/win32/bin; OUT_DIR defaults to dist/.
# The same commit gives the same bytes: the programs are linked without time stamps, and the zip lists
# its files in a fixed order with a fixed date and fixed attributes.
# --sign gives every program and DLL an Authenticode SHA-256 signature (osslsigncode) with the RSA key and
# certificate of the PKCS#12 file PFX, whose password is the first line of FILE (none without it), and an
# RFC 3161 time stamp from URL. Copies are signed, never BIN_DIR's files; a signing that fails packs nothing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
usage() {
  echo "usage: tools/package.sh [--bin BIN_DIR] [--sign PFX [--password-file FILE] [--timestamp URL]] [OUT_DIR]" >&2
  exit 2
}
fail() { echo "package: $*" >&2; exit 1; }
bin= pfx= password= timestamp=
while [ $# -gt 0 ]; do
  case $1 in
    --bin) [ $# -ge 2 ] || usage; bin=$2; shift 2 ;;
    --sign) [ $# -ge 2 ] || usage; pfx=$2; shift 2 ;;
    --password-file) [ $# -ge 2 ] || usage; password=$2; shift 2 ;;
    --timestamp) [ $# -ge 2 ] || usage; timestamp=$2; shift 2 ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -le 1 ] || usage
[ -n "$pfx" ] || [ -z "$password$timestamp" ] || fail "--password-file and --timestamp go with --sign"
out=${1:-$top/dist}
if [ -z "$bin" ]; then
  "$top/tools/build.sh" >/dev/null
  bin=$top/build/win32/bin
fi

part() { sed -n "s/^#define KCC_VERSION_$1 \\([0-9]*\\).*/\\1/p" "$top/res/version.h"; }
version=$(part MAJOR).$(part MINOR).$(part PATCH).$(part BUILD)
[ "$version" != ... ] || fail "no version in res/version.h"
# The zip's programs and DLLs, in the zip's order; README.txt follows them.
programs=(KCCSystemInfo.exe KCCSystemInfoENU.dll KCCSystemInfoJPN.dll KCCSystemInfoDEU.dll KCCSystemInfoFRA.dll
          KCCSystemInfoESN.dll KCCSystemInfoITA.dll KCCSystemInfoPTB.dll KCCSystemInfoCHS.dll KCCSystemInfoCHT.dll
          KCCSystemInfoKOR.dll KCCCapture.exe)

packed=$bin
if [ -n "$pfx" ]; then
  for tool in openssl osslsigncode; do
    command -v "$tool" >/dev/null || fail "--sign needs $tool (the Debian package of that name)"
  done
  [ -f "$pfx" ] || fail "no such PKCS#12 file: $pfx"
  [ -z "$password" ] || [ -f "$password" ] || fail "no such password file: $password"
  passin=pass:
  [ -z "$password" ] || passin=file:$password
  # Only the certificate is read here; the key stays in the file. Older Windows exports use legacy ciphers.
  certificate() {
    openssl pkcs12 -in "$pfx" -passin "$passin" -clcerts -nokeys "$@" 2>/dev/null | openssl x509 -noout -text
  }
  text=$(certificate 2>/dev/null) || text=$(certificate -legacy 2>/dev/null) ||
    fail "cannot open $pfx with $([ -n "$password" ] && echo "the password in $password" || echo "no password")"
  grep -q 'Public Key Algorithm: rsaEncryption' <<< "$text" ||
    fail "$pfx holds no RSA key, and Smart App Control accepts RSA signatures only (no ECC)"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  sign=(osslsigncode sign -pkcs12 "$pfx" -h sha256)
  [ -z "$password" ] || sign+=(-readpass "$password")
  [ -z "$timestamp" ] || sign+=(-ts "$timestamp")
  for program in "${programs[@]}"; do
    "${sign[@]}" -in "$bin/$program" -out "$work/$program" > "$work/sign.log" 2>&1 ||
      { cat "$work/sign.log" >&2; fail "signing $program failed: nothing packed"; }
  done
  packed=$work
fi

mkdir -p "$out"
zip=$out/KCCSystemInfo-$version.zip
python3 - "$zip.tmp" "$packed" "$top/tools/package/README.txt" "${programs[@]}" <<'PY'
import os, sys, zipfile
target, folder, readme, programs = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
entries = [(name, os.path.join(folder, name)) for name in programs] + [("README.txt", readme)]
with zipfile.ZipFile(target, "w") as z:
    for name, path in entries:
        info = zipfile.ZipInfo(name, date_time=(2000, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 0           # MS-DOS: Windows' unzip reads the attributes below
        info.external_attr = 0x20        # FILE_ATTRIBUTE_ARCHIVE
        with open(path, "rb") as f:
            data = f.read()
        # Texts with Windows' line ends: Notepad before Windows 10 shows a file of bare LFs as one line.
        if name.endswith(".txt"):
            data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        z.writestr(info, data, compresslevel=9)
PY
mv "$zip.tmp" "$zip"
echo "package: $zip"
