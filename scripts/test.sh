#!/usr/bin/env bash
# Sets up the machine, then builds and tests: a normal build with warnings as errors, an
# AddressSanitizer + UndefinedBehaviorSanitizer build, a ThreadSanitizer build, two 30 s fuzz runs,
# and the desktop build for Windows with the whole suite under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

# Real files written by other programs live beside the repository when they are there.
if [ -z "${MIF_SAMPLES_DIR:-}" ] && [ -d ../shared/samples ]; then
    export MIF_SAMPLES_DIR="$(cd ../shared/samples && pwd)"
fi
jobs=$(nproc 2>/dev/null || echo 2)

# run_build DIR [CMAKE OPTION...] [-E TESTS]: configures, builds and runs the tests, but those
# that -E names.
run_build() {
    local dir=$1
    shift
    local options=() exclude=()
    while [ $# -gt 0 ]; do
        if [ "$1" = "-E" ]; then
            exclude=(-E "$2")
            shift 2
        else
            options+=("$1")
            shift
        fi
    done
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIF_WERROR=ON "${options[@]}" >/dev/null
    cmake --build "$dir" -j "$jobs"
    (cd "$dir" && ctest --output-on-failure -j "$jobs" "${exclude[@]}")
}

echo "== normal build =="
run_build build
echo "== sanitizer build =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_build build-asan -DMIF_SANITIZE=ON

# The import reads ahead and the export writes behind on a second thread. An interrupt ends
# mifhost during an import with _exit while that thread runs, which is no leak. The one test that
# interrupts a 20 MB convert at many moments takes minutes under the thread sanitizer and runs in
# the other builds.
echo "== thread sanitizer build =="
TSAN_OPTIONS="report_thread_leaks=0 halt_on_error=1" \
    run_build build-tsan -DMIF_TSAN=ON -E InterruptsLeaveTheOldPair

# The fuzz targets, 30 seconds each on top of the tests (clang only): the reader alone, and the
# whole import into the host library.
echo "== fuzz build (2 x 30 s runs) =="
if command -v clang >/dev/null 2>&1 && command -v clang++ >/dev/null 2>&1; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIF_WERROR=ON \
        -DMIF_FUZZ=ON >/dev/null
    cmake --build build-fuzz -j "$jobs" --target fuzz_mif fuzz_import
    bash tests/fuzz/run.sh build-fuzz 30 fuzz_mif
    bash tests/fuzz/run.sh build-fuzz 30 fuzz_import
else
    echo "clang not found: the fuzz targets are skipped (apt-get install clang to run them)"
fi

# The desktop build: the 32-bit Windows DLL and mifhost.exe, every test under Wine, and mifhost.exe
# against the Linux mifhost on the samples.
echo "== Windows build, tests under Wine =="
bash scripts/windows.sh --test
