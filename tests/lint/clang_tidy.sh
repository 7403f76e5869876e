#!/usr/bin/env bash
# clang-tidy over the product code (app, sources, wmi, dialog, framework, driver and the shipped tools) as the
# MinGW build compiles it: the Win32 build's compile_commands.json, the MinGW target, the C++ headers of the
# build's own compiler. Checks and suppressions: .clang-tidy and NOLINT comments with their reasons.
#   clang_tidy.sh WIN32_BUILD_DIR
set -uo pipefail
build=${1:?win32 build dir}
top=$(cd "$(dirname "$0")/../.." && pwd)
command -v clang-tidy >/dev/null || { echo "lint: clang-tidy is not installed (tools/setup.sh)"; exit 1; }

# The product's translation units; tests, the test-only tools and third-party code are not product code.
mapfile -t files < <(python3 - "$build/compile_commands.json" "$top" <<'PY'
import json, os, sys
top = sys.argv[2]
product = ("app/", "sources/", "wmi/", "dialog/", "framework/", "driver/", "setup/", "capture/")
seen = set()
for entry in json.load(open(sys.argv[1])):
    path = os.path.relpath(os.path.join(entry["directory"], entry["file"]), top)
    if path.startswith(product) and path.endswith(".cpp") and path not in seen:
        seen.add(path)
        print(os.path.join(top, path))
PY
)
[ ${#files[@]} -gt 0 ] || { echo "lint: no product files in $build/compile_commands.json"; exit 1; }

# clang does not know where Debian's MinGW keeps libstdc++: ask the build's compiler.
compiler=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))[0]["command"].split()[0])' \
           "$build/compile_commands.json")
args=(--extra-arg-before=--target=i686-w64-mingw32 --extra-arg=-Wno-unknown-warning-option)
while read -r dir; do
  case $dir in */include/c++*) args+=("--extra-arg=-isystem$dir") ;; esac
done < <(echo | "$compiler" -xc++ -E -v - 2>&1 | sed -n '/#include <...> search starts here/,/End of search/p' | sed 's/^ //')

status=0
for file in "${files[@]}"; do
  clang-tidy --quiet -p "$build" "${args[@]}" "$file" > "$build/clang-tidy.out" 2>&1 || status=1
  grep -E 'warning:|error:' "$build/clang-tidy.out" | grep -v '^[0-9]* warnings' || true
done
echo "lint: ${#files[@]} files, $( [ $status = 0 ] && echo clean || echo findings above)"
exit $status
