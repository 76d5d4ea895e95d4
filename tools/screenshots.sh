#!/usr/bin/env bash
# Draws the main window, the about box, each wizard page and the search
# options dialog on the demo volume, driving the real program with keys and
# clicks through a private X server (Xvfb, xdotool), and saves them into
# docs/ (or the directory given).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVANE_BUILD_DIR:-$root/build}
out=${1:-$root/docs}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target quorvane
bash "$root/tools/make-demo-volume.sh" "$build/demo.img"
python3 "$root/tools/screenshots.py" "$build/quorvane" "$build/demo.img" "$out"
