#!/usr/bin/env bash
# Runs the Windows build of the link library's test program under Wine, headless, in a fresh
# Wine prefix: COM1 and COM10 are mapped (HKLM\Software\Wine\Ports) to ptys served by the
# simulator run natively, and a third simulator sits behind pyroproxy for the proxy client.
# Usage: run-wine-tests.sh PYROLINK_WINE_TEST_EXE STOVESIM PYROPROXY
# Every missing piece fails the test with its name; nothing is skipped.
set -euo pipefail

fail() {
    echo "wine test: FAILED: $*" >&2
    exit 1
}

[ $# -eq 3 ] || fail "usage: $0 PYROLINK_WINE_TEST_EXE STOVESIM PYROPROXY"
exe=$1 stovesim=$2 pyroproxy=$3
[ -f "$exe" ] || fail "no test program $exe (build the MinGW tree first, see tools/run-tests.sh)"
[ -f "$(dirname "$exe")/pyrolink.dll" ] || fail "no pyrolink.dll beside $exe"
[ -x "$stovesim" ] || fail "no simulator $stovesim"
[ -x "$pyroproxy" ] || fail "no proxy server $pyroproxy"
for tool in wine wineboot wineserver; do
    command -v "$tool" >/dev/null || fail "$tool is missing: install the packages wine and wine64 (tools/setup-debian.sh)"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pyrolink-wine.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
# No display and no .NET or HTML engine: a console program needs none of them, and without these
# overrides the first start would look for their installers.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

start=$(date +%s%N)
timeout 300 wineboot --init >"$work/wineboot.log" 2>&1 ||
    fail "wineboot could not create a Wine prefix within 300 s: $(tail -n 3 "$work/wineboot.log")"
timeout 60 wineserver -w || fail "wineserver did not settle after wineboot"
echo "wine prefix created in $((($(date +%s%N) - start) / 1000000)) ms"

# Starts a simulator and stores its pty path (the first line of its output) in the variable $1.
# Not run in a command substitution, so that its process id reaches the cleanup.
simulator() {
    local name=$1 out=$work/sim-$1
    shift
    "$stovesim" --no-pacing "$@" >"$out" 2>"$out.err" </dev/null &
    pids+=($!)
    for _ in $(seq 100); do
        if [ -s "$out" ]; then
            printf -v "$name" '%s' "$(head -n 1 "$out")"
            return
        fi
        sleep 0.05
    done
    fail "stovesim $* did not start: $(cat "$out.err")"
}
simulator com1 --model water
simulator com10 --model basic --bootloader
simulator behind_proxy --model basic

"$pyroproxy" --device "$behind_proxy" --port 0 2>"$work/proxy.log" </dev/null &
pids+=($!)
port=
for _ in $(seq 100); do
    port=$(sed -n 's/.* on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/proxy.log")
    [ -n "$port" ] && break
    sleep 0.05
done
[ -n "$port" ] || fail "pyroproxy did not start: $(cat "$work/proxy.log")"

# Wine creates its COM devices from this key when it starts, so the server is restarted after.
for mapping in "COM1=$com1" "COM10=$com10"; do
    wine reg add 'HKLM\Software\Wine\Ports' /v "${mapping%%=*}" /t REG_SZ /d "${mapping#*=}" /f >/dev/null 2>&1 ||
        fail "cannot set HKLM\\Software\\Wine\\Ports\\${mapping%%=*}"
done
wineserver -k 2>/dev/null || true
wineserver -w

echo "COM1 -> $com1 (WATER), COM10 -> $com10 (boot loader), pyroproxy on port $port -> $behind_proxy (BASIC)"
cd "$(dirname "$exe")"
status=0
start=$(date +%s%N)
PYROLINK_PROXY_PORT=$port timeout 180 wine "$(basename "$exe")" || status=$?
echo "test program ran in $((($(date +%s%N) - start) / 1000000)) ms"
[ $status -eq 124 ] && fail "the test program did not finish within 180 s"
[ $status -eq 0 ] || fail "the test program reported failures (exit $status); proxy log: $(tail -n 5 "$work/proxy.log")"
