#!/usr/bin/env bash
# scripts/install-deps against a package mirror out of step, with no network:
# apt-get, apt-cache, dpkg, dpkg-query, sudo and sleep are stand-ins on PATH
# that play a scenario and log what they were asked. Each scenario checks
# what install-deps printed, what it installed, its exit status and the note
# it leaves for scripts/demo and scripts/test when the 32-bit Wine is missing.
#   check-install-deps.sh SOURCE_DIR WORK_DIR
set -u
usage="usage: check-install-deps.sh SOURCE_DIR WORK_DIR"
source_dir=$(realpath "${1:?$usage}")
work=${2:?$usage}
rm -rf "$work"
mkdir -p "$work/bin"
work=$(realpath "$work")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The stand-ins. $FAKE_APT holds the scenario: `missing` (packages not
# installed), `updates` (one "EXIT|OUTPUT" line per apt-get update, used up
# in turn: each must be used, and no update run beyond them), `madison` (apt-cache madison lines),
# and FAKE_SOLVED_AT, the libwine version at which wine32:i386 installs.
cat >"$work/bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_APT/log"
if [ "$1" = update ]; then
  line=$(head -n 1 "$FAKE_APT/updates")
  sed -i 1d "$FAKE_APT/updates"
  [ -n "$line" ] || exit 0
  printf '%b\n' "${line#*|}"
  exit "${line%%|*}"
fi
packages=()
for a; do case "$a" in -*|install) ;; *) packages+=("$a") ;; esac; done
if [[ " ${packages[*]} " == *" wine32:i386 "* && ! ( -n "${FAKE_SOLVED_AT:-}" &&
      " ${packages[*]} " == *" libwine=$FAKE_SOLVED_AT libwine:i386=$FAKE_SOLVED_AT "* ) ]]; then
  echo "The following packages have unmet dependencies:"
  echo " wine32:i386 : Depends: libwine:i386 (= 8.0-5) but 8.0-4 is to be installed"
  echo "E: Unable to correct problems, you have held broken packages."
  exit 100
fi
[[ " $* " == *" -s "* ]] && exit 0
for p in "${packages[@]%%=*}"; do sed -i "/^$p\$/d" "$FAKE_APT/missing"; done
FAKE
cat >"$work/bin/apt-cache" <<'FAKE'
#!/usr/bin/env bash
grep "^ *$2 |" "$FAKE_APT/madison"
FAKE
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
grep -qxF -- "${@: -1}" "$FAKE_APT/missing" && exit 1
printf 'install ok installed'
FAKE
cat >"$work/bin/dpkg" <<'FAKE'
#!/usr/bin/env bash
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
FAKE
printf '#!/usr/bin/env bash\nexec "$@"\n' >"$work/bin/sudo"
printf '#!/usr/bin/env bash\necho "sleep $*" >>"$FAKE_APT/log"\n' >"$work/bin/sleep"
chmod +x "$work/bin"/*

# apt-cache madison's lines, "\n" between them: the indexes offer libwine
# for both architectures at 8.0-4, or at no version alike.
amd64=' | http://mirror bookworm/main amd64 Packages'
i386=' | http://mirror bookworm/main i386 Packages'
madison_split="libwine | 8.0-5$amd64\nlibwine | 8.0-4$amd64\nlibwine:i386 | 8.0-4$i386\nlibwine:i386 | 8.0-3$i386"
madison_apart="libwine | 8.0-5$amd64\nlibwine:i386 | 8.0-3$i386"
# Two versions common to both, 8.0-9 and 8.0-10: the newer, as versions compare.
madison_two="libwine | 8.0-11$amd64\nlibwine | 8.0-10$amd64\nlibwine | 8.0-9$amd64\nlibwine:i386 | 8.0-10$i386\nlibwine:i386 | 8.0-9$i386"
partial='100|W: Failed to fetch http://mirror/i386/Packages  Hash Sum mismatch\nE: Some index files failed to download.'

# One scenario a line, its fields between ";": name; missing before; the
# apt-get update results ("+" between them); madison; the version at which
# wine32 installs; exit status; missing after; whether a note is left; what
# must be printed.
scenarios=(
  "nothing to do;;;;;0;;no;install-deps: everything is installed"
  "a failed update, and one that succeeds with an E: line, are tried again;cmake;100|E: Could not connect+0|E: Some index files failed to download.+0|;;;0;;no;apt-get update failed (attempt 2 of 3)"
  "indexes that keep failing are used as they are;cmake;$partial+$partial+$partial;;;0;;no;going on with those that were"
  "wine32 is installed at a version both architectures offer;wine32:i386 cmake;0|;$madison_split;8.0-4;0;;no;common versions: libwine=8.0-4 libwine:i386=8.0-4"
  "the newest of two common versions is chosen;wine32:i386;0|;$madison_two;8.0-10;0;;no;common versions: libwine=8.0-10 libwine:i386=8.0-10"
  "without a common version the rest is installed and the reason noted;wine32:i386 cmake;0|;$madison_apart;;0;wine32:i386;yes;WARNING: the 32-bit Wine (wine32:i386) could not be installed"
)
for scenario in "${scenarios[@]}"; do
  IFS=';' read -r name missing updates madison solved code after note printed <<<"$scenario"
  export FAKE_APT=$work/$(tr ' ' - <<<"$name")
  mkdir -p "$FAKE_APT"
  : >"$FAKE_APT/log"
  before=$failures
  tr ' ' '\n' <<<"$missing" | grep . >"$FAKE_APT/missing"
  tr '+' '\n' <<<"$updates" | grep . >"$FAKE_APT/updates"
  printf '%b\n' "$madison" >"$FAKE_APT/madison"
  echo "stale reason" >"$FAKE_APT/note"
  output=$(PATH=$work/bin:$PATH FAKE_SOLVED_AT=$solved TOVRA_APT_ATTEMPTS=3 TOVRA_WINE32_NOTE=$FAKE_APT/note \
           "$source_dir/scripts/install-deps" 2>&1)
  status=$?
  left=$(paste -sd' ' "$FAKE_APT/missing")
  ran=$(grep -c '^apt-get update' "$FAKE_APT/log")
  [ "$ran" = "$(grep -c . <<<"${updates//+/$'\n'}")" ] || fail "$name: apt-get update ran $ran times, not as often as scripted"
  [ "$status" = "$code" ] || fail "$name: exit $status, not $code"
  grep -qF -- "$printed" <<<"$output" || fail "$name: it does not print \"$printed\""
  [ "$left" = "$after" ] || fail "$name: still missing \"$left\", not \"$after\""
  if [ "$note" = yes ]; then
    grep -qF "could not be installed" "$FAKE_APT/note" 2>/dev/null || fail "$name: no note says why wine32 is missing"
  elif [ -e "$FAKE_APT/note" ]; then
    fail "$name: the note is left although wine32 is installed"
  fi
  [ "$failures" -eq "$before" ] || { echo "--- $name printed:"; echo "$output"; echo "--- and ran:"; cat "$FAKE_APT/log"; }
done

if [ "$failures" -ne 0 ]; then
  echo "check-install-deps: $failures problem(s)"
  exit 1
fi
echo "check-install-deps: ${#scenarios[@]} scenarios of an out-of-step mirror end as they should"
