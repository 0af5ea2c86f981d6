#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quillex need.
# Only missing packages are installed; needs root or sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libcurl4-openssl-dev libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev libssl-dev
  qt6-base-dev qt6-webengine-dev qt6-charts-dev libgl-dev openssl ca-certificates
  xvfb xauth openbox x11-utils nginx-light
  nlohmann-json3-dev chromium chromium-driver python3-selenium firefox-esr
  python3 dpkg-dev file lintian
)
if [ "${1:-}" = "--bench" ]; then
  packages+=(wget2 httrack)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
