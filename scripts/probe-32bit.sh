#!/bin/sh
# Asks whether this machine can run 32-bit programs, which Wine needs for the 32-bit Windows
# build's tests. Some kernels are built or booted without their 32-bit emulation
# (ia32_emulation=off): every 32-bit Linux program, Wine's loader included, then fails with
# "Exec format error".
#   probe-32bit.sh
#     Prints one line and exits 0 (it can), 77 (the kernel cannot run them) or 1 (the probe
#     itself failed: no 32-bit loader to try, no answer in time, any other error).
#   probe-32bit.sh --run COMMAND [ARG...]
#     Runs COMMAND where the machine can; where the kernel cannot, prints "Skipped: ..." and
#     exits 77 (CTest's SKIP_RETURN_CODE of the tests under Wine); on a failed probe, exits 1.
# PELLIX_RUNS_32BIT=yes|no forces the answer; it exists for the tests of this script.
set -u
loader=/lib/ld-linux.so.2  # Debian's libc6:i386, which Wine's 32-bit loader needs anyway

probe() {
  case "${PELLIX_RUNS_32BIT:-}" in
    yes) verdict="this machine runs 32-bit programs (answer forced by PELLIX_RUNS_32BIT)"
         return 0 ;;
    no) verdict="this machine cannot run 32-bit programs (answer forced by PELLIX_RUNS_32BIT)"
        return 77 ;;
    "") ;;
    *) verdict="32-bit probe failed: PELLIX_RUNS_32BIT is '$PELLIX_RUNS_32BIT', not yes or no"
       return 1 ;;
  esac
  # The loader must be a 32-bit x86 ELF file ("\177ELF", class 1, machine 3), so that the
  # kernel's refusal to run it can only mean a kernel without 32-bit support.
  header=$(od -An -tx1 -N20 "$loader" 2>/dev/null | tr -d ' \n')
  case "$header" in
    7f454c4601??????????????????????????0300) ;;
    "") verdict="32-bit probe failed: $loader is missing (Debian's libc6:i386)"
        return 1 ;;
    *) verdict="32-bit probe failed: $loader is not a 32-bit x86 ELF file"
       return 1 ;;
  esac
  # bash, not a plain exec: on "Exec format error" execvp() and dash run the file as a script.
  out=$(timeout 10 bash -c 'exec "$0" --version' "$loader" 2>&1 </dev/null)
  status=$?
  case "$status" in
    0) verdict="this machine runs 32-bit programs"
       return 0 ;;
    124) verdict="32-bit probe failed: $loader --version gave no answer within 10 s"
         return 1 ;;
  esac
  case "$out" in
    *"Exec format error"*)
      verdict="this machine cannot run 32-bit programs: the kernel refuses them"
      verdict="$verdict (Exec format error; its 32-bit emulation is off)"
      return 77 ;;
  esac
  verdict="32-bit probe failed: $loader --version exited with $status: $(echo "$out" | head -n 1)"
  return 1
}

probe
answer=$?
if [ "${1:-}" != --run ]; then
  echo "$verdict"
  exit "$answer"
fi
shift
case "$answer" in
  0) exec "$@" ;;
  77) echo "Skipped: $verdict"
      exit 77 ;;
  *) echo "$verdict"
     exit 1 ;;
esac
