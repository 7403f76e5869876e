#!/usr/bin/env bash
# Test emulator for ctest: runs a Win32 program with wine inside the harness's test environment.
set -euo pipefail
state=${1:?state dir}; shift
eval "$("$(dirname "$0")/testenv.sh" env "$state")"
exec wine "$@"
