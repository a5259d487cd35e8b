#!/usr/bin/env bash
# Builds the Debian packages (hearthbench, libpyrolink1, libpyrolink-dev) in a Release build folder
# of their own, checks them with lintian, installs them with apt-get, checks the installed programs
# and library, and purges them again. Run after tools/setup-debian.sh; apt-get runs through sudo
# when not run as root.
#   tools/check-package.sh              build, lint, install, check, purge (CI; tools/run-tests.sh)
#   tools/check-package.sh --build-only only build the packages into <build>/package
# --with-tests: the same tree also builds the tests, benchmarks and screenshot renderers (CI's one
# optimised build of everything; the packages hold the same files either way).
set -euo pipefail
build_only=""
tests=OFF
for option in "$@"; do
    case $option in
    --build-only) build_only=yes ;;
    --with-tests) tests=ON ;;
    *) echo "usage: tools/check-package.sh [--build-only] [--with-tests]" >&2; exit 2 ;;
    esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_ROOT:-$root/build}/package
jobs=${JOBS:-$(nproc)}
packages=(hearthbench libpyrolink1 libpyrolink-dev)
started=$SECONDS
step() { echo "== $1 ($((SECONDS - started)) s)"; }
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
purge() {
    if dpkg-query -W "${packages[@]}" >/dev/null 2>&1; then
        as_root apt-get purge -y -qq "${packages[@]}" >/dev/null
    fi
}

step "Debian packages: Release build in $out"
# Debian's hardening flags, all of them (the preprocessor's go with the compilers'), without debug
# information (the packages hold stripped programs only); ccache when there is one.
cd "$root"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
flag() { dpkg-buildflags --get "$1"; }
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DHB_BUILD_TESTS=$tests -DHB_BUILD_BENCH=$tests -DHB_BUILD_SCREENSHOTS=$tests "${launcher[@]}" \
    -DCMAKE_C_FLAGS="$(flag CFLAGS) $(flag CPPFLAGS)" -DCMAKE_CXX_FLAGS="$(flag CXXFLAGS) $(flag CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flag LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flag LDFLAGS)" >/dev/null
