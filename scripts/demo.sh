#!/usr/bin/env bash
# The main job on the map the repository ships (examples/town.mif): sets up the machine, builds
# if needed, then runs mifhost's info, convert, dump and render into out/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
if [ ! -x build/bin/mifhost ] || [ ! -f build/bin/libmif.so ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build -j "$jobs" --target mifhost >/dev/null
out=out/demo
mkdir -p "$out"
host=build/bin/mifhost
set -x
"$host" info examples/town.mif
"$host" convert examples/town.mif "$out/town.mif"
"$host" info "$out/town.mif"
"$host" dump examples/town.mif -o "$out/town.geojson"
"$host" render examples/town.mif "$out/town.svg" --width 800
set +x
echo "results in $out/: town.mif and town.mid (converted), town.geojson, town.svg"
