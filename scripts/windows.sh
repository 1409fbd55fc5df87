#!/usr/bin/env bash
# The desktop build: mif.dll, fnc_DEDI.dll with its import library, and mifhost.exe for 32-bit
# Windows, cross-compiled with MinGW-w64 and its runtime linked in, into build-win/bin/.
#
#   bash scripts/windows.sh           builds the three binaries
#   bash scripts/windows.sh --test    also builds the tests and runs them all under Wine, then
#                                     compares mifhost.exe with the Linux mifhost (build/bin/,
#                                     when built) on examples/ and every sample file
#
# Tests run the 32-bit build under Debian's wine32. A machine whose kernel runs no 32-bit program
# (Linux without IA-32 emulation) cannot start wine32; there the same sources are built for 64-bit
# Windows and run under wine64, and the 32-bit binaries are checked without running them.
set -euo pipefail
cd "$(dirname "$0")/.."
test=0
if [ "${1:-}" = "--test" ]; then
    test=1
elif [ $# -gt 0 ]; then
    echo "usage: bash scripts/windows.sh [--test]" >&2
    exit 1
fi
jobs=$(nproc 2>/dev/null || echo 2)
start=$SECONDS

# Configures and builds one architecture into its folder; the tests need GoogleTest built for the
# target, from Debian's sources.
build() {
    local arch=$1 dir=$2 testing=$3
    local options=(-DMIF_MINGW_ARCH="$arch" -DMIF_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
                   -DBUILD_TESTING="$testing")
    if [ "$testing" = ON ]; then
        local gtest="$PWD/$dir/googletest"
        if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
            echo "building GoogleTest for $arch"
            cmake -S /usr/src/googletest -B "$gtest/build" \
                -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
                -DMIF_MINGW_ARCH="$arch" -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF \
                -DCMAKE_INSTALL_PREFIX="$gtest/install" >/dev/null
            cmake --build "$gtest/build" -j "$jobs" >/dev/null
            cmake --install "$gtest/build" >/dev/null
        fi
        options+=(-DGTest_DIR="$gtest/install/lib/cmake/GTest"
                  -DCMAKE_CROSSCOMPILING_EMULATOR="$loader")
    fi
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        options+=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake")
    fi
    cmake -S . -B "$dir" "${options[@]}" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

bash scripts/setup.sh cmake make g++-mingw-w64-i686-posix
if [ "$test" -eq 0 ]; then
    build i686 build-win OFF
    tests/check_pe.sh i686-w64-mingw32-objdump build-win/bin/mif.dll build-win/bin/fnc_DEDI.dll \
        build-win/bin/mifhost.exe
    echo "the desktop build is in build-win/bin/ ($((SECONDS - start)) s)"
    exit 0
fi

# Wine for 32-bit programs comes from the i386 architecture.
if [ "$(id -u)" -eq 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    apt-get update -qq
fi
bash scripts/setup.sh googletest wine32:i386
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    arch=i686 dir=build-win loader=/usr/lib/wine/wine winearch=win32
else
    echo "this machine runs no 32-bit program (no IA-32 emulation in its kernel): the tests run"
    echo "on the 64-bit Windows build under wine64; the 32-bit binaries are built and checked"
    build i686 build-win OFF
    tests/check_pe.sh i686-w64-mingw32-objdump build-win/bin/mif.dll build-win/bin/fnc_DEDI.dll \
        build-win/bin/mifhost.exe
    bash scripts/setup.sh g++-mingw-w64-x86-64-posix wine64
    arch=x86_64 dir=build-win64 loader=/usr/lib/wine/wine64 winearch=win64
fi

# One Wine server for the whole run, started with its services before the build (test discovery
# runs the test programs): a Wine start then costs little, and no Wine process holds the pipes of
# the build or of ctest open.
export WINEPREFIX="$PWD/$dir/wineprefix" WINEARCH=$winearch WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
export WINEDLLOVERRIDES="mscoree=;mshtml="
# A server left from an interrupted run goes first.
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true' EXIT
"$loader" cmd /c exit </dev/null >/dev/null 2>&1 || true

build "$arch" "$dir" ON
# Under Wine a test process that ends at once (a test that skips itself) now and then crashes as
# it exits while the other tests load the machine: about once in ten runs of the whole suite, the
# same on code whose runs had all passed before. The tests that failed run once more, one at a
# time; a real failure fails again and ends the stage.
if ! (cd "$dir" && ctest --output-on-failure -j "$jobs"); then
    echo "some tests failed under Wine: running them once more, one at a time"
    (cd "$dir" && ctest --output-on-failure --rerun-failed)
fi

# mifhost.exe under Wine and mifhost on Linux: the same files from convert, the same dump.
if [ ! -x build/bin/mifhost ]; then
    echo "build/bin/mifhost is not built: the comparison with Linux is skipped"
    echo "Windows stage: $((SECONDS - start)) s"
    exit 0
fi
out="$dir/compare"
rm -rf "$out"
mkdir -p "$out"
inputs=("$PWD/examples/town.mif")
if [ -n "${MIF_SAMPLES_DIR:-}" ] && [ -d "$MIF_SAMPLES_DIR" ]; then
    while IFS= read -r f; do
        inputs+=("$f")
    done < <(find "$MIF_SAMPLES_DIR" -type f -iname '*.mif' | sort)
fi
same=0
different=()
for f in "${inputs[@]}"; do
    name=$(printf '%s' "$f" | tr '/ ' '__')
    name=${name%.*}
    for side in linux win; do
        host=(build/bin/mifhost)
        if [ "$side" = win ]; then
            host=("$loader" "$dir/bin/mifhost.exe")
        fi
        set +e
        "${host[@]}" --quiet convert "$f" "$out/$name.$side.mif" >/dev/null 2>&1
        echo "convert $?" >"$out/$name.$side.codes"
        "${host[@]}" --quiet dump "$f" -o "$out/$name.$side.geojson" >/dev/null 2>&1
        echo "dump $?" >>"$out/$name.$side.codes"
        set -e
    done
    ok=1
    for ext in codes mif mid geojson; do
        a="$out/$name.linux.$ext"
        b="$out/$name.win.$ext"
        if [ -e "$a" ] || [ -e "$b" ]; then
            cmp -s "$a" "$b" || ok=0
        fi
    done
    if [ "$ok" -eq 1 ]; then
        same=$((same + 1))
    else
        different+=("$f")
    fi
done
echo "mifhost.exe ($arch, Wine) and mifhost (Linux): ${same} of ${#inputs[@]} files give the same" \
     "convert output, dump and exit codes"
if [ ${#different[@]} -gt 0 ]; then
    printf 'different: %s\n' "${different[@]}"
    exit 1
fi
echo "Windows stage: $((SECONDS - start)) s"
