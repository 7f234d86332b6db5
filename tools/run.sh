#!/usr/bin/env bash
# Installs what is needed, builds, prepares the data folder with its two databases
# (when they are missing) and starts the program on its embedded default.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CUVORA_BUILD_DIR:-$root/build}

"$root/tools/install-deps.sh"
CUVORA_BUILD_DIR=$build "$root/tools/build.sh"

export TOBRASK_BARES_DIR=${TOBRASK_BARES_DIR:-/var/lib/tobrask/bares}
"$root/tools/prepare-data.sh" "$TOBRASK_BARES_DIR"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
fi
exec "$build/app/interface-cuvora" "$@"
