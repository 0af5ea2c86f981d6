#!/usr/bin/env bash
# Builds the Debian package quillex_VERSION_amd64.deb with CPack from the
# build folder (build/, or BUILD_DIR) and checks it with lintian when that is
# installed. Prints the package's path last.
#
#   scripts/package.sh [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
if [ ! -f "$build/CMakeCache.txt" ] || [ $# -gt 0 ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
fi
# Only what the package holds; the tests and benchmarks are not needed.
cmake --build "$build" --parallel "$(nproc)" \
  --target quillex quillex-cli qxbar-host qxbar-extension qx-docs
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/quillex_*_amd64.deb | head -n 1)
if command -v lintian >/dev/null; then
  # Errors fail the build; warnings are shown.
  lintian --fail-on error "$deb" >&2 ||
    { echo "package.sh: lintian found errors in $deb" >&2; exit 1; }
fi
echo "$deb"
