#!/bin/sh
# The plug-in library must export the XF_ entry points and nothing else.
lib="$1"
[ -f "$lib" ] || { echo "no library at $lib"; exit 1; }
names=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[A-Za-z]$/ {print $3}')
others=$(printf '%s\n' "$names" | grep -v '^XF_' | grep -v '^$')
if [ -n "$others" ]; then
    echo "exported symbols other than XF_*:"; printf '%s\n' "$others"; exit 1
fi
count=$(printf '%s\n' "$names" | grep -c '^XF_')
echo "exports: $(printf '%s ' $names)"
[ "$count" -ge 4 ] || { echo "expected the XF_ entry points, found $count"; exit 1; }
