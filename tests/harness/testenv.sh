#!/usr/bin/env bash
# Starts and stops a private wine test environment: prefix, persistent wineserver, Xvfb display.
#   testenv.sh start STATE_DIR [BIN_DIR]   make the prefix if needed, start Xvfb and the server
#   testenv.sh stop STATE_DIR              stop only what start started (by pid / wineserver -k)
#   source <(testenv.sh env STATE_DIR)     WINEPREFIX, DISPLAY and WINEDEBUG for this environment
# BIN_DIR, when given, holds boardinfo.sys: start installs it as the demand-start service, and wine's loader is
# the one for BIN_DIR's programs (the x86-64 build needs no 32-bit support).
# The command form of tools/lib/wine-env.sh, for ctest's fixture and for working by hand.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/wine-env.sh"
case ${1:?start|stop|env} in
  start) if [ -n "${3:-}" ]; then wine_for "$3" || exit 1; fi
         wine_env_start "${2:?state dir}" "${3:-}" ;;
  stop) wine_env_stop "${2:?state dir}" ;;
  env) wine_env_print "${2:?state dir}" ;;
  *) echo "usage: testenv.sh start|stop|env STATE_DIR [BIN_DIR]" >&2; exit 2 ;;
esac
