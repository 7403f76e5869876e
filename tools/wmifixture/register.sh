#!/usr/bin/env bash
# Registers the WMI fixture provider as wine's WMI locator in the current WINEPREFIX, or restores wine's own.
#   register.sh register [DLL [FIXTURE]]  DLL defaults to $KCC_BIN_DIR/kccwmifixture.dll; FIXTURE, when
#                                         given, is stored as HKLM\Software\KCCSystemInfo\WmiFixture "File"
#   register.sh unregister                puts wbemprox.dll back and removes the WmiFixture key
#   register.sh status                    prints the registered server
# While registered, 32-bit wmic and scripts in that prefix see only the fixture: use a prefix of its own.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../lib/wine-env.sh"
cmd=${1:?register|unregister|status}
: "${WINEPREFIX:?set WINEPREFIX to a test prefix of its own}"
if [ "$(cd "$WINEPREFIX" 2>/dev/null && pwd)" = "$(cd "$HOME/.wine" 2>/dev/null && pwd)" ]; then
  echo "register.sh: refusing to change the default prefix $HOME/.wine" >&2; exit 2
fi
[ -f "$WINEPREFIX/system.reg" ] || { echo "register.sh: no wine prefix at $WINEPREFIX" >&2; exit 2; }

reg() { wine reg "$@" >/dev/null 2>&1; }

case $cmd in
  register)
    dll=${2:-${KCC_BIN_DIR:?set KCC_BIN_DIR or name the DLL}/kccwmifixture.dll}
    [ -f "$dll" ] || { echo "register.sh: no such DLL: $dll" >&2; exit 1; }
    [ -z "${3:-}" ] || [ -f "$3" ] || { echo "register.sh: no such fixture: $3" >&2; exit 1; }
    register_wmi_fixture "$dll" "${3:-}"
    ;;
  unregister)
    # The same view that register_wmi_fixture writes.
    reg add "$wmi_locator_key" /ve /d 'C:\windows\system32\wbem\wbemprox.dll' /f
    reg add "$wmi_locator_key" /v ThreadingModel /d Both /f
    reg delete "$wmi_fixture_key" /f || true
    ;;
  status)
    wine reg query "$wmi_locator_key" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'
    ;;
  *) echo "usage: register.sh register [DLL [FIXTURE]] | unregister | status" >&2; exit 2 ;;
esac
