#!/usr/bin/env bash
# Prints "PASSED FAILED SKIPPED" for the output of one ctest run (a file); exits 1 when the
# output holds no summary (ctest did not get to the end). CTest counts a skipped test as not
# failed, so it is taken out of the passed ones here.
set -uo pipefail
line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
[ -n "$line" ] || exit 1
total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
fails=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
skips=$(grep -c -E '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$1")
echo "$((total - fails - skips)) $fails $skips"
