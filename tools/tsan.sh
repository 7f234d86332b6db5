#!/usr/bin/env bash
# Builds the threading tests with ThreadSanitizer (the tsan presets of CMakePresets.json)
# into build-tsan/ (or $CUVORA_TSAN_BUILD_DIR; $CUVORA_BUILD_JOBS parallel jobs) and runs
# them; any report fails the run. Measured here: about 90 s to build from scratch
# on 8 cores, a few seconds to run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/preset-ctest.sh
source "$root/tools/preset-ctest.sh"
build=$(realpath -m "${CUVORA_TSAN_BUILD_DIR:-$root/build-tsan}")
targets=(
    platform_threading_ThreadPoolTest
    platform_threading_MainThreadTest
    platform_threading_SystemInfoTest
    imaging_qkThreadingTest
    app_db_CallWatchdogTest
)
cmake -S "$root" --preset tsan -B "$build" >/dev/null
cmake --build "$build" -j"${CUVORA_BUILD_JOBS:-$(nproc)}" --target "${targets[@]}"
regex=$(IFS='|'; echo "^(${targets[*]})\$")
# As the test preset does: a report stops the test.
export TSAN_OPTIONS="halt_on_error=1 ${TSAN_OPTIONS:-}"
preset_ctest "$root" tsan "$root/build-tsan" "$build" -R "$regex"
