#!/usr/bin/env bash
# The Win32 registry backend under Wine, in a Wine prefix of its own inside the
# build folder (never the user's):
#   wine-registry.sh prefix DIR       makes a fresh prefix in DIR/prefix (wineboot is slow: once per test run)
#   wine-registry.sh run DIR EXE      writes the case table with `wine reg add` into the 32-bit view (and one key
#                                     into the 64-bit view only), checks every case through EXE, then writes what
#                                     EXE reads (DIR/win32-read.txt) and regedit's export (DIR/export.reg) for the
#                                     row-by-row comparison with the .reg backend
#   wine-registry.sh corpus DIR GEN   writes the generator GEN's registry files to DIR/corpus, imports them all
#                                     with regedit /S (each below a key of its own) and exports what Wine holds
#                                     with regedit /E, per hive, for the comparison with our reading of each file
#   wine-registry.sh stop DIR         stops the prefix's Wine server
set -euo pipefail
command=$1 dir=$2
export WINEPREFIX="$dir/prefix" WINEDEBUG=-all WINEARCH=win64 LC_ALL=C.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY  # nothing here may open a window

# Runs a Wine command; its chatter is shown only when it fails. Into a file, not a pipe: the services Wine
# starts on the way live on with the persistent server and would hold a pipe open.
quiet() {
  local log
  log=$(mktemp)
  if ! "$@" >"$log" 2>&1; then
    printf 'wine-registry: failed: %s\n' "$*" >&2
    cat "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

# Stops the prefix's server and waits until it has gone, so that the next test's commands do not meet it
# half-way down (and lose what they write).
stop_server() {
  wineserver --kill >/dev/null 2>&1 || true
  wineserver --wait >/dev/null 2>&1 || true
}

case "$command" in
prefix)
  rm -rf "$WINEPREFIX"
  mkdir -p "$dir"
  start=$SECONDS
  quiet wineboot --init
  quiet wineserver --wait
  echo "wine-registry: fresh prefix $WINEPREFIX in $((SECONDS - start)) s"
  ;;
run)
  exe=$3
  [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-registry: no prefix in $WINEPREFIX" >&2; exit 1; }
  wineserver --persistent  # one server for all the commands below, not one each
  trap stop_server EXIT
  cases=$(wine "$exe" --cases)
  written=0
  while IFS=$'\t' read -r view key name type data; do
    if [ "$type" = IMPORT ]; then
      # In UTF-16LE with its mark, as regedit writes version 5 files; Wine reads the text types of other files as 8-bit.
      { printf '\xff\xfe'
        printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\%s]\r\n%s\r\n' "$key" "$data" |
          iconv -f UTF-8 -t UTF-16LE; } >"$dir/import.reg"
      quiet wine reg import "$(winepath -w "$dir/import.reg")" "/reg:$view"
    else
      quiet wine reg add "HKLM\\$key" /v "$name" /t "$type" /d "$data" /f "/reg:$view"
    fi
    written=$((written + 1))
  done <<<"$cases"
  echo "wine-registry: $written values written with reg add and reg import"
  wine "$exe"
  wine "$exe" --read >"$dir/win32-read.txt"
  rm -f "$dir/export.reg"
  quiet wine regedit /E "$(winepath -w "$dir/export.reg")" "HKEY_LOCAL_MACHINE\\Software"
  echo "wine-registry: HKLM\\Software exported by regedit: $(stat -c %s "$dir/export.reg") bytes"
  ;;
corpus)
  [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-registry: no prefix in $WINEPREFIX" >&2; exit 1; }
  python3 "$3" "$dir/corpus"
  wineserver --persistent || true  # or one runs already
  trap stop_server EXIT
  windows() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }  # the Z: drive is the root folder
  # A first file empties the corpus keys, so that a second run finds nothing of the first.
  printf 'REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\TarnwickCorpus]\r\n[-HKEY_CURRENT_USER\\Software\\TarnwickCorpus]\r\n' \
    >"$dir/corpus/clean.reg"
  files=("$(windows "$dir/corpus/clean.reg")")
  for file in "$dir"/corpus/[0-9]*.reg; do files+=("$(windows "$file")"); done
  quiet wine regedit /S "${files[@]}"
  for hive in HKEY_LOCAL_MACHINE\\SOFTWARE HKEY_CURRENT_USER\\Software; do
    out="$dir/corpus/export-${hive%%\\*}.reg"
    rm -f "$out"
    quiet wine regedit /E "$(windows "$out")" "$hive\\TarnwickCorpus"
  done
  echo "wine-registry: $((${#files[@]} - 1)) files imported by regedit, exported per hive"
  ;;
stop)
  stop_server
  ;;
esac
