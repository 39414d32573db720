#!/usr/bin/env bash
# completion.sh COMPLETION_FILE KELVRA_ASCII KELVRA_CHAMBER
# Sources the bash completion and completes lines as an interactive bash would on Tab (its word
# breaks): options, the values an option names, port names, faults and files; and after "--"
# every option that a program's --help lists.
set -uo pipefail
export LC_ALL=C # one order of sorting
# shellcheck source=data/completion.bash
source "$1"
# shellcheck source=tests/desktop/check.sh
source "$(dirname "$0")/check.sh"
ascii=$2 chamber=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/log.csv" "$work/line"
COMP_WORDBREAKS=$' \t\n"\'><=;|&(:'

completes_to() { # completes_to LINE EXPECTED: the completions, sorted, are EXPECTED
    COMP_LINE=$1 COMP_POINT=${#1} COMPREPLY=()
    _kelvra_complete
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' ')
    [ "$got" = "$2" ] || { echo "got: $got"; return 1; }
}

rows=( # line typed | completions offered
    "$ascii --lan|--lang" "$ascii --la|--lab --lang" "$ascii --lang |de en" "$ascii --lang=e|en"
    "$ascii --mode |0 1 2"
    "$ascii --address |" "$ascii --port com2|com2 com20" "$ascii --map com2|com20= com2="
    "$ascii --map com2=$work/l|$work/line $work/log.csv" "$ascii --log $work/lo|$work/log.csv"
    "$chamber --fa|--fault --fault-every" "$chamber --fault bad|bad-checksum bad-then-good"
    "$chamber --device $work/li|$work/line"
)
for row in "${rows[@]}"; do
    check "\"${row%%|*}\" completes to \"${row#*|}\"" completes_to "${row%%|*}" "${row#*|}"
done
for program in "$ascii" "$chamber"; do
    listed=$("$program" --help | grep -oE '^  --[a-z0-9-]+' | tr -d ' ' | sort -u | paste -sd ' ')
    check "$program -- completes to every option of --help" completes_to "$program --" "$listed"
done
checks_summary
