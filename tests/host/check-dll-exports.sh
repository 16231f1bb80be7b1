#!/usr/bin/env bash
# Fails unless the built library is a DLL for the given machine (0x14C for
# 32-bit x86, 0x8664 for x86-64) that exports load, request and unload,
# undecorated, at ordinals 1, 2 and 3 and imports only system DLLs.
set -u
usage="usage: check-dll-exports.sh DLL 0x14C|0x8664 [OBJDUMP]"
dll=${1:?$usage}
machine=${2:?$usage}
objdump=${3:-objdump}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

case "$machine" in
  0x14C|0x14c) machine=0x14C format=pei-i386 kind="PE32 i386" ;;
  0x8664) format=pei-x86-64 kind="PE32+ x86-64" ;;
  *) echo "$usage"; exit 2 ;;
esac

# The header's own Machine field: the PE signature's offset is at 0x3C, and
# the field follows the four signature bytes.
[ -r "$dll" ] || { echo "FAIL: cannot read $dll"; exit 1; }
le() { od -An -t u1 -j "$1" -N "$2" "$dll" | awk '{ v = 0; for (i = NF; i >= 1; i--) v = v * 256 + $i; print v }'; }
pe=$(le 60 4)
signature=$(od -An -c -j "$pe" -N 4 "$dll" | tr -d ' ')
[ "$signature" = 'PE\0\0' ] || fail "no PE signature at offset $pe"
found=$(printf '0x%X' "$(le $((pe + 4)) 2)")
[ "$found" = "$machine" ] || fail "machine $found, expected $machine"

headers=$("$objdump" -f "$dll") || { echo "FAIL: $objdump cannot read $dll"; exit 1; }
grep -q "file format $format\$" <<<"$headers" || fail "not a $kind file"

private=$("$objdump" -p "$dll")
characteristics=$(awk '/^Characteristics/{print $2; exit}' <<<"$private")
(( (characteristics & 0x2000) != 0 )) || fail "not a DLL (characteristics $characteristics)"

# "[Ordinal/Name Pointer] Table" rows read "[ index] name"; ordinal = base + index.
base=$(awk '/^Ordinal Base/{print $3; exit}' <<<"$private")
exports=$(awk -v base="${base:-1}" '
  /\[Ordinal\/Name Pointer\] Table/ { t = 1; next }
  t && /^[ \t]*\[/ { gsub(/[\[\]]/, " "); print base + $1, $2; next }
  t { t = 0 }' <<<"$private")
count=$(grep -c . <<<"$exports")
[ "$count" -eq 3 ] || fail "expected 3 exports, found $count: $exports"
for pair in "1 load" "2 request" "3 unload"; do
  grep -qx "$pair" <<<"$exports" || fail "export ${pair#* } is not at ordinal ${pair%% *}"
done

imports=$(awk '/DLL Name:/{print tolower($3)}' <<<"$private" | sort -u)
allowed='^(kernel32|user32|gdi32|comctl32|msvcrt|advapi32|shell32|ole32|api-ms-win-[a-z0-9-]+)\.dll$'
for dll_name in $imports; do
  grep -Eq "$allowed" <<<"$dll_name" || fail "imports a non-system DLL: $dll_name"
done

if [ "$failures" -ne 0 ]; then
  echo "$dll: $failures problem(s)"
  exit 1
fi
echo "$dll: $kind DLL, machine $machine; exports load@1 request@2 unload@3; imports $(echo $imports)"
