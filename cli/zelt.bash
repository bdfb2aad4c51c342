# bash completion for zelt: its commands, each command's options, the
# setting names of "zelt set", and the ports "zelt ports" lists.

_zelt_ports()
{
    # The COM names and devices of the serial ports, and "auto".
    echo auto
    "${1:-zelt}" ports 2>/dev/null | while read -r com device _; do
        case $com in
            COM[0-9]*) echo "$com"; [[ $device == /* ]] && echo "$device" ;;
        esac
    done
}

_zelt()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local program=${COMP_WORDS[0]}
    local commands="ports info download capture set firmware monitor simulate"
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "$commands --help" -- "$cur"))
        return 0
    fi
    local command=${COMP_WORDS[1]}
    [[ $command == simulate ]] && return 0

    # NAME=VALUE and --opt=value: bash may split the word at "=" (as it
    # does by default) or hand it whole; the value is completed either way.
    local key="" prefix=""
    if [[ $cur == = ]]; then
        key=$prev cur=""
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        key=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == *=* ]]; then
        key=${cur%%=*} cur=${cur#*=} prefix="$key="
    elif [[ $prev == -* ]]; then
        key=$prev
    fi
    case $key in
        --port)
            COMPREPLY=($(compgen -P "$prefix" -W "$(_zelt_ports "$program")" -- "$cur"))
            return 0 ;;
        -o | --output | --image)
            COMPREPLY=($(compgen -P "$prefix" -f -- "$cur"))
            return 0 ;;
        --variant)
            COMPREPLY=($(compgen -P "$prefix" -W "D C G star" -- "$cur"))
            return 0 ;;
        --seconds | --timeout)
            return 0 ;;
        start)
            [[ $command == set ]] && COMPREPLY=($(compgen -P "$prefix" -W "now sleep start" -- "$cur"))
            return 0 ;;
        clock)
            [[ $command == set ]] && COMPREPLY=($(compgen -P "$prefix" -W "now" -- "$cur"))
            return 0 ;;
        ?*)
            [[ $key != -* ]] && return 0 ;;
    esac

    local options="--help"
    case $command in
        ports) options+=" --json" ;;
        info) options+=" --port --generic --json --timeout" ;;
        download) options+=" --port --generic -o --output --variant --allow-short --timeout -q --quiet" ;;
        capture) options+=" --port --generic --seconds -o --output --timeout -q --quiet" ;;
        set) options+=" --port --generic --timeout" ;;
        firmware) options+=" --port --generic --image --timeout -q --quiet" ;;
        monitor) options+=" --port --generic --timeout" ;;
        *) return 0 ;;
    esac
    if [[ $command == set && $cur != -* ]]; then
        COMPREPLY=($(compgen -W "interval= sampling= threshold= range= id= wait= start= clock=" -- "$cur"))
        compopt -o nospace 2>/dev/null
        return 0
    fi
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return 0
}

complete -F _zelt zelt
