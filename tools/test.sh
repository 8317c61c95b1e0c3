#!/usr/bin/env bash
# Runs every test: installs what is missing, builds every preset, then runs
# the host-native unit tests, a bounded fuzzing run of the link parser, the
# header checks of the shipped x86 programs, and the Windows tests under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
tools/deps.sh || exit 1
tools/build.sh host fuzz || exit 1

# Whatever happens, no Wine session of this run is left behind.
trap '"$root/tests/wine/session.sh" stop "$root/build/x64/wine-session.env"' EXIT

passed=0 failed=0
for preset in host fuzz x86 x64; do
  echo "== ctest --preset $preset"
  log=$(mktemp)
  ctest --preset "$preset" 2>&1 | tee "$log"
  summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  rm -f "$log"
  if [ -z "$summary" ]; then
    echo "ctest --preset $preset gave no result"; failed=$((failed + 1)); continue
  fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$summary")
  passed=$((passed + total - bad)); failed=$((failed + bad))
done
echo
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
