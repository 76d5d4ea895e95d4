#!/usr/bin/env bash
# Draws the main window, the about box and each wizard page on the demo
# volume under Xvfb and saves them into docs/ (or the directory given).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVANE_BUILD_DIR:-$root/build}
out=${1:-$root/docs}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target quorvane-screenshots
bash "$root/tools/make-demo-volume.sh" "$build/demo.img"
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
XDG_RUNTIME_DIR=$runtime xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/quorvane-screenshots" "$build/demo.img" "$out"
