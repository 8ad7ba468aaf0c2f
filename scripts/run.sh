#!/usr/bin/env bash
# Installs what is missing, builds, and runs the screen saver: in a window when there is
# a display, otherwise headless, writing PNG frames to ./frames.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target reefmere reefmere_assets
if [ -n "${DISPLAY:-}" ]; then
  exec build/bin/reefmere --window "$@"
else
  mkdir -p frames
  build/bin/reefmere --headless --size 1280x720 --seconds 20 --out frames "$@"
  echo "frames written to $(pwd)/frames"
fi
