#!/usr/bin/env bash
# Benchmarks the launcher under Wine and records the results in
# bench/RESULTS.md: its cost against bare launchers, and the hand-off alone on
# a 10 KB and a 10 MB config.cfg. Not part of the tests' pass or fail.
#   tools/bench.sh [ROUNDS]
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
rounds=${1:-21}
tools/deps.sh || exit 1
tools/build.sh >/dev/null || { echo "build failed"; exit 1; }
state=$(mktemp -u /tmp/morvel-bench.XXXXXX.env)
trap '"$root/tests/wine/session.sh" stop "$state" >/dev/null 2>&1' EXIT
tests/wine/session.sh start "$state" "$root/build/x64/bin/keepalive.exe" >/dev/null || exit 1
table=$(tests/wine/session.sh run "$state" "$root/build/x64/bin/launcher_bench.exe" "$rounds" 2>&1 </dev/null | tr -d '\r') \
  || { printf '%s\n' "$table"; echo "benchmark failed"; exit 1; }
printf '%s\n' "$table"
{
  echo "# Benchmark results"
  echo
  echo "Recorded by \`tools/bench.sh $rounds\` on $(date -u '+%Y-%m-%d %H:%M UTC')."
  echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), $(free -g | awk '/Mem:/ {print $2}') GiB;"
  echo "$(. /etc/os-release; echo "$PRETTY_NAME"), $(/usr/lib/wine/wine64 --version), x64 builds (this machine cannot run the shipped 32-bit ones)."
  echo
  printf '%s\n' "$table"
} >bench/RESULTS.md
echo
echo "Written to bench/RESULTS.md"
