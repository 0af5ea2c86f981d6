#!/usr/bin/env bash
# Starts the desktop program under a virtual X server and saves a picture of
# each tab into docs/screenshots/. Needs xvfb-run (packages xvfb, xauth).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
if [ ! -x "$build/app/quillex" ]; then
  cmake -S . -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --parallel 2 --target quillex
fi
out="$PWD/docs/screenshots"
mkdir -p "$out"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
# A private settings folder: no saved placement, no running instance met.
XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$config" QX_SCREENSHOT_DIR="$out" \
  timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" "$build/app/quillex"
ls -l "$out"
