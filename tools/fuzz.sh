#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz/) with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/ (or $CUVORA_FUZZ_BUILD_DIR), apart from the g++
# build, and runs them all at once, each for $CUVORA_FUZZ_SECONDS (60) over its corpus in
# tests/fuzz/corpus/<target>/. A crash, a sanitizer report, a leak, an input that runs
# longer than 10 s or a process above 2 GiB fails the run; the input that did it is kept in
# build-fuzz/findings/<target>/. Inputs the run discovers stay in build-fuzz/discovered/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CUVORA_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${CUVORA_FUZZ_SECONDS:-60}
targets=(
    bmp_header gif_header jpeg_header png_header tiff_header
    stored_picture settings_file text_codec
)
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCUVORA_BUILD_TESTS=OFF -DCUVORA_BUILD_FUZZ=ON \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS="print_stacktrace=1:suppressions=$root/tools/sanitizers/ubsan.supp ${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$root/tools/sanitizers/lsan.supp:print_suppressions=0 ${LSAN_OPTIONS:-}"
pids=()
for target in "${targets[@]}"; do
    rm -rf "$build/findings/$target"
    mkdir -p "$build/findings/$target" "$build/discovered/$target"
    "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/findings/$target/" \
        "$build/discovered/$target" "$root/tests/fuzz/corpus/$target" \
        >"$build/findings/$target.log" 2>&1 &
    pids+=($!)
done

status=0
printf '%-16s %8s %12s %8s  %s\n' target seconds executions corpus result
for i in "${!targets[@]}"; do
    target=${targets[$i]}
    log=$build/findings/$target.log
    result=clean
    wait "${pids[$i]}" || result=FAILED
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    corpus=$(find "$build/discovered/$target" "$root/tests/fuzz/corpus/$target" -type f | wc -l)
    printf '%-16s %8s %12s %8s  %s\n' "$target" "$seconds" "${executions:-?}" "$corpus" "$result"
    if [ "$result" != clean ]; then
        status=1
        tail -n 60 "$log"
    fi
done
exit "$status"
