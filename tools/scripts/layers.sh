#!/usr/bin/env bash
# The source folders are floors: a folder may include its own headers and
# those of the floors below it, never those above. Prints the include graph
# between folders (how many includes go from each folder to each other one)
# and exits 1, naming each offending line, when an include goes up or a
# folder is on no floor.
#   tools/scripts/layers.sh [SRC_DIR]
set -uo pipefail
src=${1:-"$(dirname "$0")/../../src"}

# Lowest first. audio and script stand side by side in fact; neither includes
# the other.
floors=(util script audio world npc player hud app)
declare -A floor
for i in "${!floors[@]}"; do floor[${floors[$i]}]=$i; done
# The setup program is built on its own and includes none of the game.
floor[setup]=-1

status=0
for dir in "$src"/*/; do
    from=$(basename "$dir")
    if [ -z "${floor[$from]+set}" ]; then
        echo "layers: src/$from is on no floor; add it to the list in $0" >&2
        status=1
        continue
    fi
    declare -A edges=()
    while IFS=: read -r file line text; do
        to=${text#*\"}
        to=${to%%/*}
        [ "$to" = "$from" ] && continue
        edges[$to]=$((${edges[$to]:-0} + 1))
        if [ -z "${floor[$to]+set}" ] || [ "${floor[$from]}" -lt 0 ] || [ "${floor[$to]}" -gt "${floor[$from]}" ]; then
            echo "layers: ${file#"$src"/}:$line includes a floor above it: $text" >&2
            status=1
        fi
    done < <(grep -nH '^#include "[a-z_]*/' "$dir"*.h "$dir"*.cpp 2>/dev/null)
    line="$from ->"
    for to in "${floors[@]}"; do
        [ -n "${edges[$to]+set}" ] && line+=" $to(${edges[$to]})"
    done
    echo "$line"
    unset edges
done
exit $status
