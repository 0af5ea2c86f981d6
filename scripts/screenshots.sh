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
# The Home tab shows a sample page served on the loopback.
/usr/bin/python3 - "$out" "$config/port" 2>/dev/null <<'PY' &
import functools, http.server, os, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
with open(sys.argv[2] + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(sys.argv[2] + ".tmp", sys.argv[2])
server.serve_forever()
PY
server=$!
trap 'kill $server; rm -rf "$config"' EXIT
until [ -s "$config/port" ]; do sleep 0.1; done
# A private settings folder: no saved placement, no running instance met (its
# socket is in the temporary folder).
XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$config" TMPDIR="$config" QX_SCREENSHOT_DIR="$out" \
  QX_SCREENSHOT_HOME_URL="http://127.0.0.1:$(cat "$config/port")/home-page.html" \
  timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" "$build/app/quillex"
ls -l "$out"
