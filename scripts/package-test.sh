#!/usr/bin/env bash
# The package on a clean Debian 12 system: builds and checks the package
# (scripts/package-check.sh), makes a minimal bookworm system in a folder with
# mmdebstrap from this machine's Debian mirrors, with the package's Depends
# taken from the package registry, installs the package there and, as a
# user who is not root:
#   - tarnwick-export --version and tarnwick --version print the build's version,
#     and man tarnwick-export shows the manual page;
#   - tarnwick-export on the installed demo data, with the registry read from
#     /etc/tarnwick/registry.reg, writes a CSV byte-identical to the build
#     folder's and a log in the user's data folder;
# then removes the package and finds nothing of it left in /usr.
# Needs root (mmdebstrap and chroot) and network access to the mirrors.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TARNWICK_BUILD_DIR:-$root/build}"
started=$(date +%s)
step() { echo "package-test: $*" >&2; }
fail() { echo "package-test: FAILED: $*" >&2; exit 1; }
problems=()
check() { if "${@:2}"; then step "ok: $1"; else step "NOT ok: $1"; problems+=("$1"); fi; }
[ "$(id -u)" -eq 0 ] || fail "run as root (mmdebstrap and chroot need it)"
command -v mmdebstrap >/dev/null || fail "mmdebstrap is missing (apt-get install mmdebstrap)"

deb="$(bash "$root/scripts/package-check.sh" | tail -n 1)"
version="$(dpkg-deb -f "$deb" Version)"
version="${version%-*}"

work="$(mktemp -d /tmp/tarnwick-package-test.XXXXXX)"
sysroot="$work/root"
cleanup() {
  for m in proc dev/pts dev; do umount "$sysroot/$m" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# The build folder's CSV of the same demo database.
mkdir "$work/reference"
cp "$build/packaging/demo/OrvaneDb" "$work/reference/"
(cd "$work/reference" && ODBCSYSINI="$build/odbc/sqlite" TARNWICK_REGISTRY="$root/demo/registry.reg" \
  "$build/bin/tarnwick-export" --all --quiet -o reference.csv) || fail "the build folder's export"

# This machine's Debian mirrors (one-line and deb822 sources), for bookworm.
mirrors="$({ cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } |
  python3 -c '
import re, sys
text = sys.stdin.read()
out = []
for line in text.splitlines():
    m = re.match(r"\s*deb\s+(\[[^]]*\]\s+)?(\S+)\s+(\S+)\s+(.+)", line)
    if m: out.append((m.group(2), m.group(3), m.group(4).split()))
for stanza in re.split(r"\n\s*\n", text):
    f = dict(re.findall(r"^(\w[\w-]*):\s*(.*)$", stanza, re.M))
    if "deb" in f.get("Types", "").split() and f.get("Enabled", "yes") != "no":
        for uri in f.get("URIs", "").split():
            for suite in f.get("Suites", "").split():
                out.append((uri, suite, f.get("Components", "main").split()))
for uri, suite, components in out:
    if "debian" in uri and suite.startswith("bookworm"):
        print("deb %s %s %s" % (uri, suite, " ".join(components)))
')"
[ -n "$mirrors" ] || mirrors="deb http://deb.debian.org/debian bookworm main"
step "mirrors: $(echo "$mirrors" | awk '{print $2" "$3}' | paste -sd ';')"

depends="$(dpkg-deb -f "$deb" Depends | sed 's/([^)]*)//g; s/ //g')"
step "making a clean bookworm system with $depends"
mmdebstrap --quiet --variant=apt --include="$depends,libsqliteodbc,man-db" bookworm "$sysroot" \
  <<<"$mirrors" >&2 || fail "mmdebstrap"
mount -t proc proc "$sysroot/proc"
mount --bind /dev "$sysroot/dev"
mount --bind /dev/pts "$sysroot/dev/pts"
inside() { chroot "$sysroot" "$@"; }
as_user() { chroot "$sysroot" runuser -u admin -- env -i HOME=/home/admin PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }

find "$sysroot/usr" | sort >"$work/usr-before"
cp "$deb" "$sysroot/tmp/"
inside apt-get install -y -qq "/tmp/$(basename "$deb")" >&2 || fail "installing the package"
inside useradd -m admin

step "checks as a user who is not root"
check "tarnwick-export --version" test "$(as_user tarnwick-export --version)" = "tarnwick-export $version"
check "tarnwick --version, without a display" test "$(as_user tarnwick --version)" = "tarnwick $version"
check "tarnwick --help" sh -c "$(declare -f as_user); sysroot='$sysroot'; as_user tarnwick --help | grep -q -- --version"
check "man tarnwick-export" sh -c "$(declare -f as_user); sysroot='$sysroot'; as_user sh -c 'MANPAGER=cat man tarnwick-export' | grep -q 'EXIT STATUS'"

mkdir -p "$sysroot/etc/tarnwick"
cp "$sysroot/usr/share/tarnwick/demo/registry.reg" "$sysroot/etc/tarnwick/registry.reg"
status=0
summary="$(as_user sh -c 'mkdir -p ~/demo && cd ~/demo && cp /usr/share/tarnwick/demo/OrvaneDb . &&
  ODBCSYSINI=/usr/share/tarnwick/demo tarnwick-export --all -o lists.csv --summary=json' 2>"$work/stderr")" || status=$?
grep -v '^\[' "$work/stderr" >&2 || true
step "summary: $summary"
check "tarnwick-export on the demo data, registry from /etc/tarnwick: status 0" test "$status" -eq 0
check "CSV byte-identical to the build folder's ($(wc -l <"$work/reference/reference.csv") lines)" \
  cmp "$work/reference/reference.csv" "$sysroot/home/admin/demo/lists.csv"
logs="$(find "$sysroot/home/admin/.local/share" -name 'Tarnwick_Log_*.TXT' 2>/dev/null | sed "s|^$sysroot||" || true)"
check "log in the user's data folder: ${logs:-none}" test -n "$logs"
rm -r "$sysroot/etc/tarnwick"

step "removing the package"
inside apt-get purge -y -qq tarnwick >&2 || fail "removing the package"
find "$sysroot/usr" | sort >"$work/usr-after"
check "nothing left in /usr after removal" diff "$work/usr-before" "$work/usr-after"
[ ${#problems[@]} -eq 0 ] || fail "${problems[*]} (in $(($(date +%s) - started)) s)"
step "passed in $(($(date +%s) - started)) s"
