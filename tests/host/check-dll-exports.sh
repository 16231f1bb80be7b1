#!/usr/bin/env bash
# Fails unless the built library is a PE32 i386 DLL that exports load, request
# and unload at ordinals 1, 2 and 3 and imports only system DLLs.
set -u
dll=${1:?usage: check-dll-exports.sh DLL}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$("$objdump" -f "$dll") || { echo "FAIL: cannot read $dll"; exit 1; }
grep -q 'file format pei-i386' <<<"$headers" || fail "not a PE32 i386 file"

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
echo "$dll: PE32 i386 DLL; exports load@1 request@2 unload@3; imports $(echo $imports)"
