#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build,
# the Debian package's install and removal,
# the core tests and a keep-alive soak crawl under AddressSanitizer+UBSan and
# under ThreadSanitizer, and a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

step() { printf '\n==== %s\n' "$*"; }

step "build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_WERROR=ON >/dev/null
cmake --build build --parallel "$jobs"
step "tests"
ctest --test-dir build --output-on-failure --parallel "$jobs"
step "Debian package: build, install, run, remove"
tests/package/run.sh

if [ "${QX_QUICK:-0}" != "1" ]; then
  step "core tests under AddressSanitizer and UBSan"
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQX_WERROR=ON -DQX_BUILD_GUI=OFF \
    -DQX_SANITIZE=address >/dev/null
  cmake --build build-asan --parallel "$jobs" --target quillex_core_tests quillex-cli qxbar_host_tests qxbar-host
  export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  ctest --test-dir build-asan --output-on-failure --parallel "$jobs"
  step "keep-alive soak under AddressSanitizer and UBSan"
  tests/soak/run.sh build-asan/cli/quillex-cli 64 300
  unset ASAN_OPTIONS UBSAN_OPTIONS

  step "core tests under ThreadSanitizer"
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQX_WERROR=ON -DQX_BUILD_GUI=OFF \
    -DQX_SANITIZE=thread >/dev/null
  cmake --build build-tsan --parallel "$jobs" --target quillex_core_tests quillex-cli qxbar_host_tests qxbar-host
  export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
  ctest --test-dir build-tsan --output-on-failure --parallel "$jobs"
  step "keep-alive soak under ThreadSanitizer"
  tests/soak/run.sh build-tsan/cli/quillex-cli 64 300
  unset TSAN_OPTIONS

  step "fuzz targets"
  scripts/fuzz.sh "${QX_FUZZ_SECONDS:-30}"
fi
