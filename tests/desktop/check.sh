# Sourced by the desktop area's shell tests: check counts and reports, checks_summary ends.
failures=0 checks=0

check() { # check DESCRIPTION COMMAND...: runs the command, counts and reports a failure
    local what=$1
    shift
    checks=$((checks + 1))
    local output
    if ! output=$("$@" 2>&1); then
        failures=$((failures + 1))
        printf 'FAIL: %s\n%s\n' "$what" "$output" >&2
    fi
}

checks_summary() { # prints the counts; fails when a check failed
    echo "$((checks - failures)) passed, $failures failed"
    [ "$failures" -eq 0 ]
}
