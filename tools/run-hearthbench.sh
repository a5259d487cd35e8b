#!/bin/sh
# Builds Hearth Bench if needed and starts it against the board simulator playing a WATER board on
# COM1. On a fresh Debian 12 desktop the build tools and Qt 6 are installed first (through sudo
# when not run as root).
#   tools/run-hearthbench.sh [--model basic|water|air]
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${HB_BUILD_DIR:-$ROOT/build/app}
MODEL=water
if [ "${1:-}" = "--model" ] && [ -n "${2:-}" ]; then MODEL=$2; fi

PACKAGES="build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-translations-l10n libgl-dev fonts-dejavu-core"
missing=""
for p in $PACKAGES; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update
    # shellcheck disable=SC2086
    $SUDO apt-get install -y $missing
fi

if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DHB_BUILD_TESTS=OFF -DHB_BUILD_BENCH=OFF
fi
cmake --build "$BUILD" --target hearthbench stovesim -- -j2

# The simulator prints its pseudo-terminal's path on its first line, then keeps serving.
OUT=$(mktemp)
# At its end it writes its flash memory to stovesim-flash.bin, to compare with a firmware update.
"$BUILD/tools/stovesim/stovesim" --model "$MODEL" --dump-flash "$BUILD/stovesim-flash.bin" </dev/null >"$OUT" 2>/dev/null &
SIM=$!
trap 'kill $SIM 2>/dev/null; rm -f "$OUT"' EXIT INT TERM
i=0
while [ ! -s "$OUT" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
PTY=$(head -n 1 "$OUT")
if [ -z "$PTY" ]; then
    echo "The simulator did not start." >&2
    exit 1
fi
echo "Simulated $MODEL board on $PTY (COM1)"
export PYROLINK_COM1="$PTY"

# The language files are looked up in "lang" below the working directory; the build keeps a copy
# next to the program.
cd "$(dirname "$BUILD/hearthbench")"
"$BUILD/hearthbench"
