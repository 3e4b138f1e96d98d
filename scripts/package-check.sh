#!/usr/bin/env bash
# Makes the Debian package from the build folder and checks it without
# installing it: lintian reports no errors, the files are the expected ones,
# Depends names every library the programs link (as dpkg-shlibdeps finds
# them) plus Qt's ODBC plugin, the desktop entry and AppStream metainfo
# validate, and each manual page names every option its program's --help lists.
# Prints the package's path on the last line.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TARNWICK_BUILD_DIR:-$root/build}"
fail() { echo "package-check: FAILED: $*" >&2; exit 1; }

cmake --build "$build" --target tarnwick tarnwick-export tarnwick_package_files >/dev/null
rm -f "$build"/tarnwick_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/tarnwick_*.deb)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# lintian: warnings are shown, errors fail.
lintian --allow-root --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || true
cat "$work/lintian" >&2
if grep -q '^E:' "$work/lintian"; then fail "lintian reports errors"; fi

# The files, as the README lists them.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort >"$work/files"
cat >"$work/expected" <<'LIST'
/usr/bin/tarnwick
/usr/bin/tarnwick-export
/usr/share/applications/example.orvane_community.Tarnwick.desktop
/usr/share/doc/tarnwick/README.md
/usr/share/doc/tarnwick/Tarnwick.htm
/usr/share/doc/tarnwick/changelog.Debian.gz
/usr/share/doc/tarnwick/copyright
/usr/share/icons/hicolor/scalable/apps/example.orvane_community.Tarnwick.svg
/usr/share/man/man1/tarnwick-export.1.gz
/usr/share/man/man1/tarnwick.1.gz
/usr/share/metainfo/example.orvane_community.Tarnwick.metainfo.xml
/usr/share/tarnwick/demo/OrvaneDb
/usr/share/tarnwick/demo/odbcinst.ini
/usr/share/tarnwick/demo/registry.reg
/usr/share/tarnwick/odbcinst.ini.example
LIST
diff -u "$work/expected" "$work/files" >&2 || fail "the package's files differ from the list"

# Depends: every library package dpkg-shlibdeps finds, and the ODBC plugin; nothing else.
dpkg-deb -x "$deb" "$work/root"
for f in "$work"/root/usr/bin/*; do
  file "$f" | grep -q 'stripped' && ! file "$f" | grep -q 'not stripped' || fail "$f is not stripped"
done
mkdir -p "$work/debian"
printf 'Source: tarnwick\n\nPackage: tarnwick\nArchitecture: any\n' >"$work/debian/control"
needed="$(cd "$work" && dpkg-shlibdeps -O root/usr/bin/tarnwick root/usr/bin/tarnwick-export 2>/dev/null |
  sed 's/^shlibs:Depends=//' | tr ',' '\n' | sed 's/ *(.*//; s/^ *//' | sort)"
declared="$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/ *(.*//; s/^ *//' | sort)"
diff -u <(printf '%s\nlibqt6sql6-odbc\n' "$needed" | sort) <(echo "$declared") >&2 ||
  fail "Depends differs from the libraries the programs link plus libqt6sql6-odbc"
# tarnwick-export links no network, no windows.
if objdump -p "$work/root/usr/bin/tarnwick-export" | grep -E 'NEEDED.*(Network|Gui|Widgets)'; then
  fail "tarnwick-export links more than Qt Core and Sql"
fi

desktop-file-validate "$work"/root/usr/share/applications/*.desktop || fail "desktop entry"
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.xml >&2 || fail "AppStream metainfo"

# Every option --help lists is in the manual page, and the page renders.
for program in tarnwick tarnwick-export; do
  page="$work/root/usr/share/man/man1/$program.1.gz"
  text="$(MANWIDTH=200 man -l "$page" 2>/dev/null)" || fail "man page of $program"
  for option in $(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$build/bin/$program" --help |
                  grep -oE '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | grep -v -- '--help-all'); do
    grep -qe "$option" <<<"$text" || fail "the manual page of $program does not name $option"
  done
done

echo "package-check: $(basename "$deb"): $(stat -c %s "$deb") bytes, installed size $(dpkg-deb -f "$deb" Installed-Size) KiB, $(wc -l <"$work/files") files; lintian, Depends, desktop entry, metainfo, manual pages: passed" >&2
echo "$deb"
