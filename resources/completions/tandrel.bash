# bash completion for tandrel: its commands and options, instance names for open and
# delete, app names for create (asked of tandrel itself, which needs no display for them).

# Prints the values of a field of `tandrel <command> --json`, one per line, JSON escapes undone.
_tandrel_field()
{
    tandrel "$1" --json 2>/dev/null |
        sed -n "s/^        \"$2\": \"\\(.*\\)\",\$/\\1/p" |
        sed -e 's/\\"/"/g' -e 's/\\\\/\\/g'
}

_tandrel()
{
    local cur prev command="" i
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            apps | list | create | open | stop | delete) command=${COMP_WORDS[i]}; break ;;
        esac
    done

    case $prev in
        --lang) mapfile -t COMPREPLY < <(compgen -W "es en" -- "$cur"); return ;;
        --mode) mapfile -t COMPREPLY < <(compgen -W "home udd gecko" -- "$cur"); return ;;
        --apps) mapfile -t COMPREPLY < <(compgen -d -- "$cur"); return ;;
    esac

    local options names=""
    case $command in
        "") options="apps list create open stop delete --lang --help --version" ;;
        apps) options="--json --apps --lang" ;;
        list) options="--json --lang" ;;
        create) options="--mode --lang"; ((COMP_CWORD == i + 1)) && names=$(_tandrel_field apps name) ;;
        open | stop) options="--lang"; ((COMP_CWORD == i + 1)) && names=$(_tandrel_field list displayName) ;;
        delete) options="--yes --stop --lang"; ((COMP_CWORD == i + 1)) && names=$(_tandrel_field list displayName) ;;
    esac
    if [[ $cur == -* || -z $names ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi
    # Names may hold blanks: one reply per line, quoted as the shell would read it back.
    local name
    COMPREPLY=()
    while IFS= read -r name; do
        [[ $name == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
    done <<<"$names"
}

complete -F _tandrel tandrel
