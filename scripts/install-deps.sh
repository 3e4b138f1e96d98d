#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, and
# only those that are missing. Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config python3
  qt6-base-dev qt6-svg-dev libqt6svg6 libqt6sql6-odbc libqt6sql6-sqlite
  unixodbc unixodbc-dev libsqliteodbc odbc-postgresql
  postgresql
  # outside readers the tests check our files and databases against
  sqlite3 libreoffice-calc-nogui
  locales
  g++-mingw-w64-x86-64 wine wine64
  # the package and its checks (scripts/package-check.sh, scripts/package-test.sh)
  dpkg-dev file binutils lintian appstream desktop-file-utils man-db mmdebstrap
  fonts-liberation
  xvfb xauth openbox xdotool
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# The code-page tests write under a Latin-1 locale; make it when it is not there.
latin1_locale() {
  if ! locale -a 2>/dev/null | grep -qi '^en_US\.iso88591$'; then
    "${sudo_cmd[@]}" localedef -i en_US -f ISO-8859-1 en_US.ISO-8859-1 ||
      echo "install-deps: could not make the en_US.ISO-8859-1 locale; the Latin-1 test will skip"
  fi
}
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  latin1_locale
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
latin1_locale
echo "install-deps: done"
