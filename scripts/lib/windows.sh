# Sourced by the scripts: which Windows builds this machine can run, and the
# Wine environment for each. Bash only.
#
#   tovra_runs_32bit          true where the kernel itself runs 32-bit programs
#   tovra_has_wine32          true where the 32-bit Wine is installed
#   tovra_wine32_missing      why it is not (scripts/install-deps's note)
#   tovra_native_windows      win32 where 32-bit programs run under the
#                             32-bit Wine, else win64
#   tovra_wine_env ARCH DIR   exports the Wine environment for a win32 or win64
#                             prefix in DIR; TOVRA_WINE is then the loader
#   tovra_emulation_on        lets 32-bit programs run under qemu-i386-static
#   tovra_emulation_off       takes that back, as it was before
#   tovra_emulated_prefix     the 64-bit prefix (made while emulation is on,
#                             so with its 32-bit half) where emulated 32-bit
#                             programs run, with the 32-bit loader tovra_wine32

# 32-bit programs run natively when the 32-bit dynamic loader starts and no
# emulator is registered for i386 programs (one would make it start anyway).
tovra_runs_32bit() {
  [ -x /lib/ld-linux.so.2 ] || return 1
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$entry" ] || continue
    if grep -q '^interpreter .*qemu-i386' "$entry" 2>/dev/null && grep -qx enabled "$entry" 2>/dev/null; then
      return 1
    fi
  done
  /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# The 32-bit Wine is installed (a mirror out of step can keep it away).
tovra_has_wine32() { [ -x /usr/lib/wine/wine ]; }

# Where scripts/install-deps says why it could not install the 32-bit Wine.
tovra_wine32_note=${TOVRA_WINE32_NOTE:-$(realpath -m "$(dirname "${BASH_SOURCE[0]}")/../../build/wine32-missing")}

tovra_wine32_missing() {
  if [ -s "$tovra_wine32_note" ]; then
    cat "$tovra_wine32_note"
  else
    echo "the 32-bit Wine (/usr/lib/wine/wine) is not installed"
  fi
}

# The Windows build this machine runs without emulation.
tovra_native_windows() {
  if tovra_runs_32bit && tovra_has_wine32; then echo win32; else echo win64; fi
}

# Every prefix is a 64-bit one, with its 32-bit half where 32-bit programs
# run: the 32-bit build's programs run there as a 32-bit host runs on 64-bit
# Windows, and start 64-bit surrogates as well.
tovra_wine_env() {  # ARCH PREFIX
  case "$1" in
    win32) export WINEARCH=win64 TOVRA_WINE=/usr/lib/wine/wine ;;
    win64) export WINEARCH=win64 TOVRA_WINE=/usr/lib/wine/wine64 ;;
    *) echo "tovra_wine_env: unknown Windows target $1" >&2; return 2 ;;
  esac
  export WINEPREFIX
  WINEPREFIX=$(realpath -m "$2")
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
}

tovra_emulated_prefix=build/win32/wineprefix-emulated
tovra_wine32=/usr/lib/wine/wine

tovra_binfmt=/proc/sys/fs/binfmt_misc
tovra_binfmt_entry=$tovra_binfmt/tovra-qemu-i386
tovra_binfmt_mounted_here=0

# Registers qemu-i386-static for i386 ELF programs under an entry of our
# own ('F': the interpreter is opened now, so it also serves in chroots).
# Needs root; false, with a reason on stderr, where it cannot be had.
tovra_emulation_on() {
  local interpreter=/usr/bin/qemu-i386-static
  [ -x "$interpreter" ] || { echo "qemu-user-static is not installed" >&2; return 1; }
  if [ ! -e "$tovra_binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$tovra_binfmt" 2>/dev/null ||
      { echo "binfmt_misc cannot be mounted here" >&2; return 1; }
    tovra_binfmt_mounted_here=1
  fi
  [ -e "$tovra_binfmt_entry" ] && echo -1 >"$tovra_binfmt_entry"
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":tovra-qemu-i386:M::$magic:$mask:$interpreter:F" >"$tovra_binfmt/register" 2>/dev/null ||
    { echo "the emulator cannot be registered (not root?)" >&2; tovra_emulation_off; return 1; }
}

tovra_emulation_off() {
  [ -e "$tovra_binfmt_entry" ] && echo -1 >"$tovra_binfmt_entry" 2>/dev/null
  if [ "$tovra_binfmt_mounted_here" = 1 ]; then
    umount "$tovra_binfmt" 2>/dev/null
    tovra_binfmt_mounted_here=0
  fi
  return 0
}
