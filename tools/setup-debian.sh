#!/usr/bin/env bash
# Installs what Hearth Bench needs to build, run and test on Debian 12 (run as root or via sudo).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n libgl-dev fonts-dejavu-core
    libgtest-dev libgmock-dev libbenchmark-dev
    clang-14 libclang-rt-14-dev clang-format
    g++-mingw-w64-x86-64 wine wine64
    python3 python3-pymodbus python3-serial socat
    srecord
    xvfb xauth
    dpkg-dev file lintian strace
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi
