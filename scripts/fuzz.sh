#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UBSan) and runs
# each for a chosen time, one after another:
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# SECONDS defaults to 60; TARGET is one of registry csv_lines csv_import
# update_version number_text (default: all). The build goes to build-asan/
# (TARNWICK_ASAN_BUILD_DIR), the one the sanitizer test run uses. New inputs
# collect in build-asan/fuzz/corpus/TARGET; an input that breaks a target is
# kept in build-asan/fuzz/artifacts/. Each target ends with one line:
# executions, coverage (cov: edges, ft: features) and the corpus it reached.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TARNWICK_ASAN_BUILD_DIR:-$root/build-asan}"
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(registry csv_lines csv_import update_version number_text)

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DTARNWICK_WERROR=ON -DCMAKE_CXX_COMPILER=clang++ \
        -DTARNWICK_SANITIZE=ON -DTARNWICK_FUZZ=ON -DTARNWICK_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

export LC_ALL=C.UTF-8 TARNWICK_REGISTRY=
status=0
for t in "${targets[@]}"; do
    work="$build/fuzz/corpus/$t"
    mkdir -p "$work" "$build/fuzz/artifacts"
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$build/fuzz/artifacts/fuzz_$t-")
    [ -f "$root/fuzz/$t.dict" ] && options+=(-dict="$root/fuzz/$t.dict")
    log="$build/fuzz/fuzz_$t.log"
    echo "fuzz_$t: ${seconds}s, log in $log"
    if "$build/bin/fuzz_$t" "${options[@]}" "$work" "$root/fuzz/corpus/$t" >"$log" 2>&1; then
        echo "fuzz_$t: $(grep -E '^#[0-9]+\s+DONE' "$log" | tail -1)"
    else
        status=1
        echo "fuzz_$t: FAILED"
        grep -E 'property broken|ERROR:|SUMMARY|Test unit written' "$log" | head -5
    fi
done
exit $status
