#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo environment (a product
# database, a registry file of an installation at 4.0(3.100), the ODBC map
# that serves "SQL Server" from SQLite) and opens the welcome page on it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TARNWICK_BUILD_DIR:-$root/build}"
bash "$root/scripts/install-deps.sh"
TARNWICK_BUILD_DIR="$build" bash "$root/scripts/build.sh"

env_dir="$build/demo-env"
mkdir -p "$env_dir"
if [ ! -f "$env_dir/OrvaneDb" ]; then
  "$build/bin/tarnwick-demo-db" "$env_dir/OrvaneDb"
fi

# The connection string names the database "OrvaneDb"; the SQLite driver
# finds it in the working folder.
cd "$env_dir"
export ODBCSYSINI="$build/odbc/sqlite"
export TARNWICK_REGISTRY="$root/demo/registry.reg"

program="$build/bin/tarnwick"
if [ "${1:-}" = "--export" ]; then
  shift
  exec "$build/bin/tarnwick-export" "$@"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "demo: no display found. Run this from a desktop session, or under a virtual display:" >&2
  echo "  apt-get install xvfb && xvfb-run -a bash scripts/demo.sh" >&2
  echo "The headless command runs on the same demo data without a display:" >&2
  echo "  bash scripts/demo.sh --export --all --output /tmp/private-lists.csv" >&2
  exit 3
fi
exec "$program" "$@"
