#!/usr/bin/env bash
# Builds KCCSystemInfo and opens it under wine in a private prefix with the boardinfo driver.
# With a display ($DISPLAY set) the dialog opens there and this waits until it is closed.
# Without one, it starts Xvfb, waits for the dialog, saves a screenshot, prints what the
# dialog shows, and closes it with /halt.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh"
bin=$top/build/win32/bin
state=$top/build/win32/runenv
shot=${KCC_SCREENSHOT:-$top/build/win32/screenshot.png}

# Where the program looks for the DMI access driver (the maker's installer writes this).
register_driver() {
  wine reg add 'HKLM\SOFTWARE\Varnel Corporation\Shared Info\Shared Services' /v boardinfo /d boardinfo /f >/dev/null 2>&1
}

if [ -n "${DISPLAY:-}" ] && [ -z "${KCC_HEADLESS:-}" ]; then
  user_display=$DISPLAY
  "$top/tests/harness/testenv.sh" start "$state" "$bin" >/dev/null
  eval "$("$top/tests/harness/testenv.sh" env "$state")"
  export DISPLAY=$user_display
  register_driver
  trap '"$top/tests/harness/testenv.sh" stop "$state"' EXIT
  wine "$bin/KCCSystemInfo.exe"
  exit 0
fi

"$top/tests/harness/testenv.sh" start "$state" "$bin" >/dev/null
trap '"$top/tests/harness/testenv.sh" stop "$state"' EXIT
eval "$("$top/tests/harness/testenv.sh" env "$state")"
register_driver
caption=$(wine "$bin/dlgread.exe" string "$bin/KCCSystemInfoENU.dll" 500)
wine "$bin/KCCSystemInfo.exe" &
app=$!
# Message boxes on the way (WMI errors) are answered with OK and printed.
wine "$bin/dlgread.exe" wait "$caption" 30000
sleep 0.3
import -display "$DISPLAY" -window root "$shot"
echo "screenshot: $shot"
echo "dialog: $caption"
wine "$bin/dlgread.exe" lists "$caption"
wine "$bin/KCCSystemInfo.exe" /halt
wait $app || true
