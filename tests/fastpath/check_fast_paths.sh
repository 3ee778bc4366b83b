#!/usr/bin/env bash
# Usage: check_fast_paths.sh OBJDUMP LIBRARY
# The two loop-end shells handle the host's own records on a path that touches only registers
# and flags: from the entry, falling through every conditional branch, up to the jump back into
# the host. Disassembles the built library and checks that this path holds no call and no
# memory write (push included). As a check of the check, the impact shell, which saves
# registers on the stack at once, must be rejected.
set -uo pipefail
objdump=$1
library=$2

# Prints why the fast path of $1 is not register-only; exit status 0 when it is.
fast_path_faults() {
  local symbol=$1
  "$objdump" -d -M intel --no-show-raw-insn --disassemble="$symbol" "$library" |
    awk -v symbol="$symbol" '
      BEGIN { started = 0; count = 0; done = 0 }
      $0 ~ "<" symbol ">:$" { started = 1; next }
      started && !done && /^ *[0-9a-f]+:\t/ {
        line = $0
        sub(/^ *[0-9a-f]+:\t/, "", line)
        mnemonic = line; sub(/[ \t].*$/, "", mnemonic)
        operands = line; sub(/^[^ \t]+[ \t]*/, "", operands)
        first = operands; sub(/,.*$/, "", first)
        count++
        if (count > 32) { print symbol ": no jump back to the host within 32 instructions"; done = 2; exit }
        if (mnemonic ~ /^call/) { print symbol ": call on the fast path: " line; done = 2; exit }
        if (mnemonic ~ /^(push|enter|stos|movs|rep|lock|xchg|cmpxchg|fst|fist|fnsave|fsave|stmxcsr|sgdt|sidt)/) {
          print symbol ": memory write on the fast path: " line; done = 2; exit
        }
        if (first ~ /(\[|PTR)/ && mnemonic !~ /^(cmp|test|j[a-z]+|nop|prefetch)/) {
          print symbol ": memory write on the fast path: " line; done = 2; exit
        }
        if (mnemonic == "jmp" || mnemonic ~ /^ret/) { done = 1; exit }
      }
      END {
        if (!started) { print symbol ": not found in the library"; exit 1 }
        if (done == 1 && count >= 2) exit 0
        if (done == 0) print symbol ": the path does not end in a jump"
        exit 1
      }'
}

status=0
for shell in _ProjectileLoopEndShell _TraceLoopEndShell; do
  if fast_path_faults "$shell"; then
    echo "$shell: register-only fast path"
  else
    status=1
  fi
done
if fast_path_faults _ImpactShell >/dev/null; then
  echo "the check accepted _ImpactShell, which pushes at once: the check itself is broken"
  status=1
fi
exit $status
