#!/usr/bin/env bash
# Installs what Hearth Bench needs to build, run and test on Debian 12 (run as root or via sudo).
# Packages come without their recommendations, so every package the build, the tests and the CI
# script use is named here, also when another package only recommends it.
# tools/check-fresh-machine.sh runs CI on a fresh Debian 12 root to show that the list is complete.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
    # compilers, CMake with Ninja, git for the checkout; binutils' nm lists the library's exports;
    # ccache keeps CI's compilations across runs
    build-essential binutils cmake ninja-build git ccache
    # Qt 6 (Core, Gui, Widgets, Test; Svg renders the icons), Qt's own translations (the Italian
    # buttons of message boxes) and a font for the offscreen pages
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n libgl-dev fonts-dejavu-core
    # unit tests
    libgtest-dev
    # libFuzzer targets (clang with its runtime libraries) and the code formatter
    clang-14 libclang-rt-14-dev clang-format
    # Windows cross build of pyrolink.dll; objdump reads its export table; Wine runs its tests
    gcc-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 wine wine64
    # the third-party Modbus slave of the link tests (its serial server needs serial_asyncio,
    # which python3-pymodbus only recommends) and socat, which joins it to the library by a pty pair
    python3 python3-pymodbus python3-serial python3-serial-asyncio socat
    # srec_cat writes the third-party firmware files of the firmware-update tests
    srecord
    # the Debian packages: built with cpack (dpkg-dev, file), checked with lintian, their library
    # linked through pkg-config, the installed program's file accesses watched with strace
    dpkg-dev file lintian pkg-config strace
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi
