#!/bin/sh
# Builds Hearth Bench if needed and starts it against the board simulator playing a WATER board on
# COM1. On a fresh Debian 12 desktop the build tools and Qt 6 are installed first (through sudo
# when not run as root).
#   tools/run-hearthbench.sh [--model basic|water|air] [--check | --build-only]
# --check (CI runs it): the program starts offscreen with settings of its own, enters the parameters
# page as soon as its window is shown (which detects the board) and quits; the script fails unless
# the window was shown, the language files found and the simulated model detected, within
# HB_CHECK_SECONDS (default 90).
# --build-only: installs and builds, starts nothing.
# HB_BUILD_DIR chooses the build folder (default build/app); one that is configured already is kept.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${HB_BUILD_DIR:-$ROOT/build/app}
MODEL=water
CHECK=""
BUILD_ONLY=""
while [ $# -gt 0 ]; do
    case $1 in
    --model)
        [ -n "${2:-}" ] || { echo "--model needs basic, water or air" >&2; exit 2; }
        MODEL=$2
        shift 2
        ;;
    --check) CHECK=yes; shift ;;
    --build-only) BUILD_ONLY=yes; shift ;;
    *) echo "usage: tools/run-hearthbench.sh [--model basic|water|air] [--check | --build-only]" >&2; exit 2 ;;
    esac
done
case $MODEL in
basic) DETECTED=BASIC ;;
water) DETECTED=WATER ;;
air) DETECTED="AIR - DUCTED" ;;
*) echo "unknown model $MODEL (basic, water or air)" >&2; exit 2 ;;
esac

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
    $SUDO apt-get install -y --no-install-recommends $missing
fi

if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DHB_BUILD_TESTS=OFF -DHB_BUILD_BENCH=OFF
fi
cmake --build "$BUILD" --target hearthbench stovesim -- -j2
[ -z "$BUILD_ONLY" ] || exit 0

# The simulator prints its pseudo-terminal's path on its first line, then keeps serving.
OUT=$(mktemp)
SETTINGS=""
# At its end it writes its flash memory to stovesim-flash.bin, to compare with a firmware update.
"$BUILD/tools/stovesim/stovesim" --model "$MODEL" --dump-flash "$BUILD/stovesim-flash.bin" </dev/null >"$OUT" 2>/dev/null &
SIM=$!
trap 'kill $SIM 2>/dev/null; rm -rf "$OUT" $SETTINGS' EXIT INT TERM
i=0
while [ ! -s "$OUT" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
PTY=$(head -n 1 "$OUT")
if [ -z "$PTY" ]; then
    echo "The simulator did not start." >&2
    exit 1
fi
echo "Simulated $MODEL board on $PTY (COM1)"
export PYROLINK_COM1="$PTY"

# The language files are looked up in "lang" below the working directory; the build keeps a copy
# next to the program.
cd "$BUILD/ui"
if [ -z "$CHECK" ]; then
    "$BUILD/ui/hearthbench"
    exit
fi

# Check mode: fresh settings (COM1 and the default line settings), no display needed.
SETTINGS=$(mktemp -d)
SECONDS_ALLOWED=${HB_CHECK_SECONDS:-90}
status=0
XDG_CONFIG_HOME="$SETTINGS" QT_QPA_PLATFORM=offscreen HEARTHBENCH_LAUNCH_CHECK="$SECONDS_ALLOWED" \
    timeout $((SECONDS_ALLOWED + 30)) "$BUILD/ui/hearthbench" >"$SETTINGS/out" 2>&1 || status=$?
cat "$SETTINGS/out"
if [ "$status" -eq 124 ]; then
    echo "run-hearthbench.sh --check: hearthbench did not end within $((SECONDS_ALLOWED + 30)) s" >&2
    exit 1
fi
if [ "$status" -ne 0 ] || ! grep -q "launch check passed: .* $DETECTED board detected" "$SETTINGS/out"; then
    echo "run-hearthbench.sh --check: FAILED (status $status)" >&2
    exit 1
fi
