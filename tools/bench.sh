#!/usr/bin/env bash
# The polling cycle benchmark: installs what is needed, builds it, starts a private Firebird
# server on a free loopback port, runs the benchmark against it and against the embedded
# engine, and stops the server by its pid. Ends with one name=value line per figure.
#   tools/bench.sh [--sizes TxWxK,...] [--idle-cycles N] [--plain no]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CUVORA_BUILD_DIR:-$root/build}

"$root/tools/install-deps.sh"
# The build folder of tools/build.sh, with the benchmarks switched on.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCUVORA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target polling_cycle_bench >/dev/null

services=$build/bench-services
mkdir -p "$services"
trap '"$root/tools/firebird-server.sh" stop "$services/firebird" || true' EXIT

port=${CUVORA_BENCH_FB_PORT:-$("$root/tools/free-port.sh" 3250)}
"$root/tools/firebird-server.sh" start "$services/firebird" "$port" >/dev/null

QT_QPA_PLATFORM=offscreen CUVORA_SOURCE_DIR=$root \
    "$build/bench/polling_cycle_bench" --server "127.0.0.1/$port" "$@"
