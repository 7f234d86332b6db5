#!/usr/bin/env bash
# Builds the fuzz targets (the list in tests/fuzz/CMakeLists.txt) with clang's libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer (the fuzz preset of CMakePresets.json) into
# build-fuzz/ (or $CUVORA_FUZZ_BUILD_DIR; $CUVORA_BUILD_JOBS parallel jobs), apart from the
# g++ build, and runs them all at once, each for $CUVORA_FUZZ_SECONDS (60) over its corpus in
# tests/fuzz/corpus/<target>/. A crash, a sanitizer report, a leak, an input that runs
# longer than 10 s or a process above 2 GiB fails the run; the input that did it is kept in
# build-fuzz/findings/<target>/. Inputs the run discovers stay in build-fuzz/discovered/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${CUVORA_FUZZ_BUILD_DIR:-$root/build-fuzz}")
seconds=${CUVORA_FUZZ_SECONDS:-60}
cmake -S "$root" --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j"${CUVORA_BUILD_JOBS:-$(nproc)}" --target fuzz_targets
# The configure step writes the names of the targets it defined.
mapfile -t targets <"$build/fuzz-targets.txt"
for target in "${targets[@]}"; do
    if [ ! -d "$root/tests/fuzz/corpus/$target" ]; then
        echo "fuzz target $target has no corpus: add it to tools/make-fuzz-corpus.py" \
            "and run it (tests/fuzz/corpus/$target/)" >&2
        exit 1
    fi
done

export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS="print_stacktrace=1:suppressions=$root/tools/sanitizers/ubsan.supp ${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$root/tools/sanitizers/lsan.supp:print_suppressions=0 ${LSAN_OPTIONS:-}"
pids=()
for target in "${targets[@]}"; do
    rm -rf "$build/findings/$target"
    mkdir -p "$build/findings/$target" "$build/discovered/$target"
    # libgdiplus keeps the pixel buffer of many a corrupt JPEG it gave up on (outside the
    # leak check, in its own uninstrumented code): the decoding target's memory grows with
    # its runs, about 1.7 GB in 2 400 of them, so it gets a larger ceiling.
    rss_limit=2048
    [ "$target" = smart_image_decode ] && rss_limit=6144
    "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=$rss_limit \
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
