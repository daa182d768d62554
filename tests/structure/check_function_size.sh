#!/usr/bin/env bash
# Fails when a product function is longer than 60 lines or has a cyclomatic
# complexity above 20, as pmccabe measures them. pmccabe does not know
# `noexcept` or attributes (`[[...]]`): they are taken out of a copy of each
# file first, and a file pmccabe still cannot read whole fails the check, so
# that no function goes unmeasured. Exits 77 (skipped) without pmccabe.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
most_lines=60
most_complexity=20
command -v pmccabe >/dev/null || { echo "pmccabe is not installed: function sizes not checked"; exit 77; }
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cd "$root"
status=0
while IFS= read -r file; do
    mkdir -p "$copy/$(dirname "$file")"
    sed -E 's/\bnoexcept(\([^)]*\))?//g; s/\[\[[^]]*\]\]//g' "$file" >"$copy/$file"
    if (cd "$copy" && pmccabe "$file" 2>&1 >/dev/null) | grep -Eq 'expected|EOF'; then
        echo "$file: pmccabe cannot read it whole" >&2
        status=1
    fi
    while read -r modified traditional _ _ lines where; do
        if ((modified > most_complexity || traditional > most_complexity || lines > most_lines)); then
            echo "$where: $lines lines, complexity $traditional (at most $most_lines and $most_complexity)" >&2
            status=1
        fi
    done < <(cd "$copy" && pmccabe "$file" 2>/dev/null)
done < <(find format state analysis convert import app cli window -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.inc' \) | sort)
if [[ $status -eq 0 ]]; then
    echo "functions: none longer than $most_lines lines or more complex than $most_complexity"
fi
exit $status
