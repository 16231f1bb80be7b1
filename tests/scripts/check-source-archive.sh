#!/usr/bin/env bash
# A tree without git, as a source archive of the repository gives: the
# sources scripts/package --check copies out of it for its second build are
# every file of the tree but what builds made (build/, dist/), and nothing
# else. (Nothing else in building or packing asks git: the zips are dated
# from CHANGELOG.md.)
#   check-source-archive.sh SOURCE_DIR WORK_DIR
set -u
usage="usage: check-source-archive.sh SOURCE_DIR WORK_DIR"
source_dir=$(realpath "${1:?$usage}")
work=${2:?$usage}
rm -rf "$work"
mkdir -p "$work/archive" "$work/again"
source "$source_dir/scripts/lib/sources.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
files() { (cd "$1" && find . \( -path ./build -o -path ./dist \) -prune -o -type f -print | LC_ALL=C sort); }

# The archive: the sources without .git, and then what scripts/test leaves.
tovra_copy_sources "$source_dir" "$work/archive" || fail "the sources cannot be copied out of $source_dir"
[ ! -e "$work/archive/.git" ] || fail "the copy holds .git"
grep -qx './CMakeLists.txt' <(files "$work/archive") || fail "the copy holds no CMakeLists.txt"
mkdir -p "$work/archive/build/win64/bin" "$work/archive/dist"
touch "$work/archive/build/win64/bin/tovracaller.dll" "$work/archive/dist/tovracaller-1.0.0-win64.zip"

tovra_copy_sources "$work/archive" "$work/again" || fail "the sources cannot be copied out of a tree without git"
[ "$(files "$work/archive")" = "$(files "$work/again")" ] ||
  fail "a tree without git does not give its files: $(diff <(files "$work/archive") <(files "$work/again") | head)"
[ ! -e "$work/again/build" ] && [ ! -e "$work/again/dist" ] || fail "what builds made was copied too"

if [ "$failures" -ne 0 ]; then
  echo "check-source-archive: $failures problem(s)"
  exit 1
fi
echo "check-source-archive: a tree without git gives its $(files "$work/again" | wc -l) source files"
