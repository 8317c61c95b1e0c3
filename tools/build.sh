#!/usr/bin/env bash
# Builds the shipped x86 programs into dist/x86 and the x64 twin (with the
# Windows tests) into dist/x64. Pass "host" to also build the host-native tests.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=(x86 x64 "$@")
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
