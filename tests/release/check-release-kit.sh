#!/usr/bin/env bash
# The release zip as its users meet it. Makes the zip of a build with
# `cpack -G ZIP`, checks that it holds exactly the release's files (no test,
# no test plug-in), unpacks it into an empty folder and checks SHA256SUMS,
# that no file names the build's folders, and every DLL's and EXE's version
# resource. Then follows the unpacked README.txt as written: its compiler
# line builds the sample upper.c in the unpacked folder, and its CMake
# project and cmake lines build it in a folder of its own with nothing but
# the kit; both plug-ins are checked from their files. With a Wine loader of
# the build's bitness it also runs the README.txt's tool lines in the
# unpacked folder as they stand (the first one must answer as README.txt
# says, with nothing copied anywhere), calls both plug-ins, and asks the
# tools for their --version.
#   check-release-kit.sh SOURCE_DIR BUILD_DIR WORK_DIR 32|64 VERSION [LOADER]
set -u
usage="usage: check-release-kit.sh SOURCE_DIR BUILD_DIR WORK_DIR 32|64 VERSION [LOADER]"
source_dir=$(realpath "${1:?$usage}")
build=$(realpath "${2:?$usage}")
work=${3:?$usage}
bits=${4:?$usage}
version=${5:?$usage}
loader=${6:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "check-release-kit: $failures problem(s)"
    exit 1
  fi
  echo "check-release-kit: the $bits-bit zip holds the release, and its kit builds a working plug-in"
  exit 0
}

case "$bits" in
  32) triple=i686-w64-mingw32 machine=0x14C ;;
  64) triple=x86_64-w64-mingw32 machine=0x8664 ;;
  *) echo "$usage"; exit 2 ;;
esac
name=tovracaller-$version-win$bits
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")

echo "+ cpack -G ZIP"
if ! cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  fail "cpack made no zip"
  finish
fi
zip=$work/cpack/$name.zip
[ -f "$zip" ] || { fail "no $name.zip"; finish; }

expected='CHANGELOG.txt
README.txt
SHA256SUMS
calc.dll
echo.dll
sdk/cmake/TovraPluginConfig.cmake
sdk/cmake/TovraPluginConfigVersion.cmake
sdk/cmake/toolchain-mingw.cmake
sdk/samples/calc.c
sdk/samples/echo.c
sdk/samples/tally.cpp
sdk/samples/upper.c
sdk/tovra_plugin.h
tally.dll
tools/tovra-console.exe
tools/tovra-doctor.exe
tools/tovra-host.exe
tovra-surrogate32.exe
tovra-surrogate64.exe
tovracaller.dll
upper.dll'
listed=$(cmake -E tar tf "$zip" | grep -v '/$' | LC_ALL=C sort)
[ "$listed" = "$expected" ] || fail "the zip does not hold the release's files:
$(diff <(echo "$expected") <(echo "$listed"))"

