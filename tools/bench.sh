#!/usr/bin/env bash
# The polling cycle benchmark: installs what is needed, builds it into build-bench/ (or
# $CUVORA_BENCH_BUILD_DIR; $CUVORA_BUILD_JOBS parallel jobs), starts a private Firebird
# server on a free loopback port, runs the benchmark against it and against the embedded
# engine, and stops the server by its pid. Ends with one name=value line per figure.
#   tools/bench.sh [--sizes TxWxK,...] [--idle-cycles N] [--plain no]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${CUVORA_BENCH_BUILD_DIR:-$root/build-bench}")

"$root/tools/install-deps.sh"
# A build folder of its own (the bench preset: the release build with the benchmarks), so
# that build/ stays as tools/build.sh makes it.
cmake -S "$root" --preset bench -B "$build" >/dev/null
cmake --build "$build" -j"${CUVORA_BUILD_JOBS:-$(nproc)}" --target polling_cycle_bench >/dev/null

services=$build/bench-services
mkdir -p "$services"
trap '"$root/tools/firebird-server.sh" stop "$services/firebird" || true' EXIT

port=${CUVORA_BENCH_FB_PORT:-$("$root/tools/free-port.sh" 3250)}
"$root/tools/firebird-server.sh" start "$services/firebird" "$port" >/dev/null

QT_QPA_PLATFORM=offscreen CUVORA_SOURCE_DIR=$root \
    "$build/bench/polling_cycle_bench" --server "127.0.0.1/$port" "$@"
