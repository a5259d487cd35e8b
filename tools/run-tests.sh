#!/usr/bin/env bash
# Installs the packages, builds everything under AddressSanitizer and UndefinedBehaviorSanitizer,
# cross-builds pyrolink.dll and its test program for Windows, gives every fuzz target a short run,
# then runs all tests (the Windows test program under Wine among them); last, builds the Debian
# packages, checks them with lintian, installs, tries and purges them (tools/check-package.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -eq 0 ]; then bash "$root/tools/setup-debian.sh"; else sudo bash "$root/tools/setup-debian.sh"; fi

jobs=${JOBS:-$(nproc)}
out=${BUILD_ROOT:-$root/build}

echo "== Windows cross build of pyrolink.dll and its test program"
cmake -S "$root" -B "$out/win64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release
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

echo "== Fuzz targets (libFuzzer, a short bounded run each)"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$out/fuzz" -G Ninja -DHB_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
fuzzers=$(ninja -C "$out/fuzz" -t targets all | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): .*/\1/p' | sort -u)
[ -n "$fuzzers" ] && ninja -C "$out/fuzz" -j "$jobs" $fuzzers
for fuzzer in $(find "$out/fuzz/fuzz" -type f -name 'fuzz_*' -perm -u+x | sort); do
    name=$(basename "$fuzzer")
    corpus=$(mktemp -d)
    seeds=$(find "$root/fuzz" -type d -path "*/corpus/$name" | head -n 1)
    [ -n "$seeds" ] && cp -r "$seeds/." "$corpus/"
    echo "-- $name"
    "$fuzzer" -max_total_time="${FUZZ_SECONDS:-15}" -timeout=10 -rss_limit_mb=2048 "$corpus" 2>&1 | tail -n 2
    rm -rf "$corpus"
done

echo "== Sanitizer build and tests"
# The Windows test program built above runs under Wine as one of the tests (test pyrolink_wine).
cmake -S "$root" -B "$out/test" -G Ninja -DHB_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
    -DHB_WINE_TEST_EXE="$out/win64/pyrolink/pyrolink_wine_test.exe"
cmake --build "$out/test" -j "$jobs"
echo "== Layers of the program (includes only run downward)"
python3 "$root/tools/check-layers.py" "$out/test"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
[ -f "$root/tests/lsan.supp" ] && export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$out/test" && ctest --output-on-failure -j "$jobs" --timeout 600)

BUILD_ROOT=$out JOBS=$jobs bash "$root/tools/check-package.sh"
