#!/usr/bin/env bash
# Fails unless every DLL and EXE given carries the release's version resource
# (FILEVERSION and PRODUCTVERSION from VERSION, and the strings FileVersion,
# ProductVersion, ProductName "tovracaller", a FileDescription and an
# OriginalFilename that is the file's own name, and a FILETYPE that says what
# the PE header says the file is: VFT_DLL (2) for a DLL, VFT_APP (1) for a
# program), read back from the file's resource section, and nothing that
# changes from build to build: no link time in the PE header and no debug
# directory (a build id).
#   check-release-binaries.sh VERSION WINDRES OBJDUMP FILE...
set -u
usage="usage: check-release-binaries.sh VERSION WINDRES OBJDUMP FILE..."
version=${1:?$usage}
windres=${2:?$usage}
objdump=${3:?$usage}
shift 3
[ $# -gt 0 ] || { echo "$usage"; exit 2; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
numbers="$(tr '.' ',' <<<"$version" | sed 's/,/, /g'), 0"

le() { od -An -t u1 -j "$2" -N "$3" "$1" | awk '{ v = 0; for (i = NF; i >= 1; i--) v = v * 256 + $i; print v }'; }

for file in "$@"; do
  name=$(basename "$file")
  pe=$(le "$file" 60 4)
  # The i686 tools cannot read a 64-bit file (a zip carries the surrogates of
  # both bitnesses): the x86-64 ones read it.
  file_windres=$windres file_objdump=$objdump
  if [ "$(le "$file" $((pe + 4)) 2)" = $((0x8664)) ]; then
    file_windres=${windres//i686-w64-mingw32/x86_64-w64-mingw32}
    file_objdump=${objdump//i686-w64-mingw32/x86_64-w64-mingw32}
  fi
  if ! rc=$("$file_windres" -i "$file" -O rc 2>&1); then
    fail "$name: no resources can be read: $rc"
    continue
  fi
  for line in " FILEVERSION $numbers" " PRODUCTVERSION $numbers" \
              "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
              "VALUE \"ProductName\", \"tovracaller\"" "VALUE \"OriginalFilename\", \"$name\""; do
    grep -qF -- "$line" <<<"$rc" || fail "$name: the version resource lacks $line"
  done
  grep -qE 'VALUE "FileDescription", "[^"]+"' <<<"$rc" || fail "$name: the version resource has no FileDescription"
  # IMAGE_FILE_DLL (0x2000) in the COFF header's Characteristics; a .dll
  # must be a DLL and an .exe a program.
  if (($(le "$file" $((pe + 22)) 2) & 0x2000)); then kind=DLL type=0x2; else kind=program type=0x1; fi
  case "$name" in
    *.dll) [ "$kind" = DLL ] ;;
    *) [ "$kind" = program ] ;;
  esac || fail "$name: the PE header says the file is a $kind"
  filetype=$(grep -m1 '^ FILETYPE ' <<<"$rc")
  [ "$filetype" = " FILETYPE $type" ] ||
    fail "$name: the version resource has${filetype:- no FILETYPE (0, unknown)} where a $kind has FILETYPE $type"
  stamp=$(le "$file" $((pe + 8)) 4)
  [ "$stamp" = 0 ] || fail "$name: the PE header holds a link time ($stamp)"
  # "Entry 6 ADDRESS SIZE Debug Directory" in the data directory's table.
  if ! headers=$("$file_objdump" -p "$file" 2>&1); then
    fail "$name: its headers cannot be read: $headers"
    continue
  fi
  debug=$(awk '/^Entry 6 .*Debug Directory/ { print $4; exit }' <<<"$headers")
  [ $((16#${debug:-0})) -eq 0 ] || fail "$name: the file has a debug directory (size 0x$debug)"
done

if [ "$failures" -ne 0 ]; then
  echo "check-release-binaries: $failures problem(s)"
  exit 1
fi
echo "check-release-binaries: $# files carry version $version, no link time and no debug directory"
