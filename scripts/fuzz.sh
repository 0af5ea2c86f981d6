#!/usr/bin/env bash
# Builds every fuzz target with clang and runs each for the given seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQX_BUILD_FUZZ=ON -DQX_BUILD_GUI=OFF -DQX_WERROR=ON >/dev/null
cmake --build build-fuzz --parallel "$(nproc)"
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=1048576 -rss_limit_mb=4096 -timeout=10 \
    -print_final_stats=0 "$corpus" $( [ -d fuzz/seeds ] && echo fuzz/seeds ) 2>&1 | tail -n 3
done
echo "fuzz targets ran without a crash"
