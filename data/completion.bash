# Bash completion for kelvra-ascii and kelvra-chamber, installed under both names.
# The options and what each one takes come from the program's own --help, so the completion
# follows the program it completes: "--lang de|en" offers de and en, "--mode 0|1|2" the modes,
# FILE, PATH and DEVICE file names, comN the port names and comN=DEVICE (--map) a port name,
# then the system's serial ports or a file; --fault NAME the faults that --help lists. The port
# names and serial ports come from "kelvra-ascii --list-ports", asked at each completion.

# The help of a program, asked once per shell.
declare -gA _kelvra_help_of
_kelvra_help() {
    local program=$1
    if [[ -z ${_kelvra_help_of[$program]+set} ]]; then
        _kelvra_help_of[$program]=$(LC_ALL=C "$program" --help 2>/dev/null)
    fi
    printf '%s\n' "${_kelvra_help_of[$program]}"
}

# Lines "--name" or "--name VALUE" for each option the help describes.
_kelvra_options() {
    local line pattern='^  (--[a-z0-9][a-z0-9-]*)( [^ ]+)?(  |$)'
    while IFS= read -r line; do
        [[ $line =~ $pattern ]] && printf '%s%s\n' "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
    done < <(_kelvra_help "$1")
}

# The names in the help's table of faults: "<24 blanks>name<2 or more blanks>what it does".
_kelvra_faults() {
    local line pattern='^ {24}([a-z][a-z-]*)  '
    while IFS= read -r line; do
        [[ $line =~ $pattern ]] && printf '%s\n' "${BASH_REMATCH[1]}"
    done < <(_kelvra_help "$1")
}

# From "kelvra-ascii --list-ports": "names" (com1..com20) or "devices" (the system's ports).
_kelvra_ports() {
    local program=$1 want=$2 line section=devices
    while IFS= read -r line; do
        case $line in
        "Port names and the devices they open:") section=names ;;
        "") [[ $section == names ]] && return ;;
        *)
            read -r line _ <<<"$line"
            if [[ $want == "$section" && ( $line == com* || $line == /* ) ]]; then
                printf '%s\n' "$line"
            fi
            ;;
        esac
    done < <(LC_ALL=C "$program" --list-ports 2>/dev/null)
}

# The values an option's placeholder stands for that begin with cur, one a line; "FILES" for
# file names.
_kelvra_values() {
    local program=$1 placeholder=$2 cur=$3
    case $placeholder in
    *'|'*) tr '|' '\n' <<<"$placeholder" ;;
    comN) _kelvra_ports "$program" names ;;
    comN=*)
        local port
        if [[ $cur == *=* ]]; then
            while IFS= read -r port; do
                printf '%s=%s\n' "${cur%%=*}" "$port"
            done < <(_kelvra_ports "$program" devices)
            echo FILES
        else
            while IFS= read -r port; do
                printf '%s=\n' "$port"
            done < <(_kelvra_ports "$program" names)
        fi
        ;;
    FILE | PATH | DEVICE) echo FILES ;;
    NAME) _kelvra_faults "$program" ;;
    esac
}

_kelvra_complete() {
    # the words as typed, "=" inside them kept: bash itself splits at "="
    local line=${COMP_LINE:0:COMP_POINT}
    local -a words
    read -ra words <<<"$line"
    [[ -z $line || $line == *[[:space:]] ]] && words+=("")
    local program=${words[0]/#\~/$HOME} cur=${words[-1]} prev=
    ((${#words[@]} > 2)) && prev=${words[-2]}

    local option='' value=$cur entry
    if [[ $cur == --*=* ]]; then
        option=${cur%%=*}
        value=${cur#*=}
    elif [[ $prev == --* ]]; then
        option=$prev
    fi
    local -a options=() candidates=() matches=()
    mapfile -t options < <(_kelvra_options "$program")
    local placeholder=
    if [[ -n $option ]]; then
        for entry in "${options[@]}"; do
            [[ $entry == "$option "* ]] && placeholder=${entry#* }
        done
    fi
    local files=0
    if [[ -n $placeholder ]]; then
        mapfile -t candidates < <(_kelvra_values "$program" "$placeholder" "$value")
        local prefix=${cur%"$value"} candidate
        for candidate in "${candidates[@]}"; do
            if [[ $candidate == FILES ]]; then
                files=1
                local path typed=${value#*=}
                while IFS= read -r path; do
                    [[ -n $path ]] && matches+=("$prefix${value%"$typed"}$path")
                done < <(compgen -f -- "$typed")
            elif [[ $candidate == "$value"* ]]; then
                matches+=("$prefix$candidate")
            fi
        done
    elif [[ -z $option || -z $cur || $cur == -* ]]; then
        for entry in "${options[@]}"; do
            [[ ${entry%% *} == "$cur"* ]] && matches+=("${entry%% *}")
        done
    fi

    # bash replaces only what follows the last word-break character (such as "=") of the word
    local i strip=0 match
    for ((i = 0; i < ${#cur}; i++)); do
        [[ $COMP_WORDBREAKS == *"${cur:i:1}"* ]] && strip=$((i + 1))
    done
    COMPREPLY=()
    for match in "${matches[@]}"; do
        COMPREPLY+=("${match:strip}")
    done
    # file names: a folder gets its "/" and no space; "com1=" waits for its device
    ((files)) && compopt -o filenames 2>/dev/null
    [[ ${#COMPREPLY[@]} -gt 0 && ${COMPREPLY[-1]} == *= ]] && compopt -o nospace 2>/dev/null
    return 0
}

complete -F _kelvra_complete kelvra-ascii kelvra-chamber
