#!/usr/bin/env bash
# Installs what is missing, builds and starts Quillex.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
# The per-user program folder (engines file, help page, icons) under
# ~/.local/share/quillex, recorded as [Main] Path when none is set yet.
cmake --install build --prefix "${QX_PREFIX:-$HOME/.local}" >/dev/null
if [ -x build/app/quillex ]; then
  exec build/app/quillex "$@"
elif [ -x build/cli/quillex-cli ]; then
  if [ $# -eq 0 ]; then
    set -- --search example --max-depth 1 https://example.com/
  fi
  exec build/cli/quillex-cli "$@"
else
  echo "Quillex is built, but neither the desktop program nor the headless crawler exists yet."
fi
