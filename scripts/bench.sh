#!/usr/bin/env bash
# Speed and memory on a generated MIF/MID pair of about 100 MB (tests/tools/gen_big_mif.py),
# side by side with the reference converter in the same run:
#   - import: `mifhost info`, three timed runs, in MB/s of MIF and MID bytes read;
#   - convert: `mifhost convert` against `ogr2ogr -f "MapInfo File"`, three runs each;
#   - peak resident memory of both mifhost commands.
# Usage: bash scripts/bench.sh [MEGABYTES] [RUNS]     (defaults 100 and 3)
# An optimised build goes to build-rel/ (MIFHOST=PATH measures another mifhost instead, an older
# build say); the pair and the outputs go to out/bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-100}
runs=${2:-3}
bash scripts/setup.sh cmake make g++ python3 gdal-bin hyperfine time
jobs=$(nproc 2>/dev/null || echo 2)
host=${MIFHOST:-build-rel/bin/mifhost}
if [ -z "${MIFHOST:-}" ]; then
    cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    cmake --build build-rel -j "$jobs" --target mifhost mif >/dev/null
fi

out=out/bench
mkdir -p "$out"
pair="$out/big$size.mif"
if [ ! -f "$pair" ]; then
    python3 tests/tools/gen_big_mif.py "$pair" "$size"
fi
bytes=$(($(stat -c %s "$pair") + $(stat -c %s "${pair%.mif}.mid")))
echo "pair: $pair and its MID, $bytes bytes"
echo "machine: $(nproc) cores; load before the runs: $(cut -d' ' -f1-3 /proc/loadavg)"

results="$out/hyperfine.json"
hyperfine --style basic --warmup 1 --runs "$runs" --export-json "$results" \
    --prepare "rm -f $out/ours.mif $out/ours.mid $out/ref.*" \
    -n "mifhost info" "$host --quiet info $pair" \
    -n "mifhost convert" "$host --quiet convert $pair $out/ours.mif" \
    -n "ogr2ogr" "ogr2ogr -f 'MapInfo File' $out/ref.mif $pair"
echo "load after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$results" "$bytes" <<'EOF'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
mb = int(sys.argv[2]) / 1e6
info = runs["mifhost info"]
convert = runs["mifhost convert"]
ref = runs["ogr2ogr"]
print("import:  %.3f s mean (%s), %.0f MB/s" % (
    info["mean"], ", ".join("%.3f" % t for t in info["times"]), mb / info["mean"]))
print("convert: %.3f s mean (%s); ogr2ogr %.3f s mean (%s): %.1f times faster" % (
    convert["mean"], ", ".join("%.3f" % t for t in convert["times"]), ref["mean"],
    ", ".join("%.3f" % t for t in ref["times"]), ref["mean"] / convert["mean"]))
EOF

for command in info convert; do
    args=("$pair")
    [ "$command" = convert ] && args+=("$out/ours.mif")
    peak=$(/usr/bin/time -f %M "$host" --quiet "$command" "${args[@]}" 2>&1 >/dev/null | tail -n 1)
    echo "peak memory of $command: $((peak / 1024)) MiB, $(python3 -c \
        "print('%.2f' % ($peak * 1024 / $bytes))") times the MIF and MID size"
done
