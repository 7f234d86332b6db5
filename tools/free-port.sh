#!/usr/bin/env bash
# Prints the first loopback port from START up (200 tried) on which nothing listens.
#   free-port.sh START
set -euo pipefail
for port in $(seq "$1" "$(($1 + 200))"); do
    (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; exit 0; }
done
echo "no free port from $1 to $(($1 + 200))" >&2
exit 1
