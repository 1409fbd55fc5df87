#!/usr/bin/env bash
# Runs the MIF/MID fuzz target: run.sh BUILD_DIR SECONDS [more libFuzzer options].
# Seeds are made at run time from the real sample files (MIF_SAMPLES_DIR; they are never copied
# into the repository), from tests/data and from past findings in tests/data/fuzz: each seed is a
# MIF file, a NUL byte and its MID file. The corpus grows in BUILD_DIR/fuzz-corpus.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
seconds=$2
shift 2
seeds="$build/fuzz-seeds"
corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
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
echo "fuzz_mif: $(ls "$seeds" | wc -l) seeds, $(ls "$corpus" | wc -l) corpus entries, ${seconds}s"

"$build/bin/fuzz_mif" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
    -dict="$here/mif.dict" -artifact_prefix="$artifacts/" -print_final_stats=1 \
    "$@" "$corpus" "$seeds"
