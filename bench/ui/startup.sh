#!/usr/bin/env bash
# Start-up time of the desktop program: from starting it to its main window
# mapped on the X display, the median of N runs (the splash picture's 400 ms
# included), and the processor time the program took until then, which a
# busy machine disturbs less. Usage: DISPLAY=:N bench/ui/startup.sh path/to/quillex [N]
# Needs xwininfo (package x11-utils) and a running X server (Xvfb will do).
set -euo pipefail
bin=$1
runs=${2:-9}
times=()
cpu=()
tick_ms=$((1000 / $(getconf CLK_TCK)))
for _ in $(seq "$runs"); do
  config=$(mktemp -d)
  start=$(date +%s%N)
  XDG_CONFIG_HOME=$config XDG_RUNTIME_DIR=$config "$bin" >/dev/null 2>&1 &
  pid=$!
  until xwininfo -root -tree 2>/dev/null | grep -q '"QuillEx 1.0.2.0"'; do :; done
  times+=($(( ($(date +%s%N) - start) / 1000000 )))
  read -r -a stat <"/proc/$pid/stat"
  cpu+=($(( (stat[13] + stat[14]) * tick_ms )))
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  rm -rf "$config"
done
median() {
  printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { printf "median %d ms (min %d, max %d)", a[int((NR + 1) / 2)], a[1], a[NR] }'
}
echo "window shown: $(median "${times[@]}"); processor time: $(median "${cpu[@]}"); $runs runs"
