#!/usr/bin/env bash
# Installs the packages, then, stage by stage:
#   - cross-builds pyrolink.dll and its test program for Windows and checks the DLL's export table;
#   - builds the libFuzzer targets and gives each a short bounded run, two at a time;
#   - builds the program, the tools and the tests under AddressSanitizer and UndefinedBehaviorSanitizer
#     (not the benchmarks and screenshot renderers) and checks the layers of the program;
#   - runs all tests (the Windows test program under Wine among them);
#   - from the start, at the lowest CPU priority so that the stages above keep their pace, builds the
#     optimised trees: the package build (Release, Debian's hardening flags) of everything, tests,
#     benchmarks and screenshot renderers included, and the README's launch build (build/app);
#   - runs the README's launch command in its check mode (tools/run-hearthbench.sh --check);
#   - builds the Debian packages, checks them with lintian, installs, tries and purges them
#     (tools/check-package.sh).
# Each stage's seconds are printed at the end, also when a stage fails. ccache, when installed, keeps
# compilations across runs and clones. JOBS: build jobs (default: the cores); CTEST_JOBS: tests at a
# time (default: four per core, as most tests wait on the line); FUZZ_SECONDS: per fuzz target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-$(nproc)}
ctest_jobs=${CTEST_JOBS:-$((4 * $(nproc)))}
out=${BUILD_ROOT:-$root/build}
mkdir -p "$out"

begin=$SECONDS
since=$SECONDS
current=""
times=()
stage() {
    if [ -n "$current" ]; then times+=("$(printf '%-44s %5d s' "$current" $((SECONDS - since)))"); fi
    current=$1
    since=$SECONDS
    if [ -n "$current" ]; then echo "== $current"; fi
}
builder=""
report() {
    local status=$?
    # A stage that failed leaves no build behind (it runs in a process group of its own).
    if [ -n "$builder" ] && kill -0 "$builder" 2>/dev/null; then kill -- -"$builder" 2>/dev/null || true; fi
    stage ""
    echo "== Stage times$([ "$status" -eq 0 ] || echo " (FAILED, status $status)")"
    printf '   %s\n' "${times[@]}"
    printf '   %-44s %5d s\n' "total" $((SECONDS - begin))
}
trap report EXIT

stage "Packages (tools/setup-debian.sh)"
if [ "$(id -u)" -eq 0 ]; then bash "$root/tools/setup-debian.sh"; else sudo bash "$root/tools/setup-debian.sh"; fi

# Compilations are cached (every tree, through CMake's launcher variables), also from a clone in
# another folder: paths below the checkout are made relative and debug information names them
# relative to it.
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CFLAGS="${CFLAGS:-} -fdebug-prefix-map=$root=." CXXFLAGS="${CXXFLAGS:-} -fdebug-prefix-map=$root=."
fi

# The optimised builds (the package tree with everything, the README's launch build) run from the
# start at the lowest CPU and I/O priority: they take what the stages below leave, above all the time
# the tests spend waiting on the line, without slowing them. Their output goes to a log, shown when
# they fail.
# A process group of their own (job control on while starting them) lets a failing stage end them; not
# a session of their own, which would give them a scheduling group as heavy as this script's.
set -m
nice -n 19 ionice -c 3 bash -c 'BUILD_ROOT=$1 JOBS=$2 bash "$3/tools/check-package.sh" --build-only --with-tests &&
    HB_BUILD_DIR=$1/app bash "$3/tools/run-hearthbench.sh" --build-only' optimised "$out" "$jobs" "$root" \
    >"$out/optimised.log" 2>&1 &
builder=$!
set +m

stage "Windows cross build of pyrolink.dll"
cmake -S "$root" -B "$out/win64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out/win64" -j "$jobs"
# Every name of the export list must sit at its ordinal (the table prints ordinal - 1).
expected=$(awk '/@/ {sub("@", "", $2); printf "%d %s\n", $2 - 1, $1}' "$root/pyrolink/pyrolink.def" | sort)
actual=$(x86_64-w64-mingw32-objdump -p "$out/win64/pyrolink/pyrolink.dll" |
    sed -n '/Ordinal\/Name Pointer/,/^$/s/^\t\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p' | sort)
