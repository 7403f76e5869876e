#!/usr/bin/env bash
# Builds the program and packs what a Windows user downloads: dist/KCCSystemInfo-<version>.zip: the program, its
# language satellites, KCCCapture and README.txt. Nothing to install: no driver ships.
#   tools/package.sh [--bin BIN_DIR] [OUT_DIR]
# Without --bin it builds first (tools/build.sh) and packs build/win32/bin; OUT_DIR defaults to dist/.
# The same commit gives the same bytes: the programs are linked without time stamps, and the zip lists
# its files in a fixed order with a fixed date and fixed attributes.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=
if [ "${1:-}" = --bin ]; then bin=${2:?bin dir}; shift 2; fi
out=${1:-$top/dist}
if [ -z "$bin" ]; then
  "$top/tools/build.sh" >/dev/null
  bin=$top/build/win32/bin
fi

part() { sed -n "s/^#define KCC_VERSION_$1 \\([0-9]*\\).*/\\1/p" "$top/res/version.h"; }
version=$(part MAJOR).$(part MINOR).$(part PATCH).$(part BUILD)
[ "$version" != ... ] || { echo "package: no version in res/version.h" >&2; exit 1; }
mkdir -p "$out"
zip=$out/KCCSystemInfo-$version.zip

python3 - "$zip" <<PY
import sys, zipfile
entries = [
    ("KCCSystemInfo.exe", "$bin/KCCSystemInfo.exe"),
    ("KCCSystemInfoENU.dll", "$bin/KCCSystemInfoENU.dll"),
    ("KCCSystemInfoJPN.dll", "$bin/KCCSystemInfoJPN.dll"),
    ("KCCSystemInfoDEU.dll", "$bin/KCCSystemInfoDEU.dll"),
    ("KCCSystemInfoFRA.dll", "$bin/KCCSystemInfoFRA.dll"),
    ("KCCSystemInfoESN.dll", "$bin/KCCSystemInfoESN.dll"),
    ("KCCSystemInfoITA.dll", "$bin/KCCSystemInfoITA.dll"),
    ("KCCSystemInfoPTB.dll", "$bin/KCCSystemInfoPTB.dll"),
    ("KCCSystemInfoCHS.dll", "$bin/KCCSystemInfoCHS.dll"),
    ("KCCSystemInfoCHT.dll", "$bin/KCCSystemInfoCHT.dll"),
    ("KCCSystemInfoKOR.dll", "$bin/KCCSystemInfoKOR.dll"),
    ("KCCCapture.exe", "$bin/KCCCapture.exe"),
    ("README.txt", "$top/tools/package/README.txt"),
]
with zipfile.ZipFile(sys.argv[1] + ".tmp", "w") as z:
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
