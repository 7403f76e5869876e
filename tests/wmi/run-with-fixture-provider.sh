#!/usr/bin/env bash
# Runs a Win32 test program with the WMI fixture provider registered in the harness's test prefix,
# and puts wine's own locator back afterwards, whatever the test does.
set -uo pipefail
: "${KCC_TESTENV:?}" "${KCC_BIN_DIR:?}" "${KCC_SOURCE_DIR:?}"
. "$KCC_SOURCE_DIR/tools/lib/wine-env.sh"
wine_env_load "$KCC_TESTENV" || exit 1
register=$KCC_SOURCE_DIR/tools/wmifixture/register.sh
trap '"$register" unregister' EXIT
trap 'exit 130' INT TERM
"$register" register "$KCC_BIN_DIR/kccwmifixture.dll" || exit 1
wine "$@"