if [ "$expected" != "$actual" ]; then
    echo "pyrolink.dll exports differ from pyrolink.def:"
    diff <(echo "$expected") <(echo "$actual") | head -n 20
    exit 1
fi
echo "pyrolink.dll exports all $(echo "$expected" | wc -l) functions at their ordinals"

stage "Fuzz targets: build (clang)"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$out/fuzz" -G Ninja -DHB_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >/dev/null
fuzzers=$(ninja -C "$out/fuzz" -t targets all | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): .*/\1/p' | sort -u)
[ -n "$fuzzers" ] && ninja -C "$out/fuzz" -j "$jobs" $fuzzers

stage "Fuzz targets: runs, two at a time"
# One bounded run of a fuzz target on a copy of its seeds; prints the end of its log, all of it
# (up to 80 lines) when it found something.
fuzz_one() {
    local fuzzer=$1 name corpus seeds log status=0
    name=$(basename "$fuzzer")
    corpus=$(mktemp -d)
    log=$(mktemp)
    seeds=$(find "$root/fuzz" -type d -path "*/corpus/$name" | head -n 1)
    [ -n "$seeds" ] && cp -r "$seeds/." "$corpus/"
    "$fuzzer" -max_total_time="${FUZZ_SECONDS:-15}" -timeout=10 -rss_limit_mb=2048 "$corpus" >"$log" 2>&1 || status=$?
    printf -- '-- %s%s\n%s\n' "$name" "$([ $status -eq 0 ] || echo " FAILED ($status)")" \
        "$(tail -n "$([ $status -eq 0 ] && echo 2 || echo 80)" "$log")"
    rm -rf "$corpus" "$log"
    return $status
}
export -f fuzz_one
export root
find "$out/fuzz/fuzz" -type f -name 'fuzz_*' -perm -u+x | sort | xargs -P 2 -n 1 bash -c 'fuzz_one "$1"' fuzz_one

stage "Sanitizer build"
# The Windows test program built above runs under Wine as one of the tests (test pyrolink_wine).
cmake -S "$root" -B "$out/test" -G Ninja -DHB_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DHB_BUILD_BENCH=OFF \
    -DHB_BUILD_SCREENSHOTS=OFF -DHB_WINE_TEST_EXE="$out/win64/pyrolink/pyrolink_wine_test.exe" >/dev/null
cmake --build "$out/test" -j "$jobs"
echo "== Layers of the program (includes only run downward)"
python3 "$root/tools/check-layers.py" "$out/test"

stage "Tests"
status=0
(
    export QT_QPA_PLATFORM=offscreen
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
    export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    cd "$out/test" && ctest --output-on-failure -j "$ctest_jobs" --timeout 600
) || status=$?
stage "Optimised builds: what is left after the tests"
# Nothing of CI's is left to make way for: normal priority again (where allowed).
renice -n 0 -g "$builder" >/dev/null 2>&1 || true
ionice -c 2 -P "$builder" 2>/dev/null || true
built=0
wait "$builder" || built=$?
if [ "$built" -ne 0 ]; then
    echo "The optimised builds failed (status $built):"
    tail -n 60 "$out/optimised.log"
fi
tail -n 1 "$out/optimised.log"
[ "$status" -eq 0 ] || exit "$status"
[ "$built" -eq 0 ] || exit "$built"

stage "The README's launch command, check mode"
HB_BUILD_DIR=$out/app bash "$root/tools/run-hearthbench.sh" --check

stage "Debian packages (tools/check-package.sh)"
BUILD_ROOT=$out JOBS=$jobs bash "$root/tools/check-package.sh" --with-tests
