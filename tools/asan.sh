#!/usr/bin/env bash
# Builds the project and its whole test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer (g++, the debug-asan presets of CMakePresets.json) into
# build-asan/ (or $CUVORA_ASAN_BUILD_DIR; $CUVORA_BUILD_JOBS parallel jobs) and runs the
# suite there, against the Firebird server and cupsd that tools/test.sh started. Every
# sanitized process, the program the tests start included, writes its AddressSanitizer and
# leak reports under build-asan/sanitizer-reports/; an undefined-behaviour report stops the
# process. A failing test or any report fails the run.
# The executables load libgdiplus at start-up here, so that it stays mapped at exit and the
# leak check can see and name what it holds. Findings inside third-party libraries are
# suppressed in tools/sanitizers/, each entry with its reason.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/lib/preset-ctest.sh
source "$root/tools/lib/preset-ctest.sh"
build=$(realpath -m "${CUVORA_ASAN_BUILD_DIR:-$root/build-asan}")
cmake -S "$root" --preset debug-asan -B "$build" >/dev/null
cmake --build "$build" -j"${CUVORA_BUILD_JOBS:-$(nproc)}"

reports=$build/sanitizer-reports
rm -rf "$reports"
mkdir -p "$reports"
supp=$root/tools/sanitizers
# intercept_tls_get_addr=0: GCC 12's runtime records the dynamic thread-local blocks that
# __tls_get_addr returns, and with Debian 12's glibc some records are no addresses (the
# crash reads 0x12a8): the leak check then dies in its tracer thread at exit ("Tracer caught
# signal 11" in ScanRangeForPointers, as the environment's size happens to be). Not
# recording them leaves those blocks out of the roots, which can only add leak reports,
# never hide one.
export ASAN_OPTIONS="log_path=$reports/asan:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:intercept_tls_get_addr=0 ${ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0 ${LSAN_OPTIONS:-}"
export UBSAN_OPTIONS="log_path=$reports/ubsan:halt_on_error=1:print_stacktrace=1:suppressions=$supp/ubsan.supp ${UBSAN_OPTIONS:-}"

status=0
preset_ctest "$root" debug-asan "$root/build-asan" "$build" -j"$(nproc)" || status=$?
# g++'s UndefinedBehaviorSanitizer writes to standard error whatever log_path says, and stops
# the process; the tests' whole output is searched too, for the program's forwarded reports.
if grep -n "runtime error:\|ERROR: AddressSanitizer\|ERROR: LeakSanitizer" \
    "$build/Testing/Temporary/LastTest.log"; then
    status=1
fi
if compgen -G "$reports/*" >/dev/null; then
    for report in "$reports"/*; do
        echo "=== $report"
        cat "$report"
    done
    echo "sanitizer reports: $(find "$reports" -type f | wc -l) (in $reports)"
    status=1
fi
exit "$status"
