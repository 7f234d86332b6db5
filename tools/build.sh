#!/usr/bin/env bash
# Configures and builds the project into build/ (or $CUVORA_BUILD_DIR).
#   build.sh [-DOPTION=VALUE ...] [TARGET ...]
# Arguments that begin with "-" go to the configure step; the others name the targets to
# build (all of them when none is named). $CUVORA_BUILD_JOBS sets the parallel jobs
# (default: the number of processors).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CUVORA_BUILD_DIR:-$root/build}
options=()
targets=()
for argument in "$@"; do
    case $argument in
    -*) options+=("$argument") ;;
    *) targets+=(--target "$argument") ;;
    esac
done
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$build" -j"${CUVORA_BUILD_JOBS:-$(nproc)}" "${targets[@]}"
