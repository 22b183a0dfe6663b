#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and runs each for a while
# (seconds, default 180), keeping what adds coverage in its corpus under
# tests/fuzz/corpus/. A crash leaves its input in build-fuzz/findings/ and ends
# the script with the fuzzer's status.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

seconds="${1:-180}"
quorvid_install_missing "${quorvid_build_packages[@]}" clang libclang-rt-14-dev
build="$QUORVID_ROOT/build-fuzz"
CC=clang CXX=clang++ cmake -S "$QUORVID_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVID_FUZZ=ON -DBUILD_TESTING=OFF -DQUORVID_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
mkdir -p "$build/findings"
for target in "$build"/tests/fuzz/*Fuzz; do
    name="$(basename "$target")"
    corpus="$QUORVID_ROOT/tests/fuzz/corpus/$name"
    fresh="$build/fresh/$name"
    mkdir -p "$corpus" "$fresh"
    echo "== $name for $seconds s"
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$build/findings/$name-" "$fresh" "$corpus"
    # Only what adds coverage joins the committed corpus.
    "$target" -merge=1 "$corpus" "$fresh" >/dev/null 2>&1
    rm -rf "$fresh"
done
