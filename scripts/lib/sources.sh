# Sourced by the scripts: the project's source files, with or without git.
# Bash only.
#
#   tovra_copy_sources SOURCE DEST   copies the sources of the tree SOURCE
#                                    into DEST: the files git tracks (as they
#                                    are now) in a clone, and in a tree
#                                    without git (a source archive) every file
#                                    but what builds make (build/, dist/)

tovra_copy_sources() {  # SOURCE DEST
  # SOURCE must be the top of a clone: a source archive unpacked inside some
  # other repository is no clone of its own.
  if [ "$(git -C "$1" rev-parse --show-toplevel 2>/dev/null)" = "$(realpath "$1")" ]; then
    (cd "$1" && git ls-files -z | tar --null -T - -cf -) | tar -xf - -C "$2"
  else
    (cd "$1" && tar --exclude=./build --exclude=./dist -cf - .) | tar -xf - -C "$2"
  fi
}
