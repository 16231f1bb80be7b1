#!/usr/bin/env bash
# Fails unless USER imports CreateMappedBitmap from comctl32 by ordinal 8 and
# no file given (USER nor any OTHER) imports a function of that name by name.
# Read from the files alone, so it runs wherever they are built.
set -u
usage="usage: check-mapped-bitmap-import.sh OBJDUMP USER [OTHER...]"
objdump=${1:?$usage}
user=${2:?$usage}
shift
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# One line "dll ordinal name" per imported function (the ordinal or hint as a
# plain number: 64-bit files print it zero-padded); "<none>" names an import
# by ordinal. Entry rows read "vma hint-or-ordinal name" under a "DLL Name:"
# line and its column heading.
imports() {
  "$objdump" -p "$1" | awk '
    /DLL Name:/ { dll = tolower($3); next }
    /Hint\/Ord/ { next }
    dll != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, $2 + 0, $3; next }
    NF == 0 { next }
    { dll = "" }'
}

for file in "$@"; do
  [ -r "$file" ] || { fail "cannot read $file"; continue; }
  list=$(imports "$file") || { fail "$objdump cannot read $file"; continue; }
  if grep -q ' CreateMappedBitmap$' <<<"$list"; then
    fail "$file imports CreateMappedBitmap by name: $(grep ' CreateMappedBitmap$' <<<"$list")"
  fi
  if [ "$file" = "$user" ]; then
    grep -qx 'comctl32.dll 8 <none>' <<<"$list" || fail "$file does not import comctl32 ordinal 8"
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "$failures problem(s)"
  exit 1
fi
echo "CreateMappedBitmap imported by comctl32 ordinal 8 in $user; by name in none of $#"
