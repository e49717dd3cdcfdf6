#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it in its run-time folder (run/).
set -euo pipefail
cd "$(dirname "$0")"
tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target QuorvaneLedrow -j"$(nproc)"
tools/install-runtime.sh run
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Quorvane Ledrow needs a graphical desktop, and no display was found (DISPLAY is not set)." >&2
  echo "The game is built; start ./run.sh again from a desktop session." >&2
  exit 1
fi
cd run
exec ../build/game/QuorvaneLedrow "$@"
