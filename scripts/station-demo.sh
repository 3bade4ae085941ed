#!/usr/bin/env bash
# Builds the station, makes a sample station folder when there is none, and
# produces its line of virtual drives: discovery, START, one worker per drive,
# then the result of every port (the daily log lands in the folder's log/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
BUILD_DIR=$build "$root/scripts/build.sh"
folder=${STATION_DIR:-$root/sample}
if [ ! -f "$folder/REVODEDE.ini" ]; then
  "$build/kvstation-cli" init "$folder"
fi
"$build/kvstation-cli" --dir "$folder" scan
"$build/kvstation-cli" --dir "$folder" run
