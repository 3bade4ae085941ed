#!/usr/bin/env bash
# Configures and builds the station in BUILD_DIR (default: build).
# Extra arguments go to the CMake configuration.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" -j "${BUILD_JOBS:-2}"
