#!/usr/bin/env bash
# Fuzzes the launcher's link parsing and checking for longer than the tests do.
#   tools/fuzz.sh [SECONDS]    (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
tools/deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/corpus
# New inputs go to the scratch corpus; the committed seeds stay as they are.
exec build/fuzz/tests/fuzz/link_fuzz -max_total_time="$seconds" -max_len=600 \
  -artifact_prefix=build/fuzz/ build/fuzz/corpus tests/fuzz/corpus
