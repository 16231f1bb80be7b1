#!/usr/bin/env bash
# The release zip as its users meet it. Makes the zip of a build with
# `cpack -G ZIP`, checks that it holds exactly the release's files (no test,
# no test plug-in), unpacks it into an empty folder and checks SHA256SUMS,
# that no file names the build's folders, and every DLL's and EXE's version
# resource. Then builds the sample upper.c in a folder of its own with the
# CMake project and cmake lines of README.md's "Releases" section, which use
# nothing but the unpacked kit, and checks the plug-in from its file. With a
# Wine loader of the build's bitness it also runs the plug-in and a built
# sample through the unpacked library with the unpacked tovra-host, asks the
# unpacked doctor about it, and the tools for their --version.
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
plugins/calc.dll
plugins/echo.dll
plugins/tally.dll
plugins/upper.dll
sdk/cmake/TovraPluginConfig.cmake
sdk/cmake/TovraPluginConfigVersion.cmake
sdk/cmake/toolchain-mingw.cmake
sdk/samples/calc.c
sdk/samples/echo.c
sdk/samples/tally.cpp
sdk/samples/upper.c
sdk/tovra_plugin.h
tools/tovra-console.exe
tools/tovra-doctor.exe
tools/tovra-host.exe
tovracaller.dll'
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

# An author's folder: the sample's source, the README's project, its lines.
section=$(awk '/^## Releases/ { on = 1; next } on && /^## / { exit } on { print }' "$source_dir/README.md")
project=$(awk '/^```cmake$/ { on = 1; next } on && /^```$/ { exit } on { print }' <<<"$section")
lines=$(grep -E '^cmake ' <<<"$section")
[ -n "$project" ] || fail "README.md's Releases section gives no CMake project"
[ "$(grep -c . <<<"$lines")" -eq 2 ] || fail "README.md's Releases section gives $(grep -c . <<<"$lines") cmake lines, not 2"
author=$work/author
mkdir -p "$author"
cp "$kit/sdk/samples/upper.c" "$author/"
printf '%s\n' "$project" >"$author/CMakeLists.txt"
while IFS= read -r line; do
  echo "+ $line"
  (cd "$author" && kit=$kit bash -c "$line" >"$work/author.log" 2>&1) || { cat "$work/author.log"; fail "README line failed: $line"; }
done <<<"$lines"
plugin=$author/build/UPPER.dll
if [ -f "$plugin" ]; then
  "$source_dir/tests/host/check-dll-exports.sh" "$plugin" "$machine" "$triple-objdump" ||
    fail "the kit's UPPER.dll is no self-contained $bits-bit plug-in"
else
  fail "the kit made no build/UPPER.dll"
fi

if [ -n "$loader" ] && [ -f "$plugin" ]; then
  # A host user's steps: plug-ins beside the library, the tools in tools\.
  cp "$plugin" "$kit/plugins/calc.dll" "$kit/"
  reply=$("$loader" "$kit/tools/tovra-host.exe" '$tovra[upper,hello] and $tovra[calc,add,3,4]' 2>&1)
  grep -qF $'String: HELLO and 7\r' <<<"$reply" || fail "the unpacked tovra-host did not expand both calls: $reply"
  report=$("$loader" "$kit/tools/tovra-doctor.exe" upper hello 2>&1) || fail "the unpacked doctor fails UPPER.dll: $report"
  grep -qF 'Result:        "HELLO"' <<<"$report" || fail "the unpacked doctor gives no Result HELLO: $report"
  for tool in tovra-host tovra-doctor; do
    shown=$("$loader" "$kit/tools/$tool.exe" --version 2>&1 | tr -d '\r')
    [ "$shown" = "$tool $version" ] || fail "$tool --version says '$shown', not '$tool $version'"
  done
  echo "the unpacked tovra-host expands \$tovra[upper,hello] with the kit's UPPER.dll: $(grep -a '^String' <<<"$reply")"
fi
finish
