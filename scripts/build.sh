#!/usr/bin/env bash
# Configures and builds into build/ (warnings are errors).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TARNWICK_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DTARNWICK_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
