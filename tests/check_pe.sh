#!/bin/sh
# The Windows binaries: mif.dll exports the eight entry points, by name and with the ordinals 101
# to 108, and nothing else; no binary needs a DLL of the compiler's runtime.
# usage: check_pe.sh OBJDUMP mif.dll OTHER.dll|OTHER.exe...
objdump="$1"
dll="$2"
shift 2
fail=0
table=$("$objdump" -p "$dll") || { echo "cannot read $dll"; exit 1; }
base=$(printf '%s\n' "$table" | sed -n 's/^Ordinal Base[[:space:]]*//p' | head -n 1)
# "[   3] XF_Open" in the name table: the index from the ordinal base.
exports=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*\([^[:space:]]*\).*/\2 \1/p' |
    while read -r name index; do echo "$name $((base + index))"; done | sort)
expected="XF_CanSave 107
XF_Close 105
XF_GetFormats 102
XF_Identify 101
XF_IsValid 103
XF_Open 104
XF_Read 106
XF_Save 108"
if [ "$exports" != "$expected" ]; then
    echo "mif.dll exports, name and ordinal:"; printf '%s\n' "$exports"
    echo "expected:"; printf '%s\n' "$expected"
    fail=1
fi
slots=$(printf '%s\n' "$table" | sed -n 's/^[[:space:]]*Export Address Table[[:space:]]*\([0-9a-fA-F]*\)$/\1/p' | head -n 1)
if [ "$slots" != "00000008" ]; then
    echo "mif.dll has $slots export slots, not 8"; fail=1
fi
for f in "$dll" "$@"; do
    deps=$("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u)
    runtime=$(printf '%s\n' "$deps" | grep -i -E '^(libgcc|libstdc|libwinpthread)')
    if [ -n "$runtime" ]; then
        echo "$f needs the compiler's runtime: $runtime"; fail=1
    fi
    echo "$(basename "$f") imports from: $(printf '%s ' $deps)"
done
[ "$fail" -eq 0 ] && echo "mif.dll exports: $(printf '%s\n' "$exports" | tr '\n' ' ')"
exit "$fail"
