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
export ASAN_OPTIONS="log_path=$reports/asan:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 ${ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0 ${LSAN_OPTIONS:-}"
export UBSAN_OPTIONS="log_path=$reports/ubsan:halt_on_error=1:print_stacktrace=1:suppressions=$supp/ubsan.supp ${UBSAN_OPTIONS:-}"

# The leak check's own tracer thread now and then dies at a process's exit (GCC 12's
# LeakSanitizer, "Tracer caught signal 11") while another thread of the process is ending:
# a crash of the checker, not a finding. When every report is such a crash, the failed tests
# run once more and their second run counts; the crash reports are kept beside.
tracer_crash_only() {
    local report
    for report in "$reports"/*; do
        grep -q "Tracer caught signal" "$report" || return 1
        grep -q "ERROR: AddressSanitizer\|ERROR: LeakSanitizer\|runtime error:" "$report" && return 1
    done
    return 0
}

# g++'s UndefinedBehaviorSanitizer writes to standard error whatever log_path says, and stops
# the process; the tests' whole output is searched too, for the program's forwarded reports.
findings_in_output() {
    grep -n "runtime error:\|ERROR: AddressSanitizer\|ERROR: LeakSanitizer" \
        "$build/Testing/Temporary/LastTest.log"
}

status=0
preset_ctest "$root" debug-asan "$root/build-asan" "$build" -j"$(nproc)" || status=$?
if findings_in_output; then
    status=1
elif [ "$status" -ne 0 ] && compgen -G "$reports/*" >/dev/null && tracer_crash_only; then
    crashes=$build/sanitizer-tracer-crashes
    rm -rf "$crashes"
    mv "$reports" "$crashes"
    mkdir -p "$reports"
    echo "the leak check's tracer crashed (reports in $crashes); the failed tests run again"
    status=0
    preset_ctest "$root" debug-asan "$root/build-asan" "$build" --rerun-failed || status=$?
    findings_in_output && status=1
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
