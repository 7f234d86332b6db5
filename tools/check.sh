#!/usr/bin/env bash
# Quick checks of the source tree, run first by tools/test.sh; no build needed.
#   check.sh [format] [includes]   the checks named (default: both)
#
#   format    every C++ source and header of app/ imaging/ platform/ tests/ bench/ is
#             formatted as .clang-format says (clang-format 14, --dry-run --Werror)
#   includes  every include of the repository's own files follows the table of
#             tools/include-rules.txt (which folder may include which)
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
    # The rules, then one "FILE<TAB>INCLUDED" line per include of a repository file (quoted
    # includes relative to the including file's folder are made whole first).
    (cd "$root" && sources | xargs grep -H -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' |
        awk -v rules="$root/tools/include-rules.txt" -v roots="${folders[*]}" '
        function module_of(path,    best, m) {
            best = ""
            for (m in allowed)
                if ((path == m || index(path, m "/") == 1) && length(m) > length(best))
                    best = m
            return best
        }
        function normalize(path,    n, parts, out, i, k) {
            n = split(path, parts, "/")
            k = 0
            for (i = 1; i <= n; i++) {
                if (parts[i] == "." || parts[i] == "")
                    continue
                if (parts[i] == ".." && k > 0) {
                    k--
                    continue
                }
                out[++k] = parts[i]
            }
            path = ""
            for (i = 1; i <= k; i++)
                path = path (i > 1 ? "/" : "") out[i]
            return path
        }
        BEGIN {
            while ((getline line < rules) > 0) {
                sub(/#.*/, "", line)
                n = split(line, words, /[ \t]+/)
                first = words[1] == "" ? 2 : 1
                if (n < first)
                    continue
                folder = words[first]
                allowed[folder] = " "
                for (i = first + 1; i <= n; i++)
                    if (words[i] != "-" && words[i] != "")
                        allowed[folder] = allowed[folder] words[i] " "
            }
            split(roots, rootList, " ")
            bad = 0
        }
        {
            colon = index($0, ":")
            file = substr($0, 1, colon - 1)
            text = substr($0, colon + 1)
            if (!match(text, /include[[:space:]]*["<][^">]+[">]/))
                next
            target = substr(text, RSTART, RLENGTH)
            sub(/^include[[:space:]]*["<]/, "", target)
            sub(/[">]$/, "", target)
            fromRoot = 0
            for (r in rootList)
                if (index(target, rootList[r] "/") == 1)
                    fromRoot = 1
            if (!fromRoot) {
                # <QString> and the like are not ours; "Name.h" lies beside the file.
                if (text ~ /include[[:space:]]*</)
                    next
                dir = file
                sub(/\/[^\/]*$/, "", dir)
                target = normalize(dir "/" target)
            }
            from = module_of(file)
            to = module_of(target)
            if (from == "") {
                printf "check includes: %s lies in no folder of tools/include-rules.txt; add its folder there\n", file > "/dev/stderr"
                bad++
                next
            }
            if (to == from)
                next
            if (to == "" || index(allowed[from], " " to " ") == 0) {
                printf "check includes: %s includes %s: %s may not include %s (tools/include-rules.txt); include only what %s may, or change the design there and in CMake\n", file, target, from, (to == "" ? target : to), from > "/dev/stderr"
                bad++
            }
            count++
        }
        END {
            if (bad) {
                printf "check includes: %d include(s) against tools/include-rules.txt\n", bad > "/dev/stderr"
                exit 1
            }
            printf "check includes: %d includes between folders follow tools/include-rules.txt\n", count
        }')
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
