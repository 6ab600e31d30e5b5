#!/usr/bin/env bash
# Configures and builds the given presets (linux, windows).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in "$@"; do
    # Configure every time: a folder that gained its first code is found only then.
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
