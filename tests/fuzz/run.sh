#!/usr/bin/env bash
# Runs a MIF/MID fuzz target: run.sh BUILD_DIR SECONDS [TARGET] [more libFuzzer options].
# TARGET is fuzz_mif (the reader alone, the default) or fuzz_import (the whole import into the host
# library). Seeds are made at run time from the real sample files (MIF_SAMPLES_DIR; they are never
# copied into the repository), from tests/data, from past findings in tests/data/fuzz, and a file
# whose first object has 50,000 nodes: each seed is a MIF file, a NUL byte and its MID file. The
# corpus grows in BUILD_DIR/TARGET-corpus.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
seconds=$2
shift 2
target=fuzz_mif
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
    target=$1
    shift
fi
seeds="$build/$target-seeds"
corpus="$build/$target-corpus"
artifacts="$build/$target-artifacts"
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus" "$artifacts"

n=0
while IFS= read -r -d '' mif; do
    mid=$(find "$(dirname "$mif")" -maxdepth 1 -iname "$(basename "${mif%.*}").mid" | head -n 1)
    n=$((n + 1))
    { cat "$mif"; if [ -n "$mid" ]; then printf '\0'; cat "$mid"; fi; } >"$seeds/$n-$(basename "$mif")"
done < <(find ${MIF_SAMPLES_DIR:+"$MIF_SAMPLES_DIR"} "$here/../data" -iname '*.mif' -print0 2>/dev/null)
if [ -d "$here/../data/fuzz" ]; then
    cp "$here"/../data/fuzz/* "$seeds"/ 2>/dev/null || true
fi
# A first object larger than the first block of the layer's store.
{
    printf 'Version 300\nColumns 1\n n Integer\nData\nRegion 1\n50000\n'
    seq 50000 | awk '{ print $1 " " $1 % 7 }'
    printf 'Point 1 2\n\0001\n2\n'
} >"$seeds/first-object-of-50000-nodes"
echo "$target: $(ls "$seeds" | wc -l) seeds, $(ls "$corpus" | wc -l) corpus entries, ${seconds}s"

"$build/bin/$target" -max_total_time="$seconds" -max_len=524288 -timeout=10 -rss_limit_mb=2048 \
    -dict="$here/mif.dict" -artifact_prefix="$artifacts/" -print_final_stats=1 \
    "$@" "$corpus" "$seeds"
