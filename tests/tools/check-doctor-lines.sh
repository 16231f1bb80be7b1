#!/usr/bin/env bash
# Runs the source-line command that tovra-doctor prints for a fault in the
# faulty plug-in, with the mingw addr2line of the build's bitness, and checks
# that it names the line of FaultingPlugin.cpp that faulted or made the call
# that did: faults in the plug-in's own code (one at the start of its line,
# which a step back would miss), a call to where no code is, an exception
# raised through the system, one raised by a call that ends its function,
# whose return address is the next function's first byte, and (32-bit) one
# raised through a pointer on the stack. The plug-in is moved from its base
# when loaded.
#   check-doctor-lines.sh SOURCE_DIR BIN_DIR 32|64 LOADER
set -u
usage="usage: check-doctor-lines.sh SOURCE_DIR BIN_DIR 32|64 LOADER"
source=${1:?$usage}/tests/plugins/FaultingPlugin.cpp
bin=${2:?$usage}
bits=${3:?$usage}
addr2line=x86_64-w64-mingw32-addr2line
[ "$bits" = 32 ] && addr2line=i686-w64-mingw32-addr2line
loader=${4:?$usage}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A fault's kind, and the text of the line its command must name.
rows=('write|kind == "write"' 'illegal|volatile("ud2")' 'execute|kind == "execute"' 'raise|kind == "raise"'
      'noreturn|RaiseException(0xE0000002')
[ "$bits" = 32 ] && rows+=('stackcall|call *16(%%esp)')
for row in "${rows[@]}"; do
  kind=${row%%|*}
  line=$(grep -nF -- "${row#*|}" "$source" | cut -d: -f1)
  report=$("$loader" "$bin/tovra-doctor.exe" faulty "$kind" 2>&1)
  command=$(grep -o 'addr2line -f -C -e .*' <<<"$report")
  address=${command##* }
  # The plug-in's Windows path on the Linux side: Z: is the root, and the
  # loader names the file as it was asked for it (FAULTY.dll).
  file=$(sed -E 's|^addr2line -f -C -e [A-Za-z]:||; s| [^ ]*$||; s|\\|/|g' <<<"$command")
  file=$(find "$(dirname "$file")" -maxdepth 1 -iname "$(basename "$file")" 2>/dev/null | head -n 1)
  if [ -z "$command" ] || [ -z "$file" ]; then
    fail "$kind: no source-line command naming a file there is: ${command:-none}"
    echo "$report"
    continue
  fi
  found=$("$addr2line" -f -C -e "$file" "$address" | tail -n 1)
  [[ $found =~ FaultingPlugin\.cpp:$line( |$) ]] || fail "$kind: \"$command\" names $found, not line $line"
  # The case shows the step back only where the return address itself lies
  # in the next function: a 32-bit build's call that ends a function.
  if [ "$kind" = noreturn ] && [ "$bits" = 32 ]; then
    after=$("$addr2line" -e "$file" "$(printf '0x%x' $((address + 1)))")
    [[ $after =~ FaultingPlugin\.cpp:$line( |$) ]] && fail "$kind: the return address lies on line $line too"
  fi
  echo "$kind: $command -> $found"
done

if [ "$failures" -ne 0 ]; then
  echo "check-doctor-lines: $failures problem(s)"
  exit 1
fi
echo "check-doctor-lines: each source-line command names the line of its fault"
