#!/usr/bin/env bash
# Builds the sample plug-ins upper.c and tally.cpp the way docs/plugin-authors.md tells
# plug-in authors to: with each of its compiler command lines, and with its
# CMake project and cmake command lines, each in a folder that holds nothing
# but the source and tovra_plugin.h. Every DLL must be a plug-in for its
# machine (exports load, request and unload at ordinals 1 to 3, imports only
# system DLLs); those of the bitness under test must also pass that
# bitness's tovra-doctor, beside a copy of its tovracaller.dll.
#   check-readme-builds.sh SOURCE_DIR WORK_DIR BIN_DIR 32|64 [LOADER]
set -u
usage="usage: check-readme-builds.sh SOURCE_DIR WORK_DIR BIN_DIR 32|64 [LOADER]"
source_dir=${1:?$usage}
work=${2:?$usage}
bin=${3:?$usage}
bits=${4:?$usage}
loader=${5:-}
readme=$source_dir/docs/plugin-authors.md
# The lines and the project of the section "Building a plug-in".
section=$(awk '/^## Building a plug-in$/ { on = 1; next } on && /^## / { exit } on { print }' "$readme")
check=$source_dir/tests/host/check-dll-exports.sh
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$work"
mkdir -p "$work"

# An author's folder: the header and the two sample sources.
new_folder() {
  mkdir -p "$1"
  cp "$source_dir/sdk/tovra_plugin.h" "$source_dir/plugins/upper.c" "$source_dir/plugins/tally.cpp" "$1"
}

triple_bits() { case "$1" in i686-*) echo 32 ;; x86_64-*) echo 64 ;; esac; }

# The DLL is a plug-in of the machine `bits` names.
check_dll() {
  local dll=$1 dll_bits=$2 machine=0x14C triple=i686-w64-mingw32
  [ "$dll_bits" = 64 ] && machine=0x8664 triple=x86_64-w64-mingw32
  [ -f "$dll" ] || { fail "no $dll was built"; return; }
  "$check" "$dll" "$machine" "$triple-objdump" || fail "$dll is not a self-contained $dll_bits-bit plug-in"
  built+=("$dll_bits $dll")
}

built=()

# The compiler command lines, each run in a folder of its bitness.
lines=$(grep -E '^(i686|x86_64)-w64-mingw32-g(cc|\+\+) ' <<<"$section")
[ "$(grep -c . <<<"$lines")" -eq 4 ] || fail "the guide gives $(grep -c . <<<"$lines") compiler lines, not 4"
while IFS= read -r line; do
  line_bits=$(triple_bits "$line")
  folder=$work/lines$line_bits
  new_folder "$folder"
  echo "+ $line"
  (cd "$folder" && bash -c "$line") || { fail "README line failed: $line"; continue; }
  output=$(sed -E 's/.* -o ([^ ]+).*/\1/' <<<"$line")
  check_dll "$folder/$output" "$line_bits"
done <<<"$lines"

# The CMake project and the cmake lines that build it.
project=$(awk '/^```cmake$/ { on = 1; next } on && /^```$/ { exit } on { print }' <<<"$section")
[ -n "$project" ] || fail "the guide gives no CMake project"
cmake_lines=$(grep -E '^cmake (-S|--build) ' <<<"$section")
[ "$(grep -c . <<<"$cmake_lines")" -eq 4 ] || fail "the guide gives $(grep -c . <<<"$cmake_lines") cmake lines, not 4"
folder=$work/cmake
new_folder "$folder"
printf '%s\n' "$project" >"$folder/CMakeLists.txt"
while IFS= read -r line; do
  echo "+ $line"
  (cd "$folder" && bash -c "$line" >"$work/cmake.log" 2>&1) || { cat "$work/cmake.log"; fail "README line failed: $line"; }
done <<<"$cmake_lines"
check_dll "$folder/build32/tally.dll" 32
check_dll "$folder/build64/tally.dll" 64

# The doctor of the bitness under test on every plug-in of that bitness.
if [ -n "$loader" ]; then
  for entry in "${built[@]}"; do
    dll_bits=${entry%% *}
    dll=${entry#* }
    [ "$dll_bits" = "$bits" ] || continue
    dir=$(dirname "$dll")
    cp "$bin/tovracaller.dll" "$dir/"
    name=$(basename "$dll" .dll)
    case "$name" in
      upper) args=(upper hello) result='"HELLO"' ;;
      tally) args=(tally a b a) result='"1 1 2"' ;;
    esac
    windows_dir="Z:$(sed 's|/|\\|g' <<<"$dir")"
    report=$("$loader" "$bin/tovra-doctor.exe" --dll "$windows_dir\\tovracaller.dll" "${args[@]}" 2>&1)
    status=$?
    if [ "$status" -ne 0 ] || ! grep -qF "Result:        $result" <<<"$report"; then
      echo "$report"
      fail "the doctor does not pass $dll (exit $status)"
    else
      echo "$dll: the $bits-bit doctor gives Result $result"
    fi
  done
fi

if [ "$failures" -ne 0 ]; then
  echo "check-readme-builds: $failures problem(s)"
  exit 1
fi
echo "check-readme-builds: every README build line makes a working plug-in"
