#!/usr/bin/env bash
# completion.sh COMPLETION_FILE KELVRA_ASCII KELVRA_CHAMBER
# Sources the bash completion and completes lines as bash would on Tab (word breaks as in an
# interactive shell): options, the values an option names, port names, faults and files; and
# every option that a program's --help lists is offered after "--".
set -uo pipefail
export LC_ALL=C # one order of sorting
# shellcheck source=../../data/completion.bash
source "$1"
ascii=$2 chamber=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/log.csv" "$work/line"
mkdir "$work/logs"
COMP_WORDBREAKS=$' \t\n"\'><=;|&(:'
failures=0 checks=0

# The completions of a line with the cursor at its end, sorted, on one line.
complete_line() {
    COMP_LINE=$1
    COMP_POINT=${#1}
    COMPREPLY=()
    _kelvra_complete
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}

rows=(
    # line typed | completions offered
    "$ascii --la|--lang"
    "$ascii --lang |de en"
    "$ascii --lang=e|en"
    "$ascii --mode |0 1 2"
    "$ascii --send A0 --tr|--trace"
    "$ascii --address |"
    "$ascii --port com1|com1 com10 com11 com12 com13 com14 com15 com16 com17 com18 com19"
    "$ascii --map com2|com20= com2="
    "$ascii --map com2=$work/l|$work/line $work/log.csv $work/logs"
    "$ascii --map=com2=$work/log.|$work/log.csv"
    "$ascii --log $work/log|$work/log.csv $work/logs"
    "$ascii --log=$work/line|$work/line"
    "$chamber --fa|--fault --fault-every"
    "$chamber --fault bad|bad-checksum bad-then-good"
    "$chamber --fault-every |"
    "$chamber --device $work/li|$work/line"
    "$chamber --link $work/logs|$work/logs"
)
for row in "${rows[@]}"; do
    line=${row%%|*} expected=${row#*|}
    checks=$((checks + 1))
    got=$(complete_line "$line")
    if [ "$got" != "$expected" ]; then
        failures=$((failures + 1))
        printf 'FAIL: "%s"\n  expected: %s\n  got:      %s\n' "$line" "$expected" "$got" >&2
    fi
done

# After "--", each option that --help lists, and only those.
for program in "$ascii" "$chamber"; do
    checks=$((checks + 1))
    listed=$("$program" --help | grep -oE '^  --[a-z0-9][a-z0-9-]*' | tr -d ' ' | sort -u | paste -sd ' ')

    got=$(complete_line "$program --")
    if [ "$got" != "$listed" ]; then
        failures=$((failures + 1))
        printf 'FAIL: options of %s\n  --help:    %s\n  completed: %s\n' "$program" "$listed" "$got" >&2
    fi
done

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