cmake --build "$out" -j "$jobs"
rm -f "$out"/*.deb
(cd "$out" && cpack -G DEB >/dev/null)
debs=()
for p in "${packages[@]}"; do
    deb=$(find "$out" -maxdepth 1 -name "${p}_*.deb")
    [ -n "$deb" ] || { echo "cpack made no package $p"; exit 1; }
    debs+=("$deb")
done
ls -l "${debs[@]}"
[ -n "$build_only" ] && exit 0

step "lintian"
# Errors fail the check; warnings are shown.
lintian --fail-on error "${debs[@]}"

step "Contents"
contents=$(for deb in "${debs[@]}"; do dpkg-deb -c "$deb"; done | awk '{print $6}')
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for path in /usr/bin/hearthbench /usr/bin/stovesim /usr/bin/pyroproxy \
    /usr/share/hearthbench/lang/English.lng /usr/share/hearthbench/lang/Italiano.lng \
    /usr/share/applications/hearthbench.desktop /usr/share/icons/hicolor/scalable/apps/hearthbench.svg \
    /usr/share/icons/hicolor/48x48/apps/hearthbench.png /usr/share/man/man1/hearthbench.1.gz \
    /usr/share/man/man1/stovesim.1.gz /usr/share/man/man1/pyroproxy.1.gz \
    "/usr/lib/$multiarch/libpyrolink.so.1" "/usr/lib/$multiarch/libpyrolink.so" \
    "/usr/lib/$multiarch/pkgconfig/pyrolink.pc" /usr/include/pyrolink/pyrolink.h \
    /usr/share/doc/hearthbench/copyright /usr/share/doc/libpyrolink1/changelog.Debian.gz; do
    grep -qx "\.$path" <<<"$contents" || { echo "not in the packages: $path"; exit 1; }
done
dpkg-deb -f "${debs[0]}" Depends

work=$(mktemp -d)
sim=""
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    rm -rf "$work"
    purge || true
}
trap cleanup EXIT

step "apt-get install"
purge # left over from an interrupted run
as_root apt-get install -y -qq --no-install-recommends "${debs[@]}" >"$work/apt.out" 2>&1 || { cat "$work/apt.out"; exit 1; }
for program in hearthbench stovesim pyroproxy; do
    [ "$(command -v $program)" = "/usr/bin/$program" ] || { echo "$program is not installed"; exit 1; }
done

step "The installed simulator and library"
mkfifo "$work/control"
stovesim --model water --no-pacing --link "$work/stove" <"$work/control" >"$work/sim.out" 2>&1 &
sim=$!
exec 3>"$work/control" # keeps the simulator's standard input open
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
[ -e "$work/stove" ] || { echo "the simulator did not start"; cat "$work/sim.out"; exit 1; }
# A client of the installed library, built with pkg-config: reads the board's identity on COM1.
cat >"$work/client.c" <<'EOF'
#include <pyrolink/pyrolink.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    static const unsigned char command[] = "MODELLO\r";
    unsigned char reply[64] = {0};
    unsigned int got = 0;
    DoDebug(0);
    if (OpenComm(0, 9600, 0, 500, 2, 50) != 0) return 1;
    if (!WriteComm(command, (int)strlen((const char *)command)) || !ReadComm(reply, 23, &got)) return 2;
    CloseComm();
    printf("%.*s\n", (int)got - 1, (const char *)reply);
    return got == 23 && memcmp(reply, "WATER ", 6) == 0 ? 0 : 3;
}
EOF
# shellcheck disable=SC2046
cc -Wall -Wextra -Werror -o "$work/client" "$work/client.c" $(pkg-config --cflags --libs pyrolink)
identity=$(PYROLINK_COM1="$work/stove" "$work/client") || { echo "client failed: $identity"; exit 1; }
echo "identity through the installed library: $identity"

step "The installed program, offscreen, started outside any \"lang\" folder"
mkdir -p "$work/home/config/Corvane Controls s.r.l." "$work/run" "$work/elsewhere"
chmod 700 "$work/run"
printf '[General]\nlanguage=Italiano\n' >"$work/home/config/Corvane Controls s.r.l./Hearth Bench.conf"
trace=()
# strace shows which language file the program opens; without ptrace, only its staying up is seen.
if strace -qq -o /dev/null true 2>/dev/null; then trace=(strace -f -qq -e trace=openat -o "$work/trace"); fi
status=0
(cd "$work/elsewhere" && HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_RUNTIME_DIR="$work/run" \
    QT_QPA_PLATFORM=offscreen PYROLINK_COM1="$work/stove" \
    "${trace[@]}" timeout 5 hearthbench >"$work/program.out" 2>&1) || status=$?
# The offscreen platform itself says once that it cannot pass size hints on; anything else is news.
printed=$(grep -vx 'This plugin does not support propagateSizeHints()' "$work/program.out" || true)
if [ "$status" -ne 124 ] || [ -n "$printed" ]; then
    echo "hearthbench ended early (status $status) or printed:"; cat "$work/program.out"; exit 1
fi
grep -q '^password=hb7351$' "$work/home/config/Corvane Controls s.r.l./Hearth Bench.conf" ||
    { echo "hearthbench did not build its window (no settings written)"; exit 1; }
if [ ${#trace[@]} -gt 0 ]; then
    grep -q 'openat(AT_FDCWD, "/usr/share/hearthbench/lang/Italiano.lng", O_RDONLY[^)]*) = [0-9]' "$work/trace" ||
        { echo "hearthbench did not read /usr/share/hearthbench/lang/Italiano.lng"; exit 1; }
    grep -q 'openat(AT_FDCWD, "/usr/share/hearthbench/lang", [^)]*O_DIRECTORY[^)]*) = [0-9]' "$work/trace" ||
        { echo "hearthbench did not list /usr/share/hearthbench/lang"; exit 1; }
    echo "hearthbench stayed up, read its Italian texts and listed its languages from /usr/share/hearthbench/lang"
else
    echo "hearthbench stayed up 5 s and built its window (strace cannot trace here)"
fi

step "apt-get purge"
exec 3>&-
kill "$sim" && wait "$sim" 2>/dev/null || true
sim=""
purge
[ ! -e /usr/bin/hearthbench ] && [ ! -e "/usr/lib/$multiarch/libpyrolink.so.1" ] && [ ! -d /usr/share/hearthbench ] ||
    { echo "files left after the purge"; exit 1; }
step "Debian packages checked"
