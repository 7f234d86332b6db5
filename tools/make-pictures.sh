#!/usr/bin/env bash
# Rebuilds the main window's pictures in app/resources/ from tools/make-pictures/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2046
g++ -std=c++20 -O1 -Wall -Wextra -fPIC -o "$work/make-pictures" \
    "$root/tools/make-pictures/make-pictures.cpp" $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/make-pictures" "$root/app/resources"
