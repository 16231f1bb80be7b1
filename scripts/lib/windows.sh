# Sourced by the scripts: which Windows builds this machine can run, and the
# Wine environment for each. Bash only.
#
#   tovra_runs_32bit          true where the kernel itself runs 32-bit programs
#                             (false with TOVRA_32BIT=vm, which makes the
#                             scripts use the VM, scripts/vm, as such a
#                             machine does)
#   tovra_has_wine32          true where the 32-bit Wine is installed
#   tovra_wine32_missing      why it is not (scripts/install-deps's note)
#   tovra_native_windows      win32 where 32-bit programs run here under the
#                             32-bit Wine, else win64
#   tovra_wine_env ARCH DIR   exports the Wine environment for the win32 or
#                             win64 build's programs in the prefix DIR;
#                             TOVRA_WINE is then the loader of that bitness

# 32-bit programs run natively when the 32-bit dynamic loader starts and no
# user-mode emulator is registered for i386 programs (one would make it start
# anyway, and the 32-bit Wine dies under it at the first Windows exception).
tovra_runs_32bit() {
  [ "${TOVRA_32BIT:-}" != vm ] || return 1
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

# The Windows build this machine runs itself, without the VM.
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
