#!/usr/bin/env bash
# Fails when a product file includes a header of a higher floor, of the other
# face, or (in the engine floors) a Qt header. The floors, bottom to top:
#   format < state < analysis < convert < import < app < {window, cli}
# A floor may include its own headers and those of the floors below it.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$root"

rank() {
    case $1 in
    format) echo 0 ;; state) echo 1 ;; analysis) echo 2 ;; convert) echo 3 ;; import) echo 4 ;; app) echo 5 ;;
    window | cli) echo 6 ;;
    *) echo -1 ;;
    esac
}

status=0
for floor in format state analysis convert import app window cli; do
    own=$(rank "$floor")
    while IFS= read -r file; do
        while IFS= read -r include; do
            target=${include%%/*}
            theirs=$(rank "$target")
            [[ $theirs -lt 0 ]] && continue
            if [[ $target != "$floor" && $theirs -ge $own ]]; then
                echo "$file includes \"$include\": $floor may only use the floors below it" >&2
                status=1
            fi
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
        if [[ $own -le 5 ]] && grep -Eq '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file"; then
            echo "$file includes a Qt header: the engine floors never use Qt" >&2
            status=1
        fi
    done < <(find "$floor" -type f \( -name '*.hpp' -o -name '*.cpp' \) | sort)
done
if [[ $status -eq 0 ]]; then
    echo "floors: every include runs downwards"
fi
exit $status
