#!/usr/bin/env bash
# Installs what is missing, builds, and starts Plivora.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
samples=out/sample-views
if [ ! -f "$samples/view01.tif" ]; then
  build/src/plivora-sample-views --views 8 "$samples" >/dev/null
  echo "A sample series of 8 views is in $samples"
fi
if [ -x build/src/app/plivora ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/src/app/plivora "$@"
fi
if [ -x build/src/app/plivora ]; then
  echo "The Plivora window needs a desktop session (no DISPLAY or WAYLAND_DISPLAY is set);"
  echo "interlacing the sample series with the command-line program instead."
fi
build/src/plivora-interlace --unit cm --width 10 -o out/sample-interlaced.tif "$samples"/view*.tif
echo "Interlaced the sample series into out/sample-interlaced.tif"
