#!/usr/bin/env bash
# Runs a Win32 test program in a test environment of its own whose boardinfo service runs another build
# of the driver (BIN_DIR/boardinfo.sys), and stops that environment afterwards.
#   with-driver.sh STATE_DIR BIN_DIR PROGRAM [ARGS ...]
# An environment of its own, because wine keeps a stopped driver's object in its winedevice process: the
# other build, hosted by the winedevice of the other bitness, cannot start in the same prefix after it.
set -uo pipefail
state=${1:?state dir} bin=${2:?bin dir}
shift 2
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tools/lib/wine-env.sh"
trap 'wine_env_stop "$state"' EXIT
wine_env_enter "$state" "$bin" || exit 1
wine "$@"
