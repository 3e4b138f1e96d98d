#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite. The PostgreSQL
# suites start their own private server on 127.0.0.1 through a CTest fixture.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TARNWICK_BUILD_DIR:-$root/build}"
bash "$root/scripts/install-deps.sh"
TARNWICK_BUILD_DIR="$build" bash "$root/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j 2
