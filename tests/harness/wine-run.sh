#!/usr/bin/env bash
# Test emulator for ctest: runs a Win32 program with wine inside the harness's test environment.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/wine-env.sh"
wine_env_load "${1:?state dir}"
shift
exec wine "$@"
