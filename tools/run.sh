#!/usr/bin/env bash
# Builds KCCSystemInfo and opens it under wine in a private prefix with the boardinfo driver.
# With a display ($DISPLAY set) the dialog opens there and this waits until it is closed.
# Without one, it starts Xvfb, waits for the dialog, saves a screenshot, prints what the
# dialog shows, and closes it with /halt.
# On a machine whose kernel cannot run wine's 32-bit loader it says so and runs the x86-64 build of the same
# code under wine's 64-bit loader instead.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/tools/lib/wine-env.sh"
"$top/tools/build.sh"
wine_select_build
build=$wine_build
bin=$build/bin
state=$build/runenv
shot=${KCC_SCREENSHOT:-$build/screenshot.png}

user_display=${DISPLAY:-}
[ -z "${KCC_HEADLESS:-}" ] || user_display=
trap 'wine_env_stop "$state"' EXIT
wine_env_enter "$state" "$bin"
register_driver_location

if [ -n "$user_display" ]; then
  # The environment's server and driver, the user's display.
  DISPLAY=$user_display wine "$bin/KCCSystemInfo.exe"
  exit 0
fi

caption=$(dialog_caption "$bin/dlgread.exe" "$(program_satellite "$bin/dlgread.exe" "$bin")")
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
