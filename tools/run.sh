#!/usr/bin/env bash
# Installs what is needed, builds, prepares the data folder with its two databases
# (when they are missing) and starts the program on its embedded default.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CUVORA_BUILD_DIR:-$root/build}

"$root/tools/install-deps.sh"
# The program and the maker's library beside it: no tests, no benchmarks.
CUVORA_BUILD_DIR=$build "$root/tools/build.sh" interface-cuvora QibClientServ

export TOBRASK_BARES_DIR=${TOBRASK_BARES_DIR:-/var/lib/tobrask/bares}
"$root/tools/prepare-data.sh" "$TOBRASK_BARES_DIR"

# The maker's library answers from this file: no database server ("nil") and a sample
# establishment name, "Restaurante Exemplo" in the text codec's encoded form.
ini=$TOBRASK_BARES_DIR/QibClientServ.ini
if ! find "$TOBRASK_BARES_DIR" -maxdepth 1 -iname QibClientServ.ini | grep -q .; then
    printf 'nil\r\nC928BD034195389BC4074B8294EE5488CD0A4687\r\n' >"$ini"
fi

exec "$build/app/interface-cuvora" "$@"
