#!/usr/bin/env bash
# Quick checks of the source tree, run first by tools/test.sh; no build needed.
#   check.sh [format] [includes]   the checks named (default: both)
#
#   format    every C++ source and header of app/ imaging/ platform/ tests/ bench/ is
#             formatted as .clang-format says (clang-format 14, --dry-run --Werror)
#   includes  every include of the repository's own files follows the table of
#             tools/include-rules.txt (which folder may include which) and the CMake links
#             of the including file's target; every Qt header is of a Qt module the
#             target links (tools/lib/include-rules.awk reads the CMakeLists, no build)
#
# Each failure names the file and the command that mends it; any failure fails the run.
# $CLANG_FORMAT names another clang-format binary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folders=(app imaging platform tests bench)

checks=("$@")
[ ${#checks[@]} -gt 0 ] || checks=(format includes)

sources() {
    (cd "$root" && find "${folders[@]}" -type f \( -name '*.cpp' -o -name '*.h' \) | LC_ALL=C sort)
}

check_format() {
    local clang_format=${CLANG_FORMAT:-}
    if [ -z "$clang_format" ]; then
        clang_format=$(command -v clang-format-14 || command -v clang-format || true)
    fi
    if [ -z "$clang_format" ]; then
        echo "check format: clang-format not found; run tools/install-deps.sh" >&2
        return 1
    fi
    # In parallel batches; clang-format names each file that differs in its diagnostics.
    local output drift status=0
    output=$(cd "$root" && sources | xargs -P "$(nproc)" -n 40 \
        "$clang_format" --style=file --dry-run --Werror 2>&1) || status=$?
    drift=$(grep -E '^[^ :]+:[0-9]+:[0-9]+: error: code should be clang-formatted' <<<"$output" |
        cut -d: -f1 | LC_ALL=C sort -u || true)
    if [ "$status" -ne 0 ] && [ -z "$drift" ]; then
        echo "$output" >&2
        echo "check format: $clang_format failed" >&2
        return 1
    fi
    if [ -n "$drift" ]; then
        local file
        while IFS= read -r file; do
            echo "check format: $file is not formatted as .clang-format says;" \
                "run: clang-format -i $file" >&2
        done <<<"$drift"
        echo "check format: $(wc -l <<<"$drift") file(s) to format" \
            "(see the differences with: clang-format --dry-run FILE)" >&2
        return 1
    fi
    echo "check format: $(sources | wc -l) files formatted"
}

check_includes() {
    local qt_headers module
    qt_headers=$(qtpaths6 --query QT_INSTALL_HEADERS 2>/dev/null || true)
    if [ ! -d "$qt_headers/QtCore" ]; then
        echo "check includes: Qt's headers not found (qtpaths6); run tools/install-deps.sh" >&2
        return 1
    fi
    local work
    work=$(mktemp -d)
    # shellcheck disable=SC2064
    trap "rm -rf '$work'" RETURN
    # Every Qt header by its module, QtCore first, so that a name in two modules is the lower's.
    for module in QtCore QtGui QtWidgets QtPrintSupport QtTest $(cd "$qt_headers" && ls -d Qt*); do
        [ -d "$qt_headers/$module" ] || continue
        (cd "$qt_headers/$module" && ls) | sed "s|^|$module |"
    done >"$work/qt-headers"
    (cd "$root" && find "${folders[@]}" -name CMakeLists.txt | LC_ALL=C sort) >"$work/cmakelists"
    # One "FILE:LINE" per include, checked against the table and the CMake links.
    (cd "$root" && sources | xargs grep -H -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' |
        awk -v rules="$root/tools/include-rules.txt" -v roots="${folders[*]}" \
            -v cmakelists="$work/cmakelists" -v qtheaders="$work/qt-headers" \
            -f "$root/tools/lib/include-rules.awk")
}

status=0
for check in "${checks[@]}"; do
    case $check in
    format) check_format || status=1 ;;
    includes) check_includes || status=1 ;;
    *)
        echo "usage: $0 [format] [includes]" >&2
        exit 2
        ;;
    esac
done
if [ "$status" -ne 0 ]; then
    echo "tools/check.sh failed: mend what is named above" >&2
fi
exit "$status"
