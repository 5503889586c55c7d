# bash completion for telmorax                                    -*- shell-script -*-
# The options as `telmorax --help` lists them, the values of --color, --window, --for and --database, files for
# --password-file and --log, and for --group the groups of the saved servers, which
# `telmorax --list` prints (address, group and label, separated by tabs).

_telmorax()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --send | --wait | -h | --help | -v | --version | --lookup | --since | --ban | --reason)
            return
            ;;
        --password-file | --log)
            _filedir
            return
            ;;
        --color | --colour)
            COMPREPLY=($(compgen -W 'auto always never' -- "$cur"))
            return
            ;;
        --for)
            COMPREPLY=($(compgen -W 'permanent 1h 1d 1w 30d' -- "$cur"))
            return
            ;;
        --window)
            COMPREPLY=($(compgen -W 'servers players' -- "$cur"))
            return
            ;;
        --database)
            # The local file, or the start of a team database's URL.
            COMPREPLY=($(compgen -W 'local postgresql://' -- "$cur"))
            [[ ${COMPREPLY-} == *// ]] && compopt -o nospace
            return
            ;;
        --group)
            local group
            while IFS= read -r group; do
                [[ -n $group && $group == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$group")")
            done < <("$1" --list 2>/dev/null | cut -f 2 | sort -fu)
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        # The Options section alone: lines of the description begin with an option too.
        COMPREPLY=($(compgen -W '$("$1" --help 2>/dev/null | sed -n "/^Options:/,/^\$/p" | _parse_help -)' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
    fi
} &&
    complete -F _telmorax telmorax

# ex: filetype=sh
