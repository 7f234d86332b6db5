#!/usr/bin/env bash
# Configures the project with the "release" preset (CMakePresets.json) into build/ (or
# $CUVORA_BUILD_DIR) and builds it.
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
cmake -S "$root" --preset release -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j"${CUVORA_BUILD_JOBS:-$(nproc)}" "${targets[@]}"
