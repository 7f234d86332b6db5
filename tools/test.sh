#!/usr/bin/env bash
# Installs what is needed, checks the source tree (tools/check.sh), builds, starts the
# services the tests use, runs the whole test suite and stops the services again, also when
# tests fail.
#   test.sh           everything: also the sanitizer builds and the fuzzing
#   test.sh --quick   the checks and the release suite only
set -euo pipefail
quick=false
case "${1:-}" in
--quick) quick=true ;;
"") ;;
*)
    echo "use: tools/test.sh [--quick]" >&2
    exit 2
    ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/lib/preset-ctest.sh
source "$root/tools/lib/preset-ctest.sh"
build=$(realpath -m "${CUVORA_BUILD_DIR:-$root/build}")

"$root/tools/install-deps.sh"
# The source checks first; a failure fails the run at its end, after the tests have run.
check_status=0
"$root/tools/check.sh" || check_status=$?
CUVORA_BUILD_DIR=$build "$root/tools/build.sh"

services=$build/test-services
mkdir -p "$services"

stop_services() {
    "$root/tools/firebird-server.sh" stop "$services/firebird" || true
    "$root/tools/cups-server.sh" stop "$services/cups" || true
}
trap stop_services EXIT

fb_port=$("$root/tools/free-port.sh" 3150)
"$root/tools/firebird-server.sh" start "$services/firebird" "$fb_port" >/dev/null
export CUVORA_TEST_FB_SERVER="127.0.0.1/$fb_port"

# Printing tests: a private cupsd whose queues "PDF" (default) and "Cozinha" keep each job
# as a PDF under $CUVORA_TEST_PDF_DIR/<queue>; it needs no mount namespace (a chroot or a
# container will do).
cups_port=$("$root/tools/free-port.sh" 6310)
"$root/tools/cups-server.sh" start "$services/cups" "$cups_port" >/dev/null
export CUPS_SERVER="127.0.0.1:$cups_port"
export CUVORA_TEST_PDF_DIR="$services/cups/pdf"

# The separate builds first, so that the whole suite's summary closes the output: the
# threading suite under ThreadSanitizer, the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer (against the same services), and the fuzz targets (clang). A
# failure of any of them still fails the run.
sanitizer_status=0
if ! $quick; then
    "$root/tools/tsan.sh" || sanitizer_status=$?
    "$root/tools/asan.sh" || sanitizer_status=$?
    "$root/tools/fuzz.sh" || sanitizer_status=$?
fi

preset_ctest "$root" release "$root/build" "$build" -j"$(nproc)"
if [ "$check_status" -ne 0 ]; then
    echo "tools/check.sh failed (see the start of this output); run it to see what to mend" >&2
    exit "$check_status"
fi
exit "$sanitizer_status"
