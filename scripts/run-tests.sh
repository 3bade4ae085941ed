#!/usr/bin/env bash
# Builds the station and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
BUILD_DIR=$build "$root/scripts/build.sh" "$@"
cd "$build"
ctest --output-on-failure -j "${TEST_JOBS:-2}" --timeout 900