kit=$work/kit
mkdir -p "$kit"
(cd "$kit" && cmake -E tar xf "$zip") || fail "the zip does not unpack"
(cd "$kit" && sha256sum --quiet --strict -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
[ "$(cut -d' ' -f3 "$kit/SHA256SUMS")" = "$(grep -v '^SHA256SUMS$' <<<"$expected")" ] ||
  fail "SHA256SUMS does not list every other file"
named=$(grep -rlF -e "$source_dir" -e "$build" "$kit")
[ -z "$named" ] || fail "files name the build's folders: $named"

mapfile -t binaries < <(cd "$kit" && find . -name '*.dll' -o -name '*.exe' | LC_ALL=C sort)
(cd "$kit" && "$source_dir/tests/release/check-release-binaries.sh" "$version" "$triple-windres" "$triple-objdump" \
   "${binaries[@]}") || fail "the zip's DLLs and EXEs do not all carry the release's version"
"$source_dir/tests/host/check-dll-exports.sh" "$kit/tovracaller.dll" "$machine" "$triple-objdump" ||
  fail "the zip's tovracaller.dll is not the library"

# The unpacked README.txt, as a reader follows it.
readme=$(tr -d '\r' <"$kit/README.txt")
indented() { sed -n "s/^  \($1\)/\1/p" <<<"$readme"; }  # its lines set off by two spaces
compile=$(indented "$triple-gcc .*")
project=$(awk '/this CMakeLists.txt$/ { on = 1; next } on && /^$/ { if (seen) exit; next } on { seen = 1; print substr($0, 3) }' <<<"$readme")
lines=$(indented 'cmake .*' | sed "s|KIT|$kit|g")
[ "$(grep -c . <<<"$compile")" -eq 1 ] || fail "README.txt gives no one compiler line for $triple"
[ -n "$project" ] || fail "README.txt gives no CMake project"
[ "$(grep -c . <<<"$lines")" -eq 2 ] || fail "README.txt gives $(grep -c . <<<"$lines") cmake lines, not 2"

echo "+ $compile"
(cd "$kit" && bash -c "$compile") || fail "README.txt's compiler line failed: $compile"
own=$kit/$(sed -E 's/.* -o ([^ ]+).*/\1/' <<<"$compile")
if [ -f "$own" ]; then
  "$source_dir/tests/host/check-dll-exports.sh" "$own" "$machine" "$triple-objdump" ||
    fail "README.txt's compiler line made no self-contained $bits-bit plug-in"
else
  fail "README.txt's compiler line made no $own"
fi

author=$work/author
mkdir -p "$author"
cp "$kit/sdk/samples/upper.c" "$author/"
printf '%s\n' "$project" >"$author/CMakeLists.txt"
while IFS= read -r line; do
  echo "+ $line"
  (cd "$author" && bash -c "$line" >"$work/author.log" 2>&1) || { cat "$work/author.log"; fail "README.txt line failed: $line"; }
done <<<"$lines"
plugin=$author/build/UPPER.dll
if [ -f "$plugin" ]; then
  "$source_dir/tests/host/check-dll-exports.sh" "$plugin" "$machine" "$triple-objdump" ||
    fail "the kit's UPPER.dll is no self-contained $bits-bit plug-in"
else
  fail "the kit made no build/UPPER.dll"
fi

# A tool line of README.txt ("tools\tovra-host.exe ARGS"), run in the
# unpacked folder: one argument in double quotes, or words.
run_line() {
  local tool=${1%% *} rest=${1#* }
  if [[ "$rest" == \"*\" ]]; then
    rest=${rest#\"}
    (cd "$kit" && "$loader" "${tool//\\//}" "${rest%\"}" 2>&1)
  else
    read -ra words <<<"$rest"
    (cd "$kit" && "$loader" "${tool//\\//}" "${words[@]}" 2>&1)
  fi
}

if [ -n "$loader" ]; then
  mapfile -t tool_lines < <(indented 'tools\\tovra-[a-z]*\.exe .*')
  first=$(indented 'String: .*' | head -n 1)
  [ ${#tool_lines[@]} -ge 2 ] && [ -n "$first" ] || fail "README.txt gives no tool lines to try"
  for line in "${tool_lines[@]}"; do
    echo "+ $line"
    reply=$(run_line "$line") || fail "README.txt's line failed: $line
$reply"
  done
  reply=$(run_line "${tool_lines[0]}")
  grep -qxF "$first"$'\r' <<<"$reply" || fail "README.txt's first example does not answer \"$first\": $reply"
  # Its own plug-in, called as README.txt says.
  said=$(grep -o 'tools\\tovra-host\.exe "[^"]*" then gives "[^"]*"' <<<"$readme")
  [ -n "$said" ] || fail "README.txt does not say how to call the plug-in it builds"
  expected=$(sed -E 's/.* then gives "([^"]*)"/\1/' <<<"$said")
  reply=$(run_line "${said% then gives*}")
  grep -qxF "$expected"$'\r' <<<"$reply" || fail "the README.txt's own plug-in does not answer \"$expected\": $reply"
  # The CMake-built plug-in beside a copy of the library, asked by the doctor.
  cp "$kit/tovracaller.dll" "$author/build/"
  report=$("$loader" "$kit/tools/tovra-doctor.exe" --dll "Z:${author//\//\\}\\build\\tovracaller.dll" upper hello 2>&1) ||
    fail "the unpacked doctor fails the kit's UPPER.dll: $report"
  grep -qF 'Result:        "HELLO"' <<<"$report" || fail "the unpacked doctor gives no Result HELLO: $report"
  for tool in tovra-host tovra-doctor; do
    shown=$("$loader" "$kit/tools/$tool.exe" --version 2>&1 | tr -d '\r')
    [ "$shown" = "$tool $version" ] || fail "$tool --version says '$shown', not '$tool $version'"
  done
  echo "the unpacked README.txt's first example answers: $first"
fi
finish
