# bash completion for tandrel: its commands and options, instance names for open, rename, badge, export, duplicate,
# stop, delete and links add, app names for create, sites for links remove. The names are asked of tandrel itself (its --json
# output needs no display) and may hold blanks, quotes, backslashes and dollars.

# Prints a field of `tandrel <command> --json`, one value per line, its escapes undone.
# The command may be two words ("links list").
_tandrel_field()
{
    # shellcheck disable=SC2086
    tandrel $1 --json 2>/dev/null |
        sed -n "s/^        \"$2\": \"\\(.*\\)\",\\{0,1\\}\$/\\1/p" |
        sed 's/\\\(.\)/\1/g'
}

# Prints the word being completed as the shell will read it: without the backslashes that
# escape its blanks, or as typed after an opening quote (whose backslashes escape less).
_tandrel_unquoted()
{
    local word=$1 typed=$2 plain="" i
    if [[ $typed == \'* ]]; then
        printf '%s' "$word"
        return
    fi
    for ((i = 0; i < ${#word}; i++)); do
        if [[ ${word:i:1} == '\' ]] && [[ $typed != \"* || ${word:i+1:1} == [\$\`\"\\] ]]; then
            ((i++))
        fi
        plain+=${word:i:1}
    done
    printf '%s' "$plain"
}

_tandrel()
{
    local cur prev=$3 command="" operands=0 i
    cur=$(_tandrel_unquoted "$2" "${COMP_WORDS[COMP_CWORD]}")
    # "--mode=g": bash splits the "=" into a word of its own.
    [[ $prev == = ]] && prev=${COMP_WORDS[COMP_CWORD - 2]}
    # The command, and how many operands it has before the cursor; an option's value is neither.
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            --lang | --mode | --apps | --color | --label | --image | --name) [[ ${COMP_WORDS[i + 1]} == = ]] && ((i++)); ((i++)) ;;
            -*) ;;
            *) if [[ -z $command ]]; then command=${COMP_WORDS[i]}; else ((operands++)); fi ;;
        esac
    done

    COMPREPLY=()
    case $prev in
        --lang) mapfile -t COMPREPLY < <(compgen -W "es en" -- "$cur"); return ;;
        --mode) mapfile -t COMPREPLY < <(compgen -W "home udd gecko" -- "$cur"); return ;;
        --color) mapfile -t COMPREPLY < <(compgen -W "blue purple pink orange teal green indigo" -- "$cur"); return ;;
        --label | --name) return ;;
        --image)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return
            ;;
        --apps)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            return
            ;;
    esac

    local options names=""
    case $command in
        "") options="apps list create open rename badge stop delete export import duplicate links route --lang --help --version" ;;
        apps) options="--json --apps --lang" ;;
        list) options="--json --lang" ;;
        create) options="--mode --lang"; ((operands == 0)) && names=apps ;;
        open | rename | stop) options="--lang"; ((operands == 0)) && names=list ;;
        badge) options="--color --label --image --lang"; ((operands == 0)) && names=list ;;
        delete) options="--yes --stop --lang"; ((operands == 0)) && names=list ;;
        duplicate) options="--lang"; ((operands == 0)) && names=list ;;
        route) options="--lang" ;;
        links)
            local action
            for ((i = 1; i < COMP_CWORD; i++)); do
                [[ ${COMP_WORDS[i]} == links ]] && action=${COMP_WORDS[i + 1]} && break
            done
            case $operands in
                0) options="list add remove handler" ;;
                1) case $action in
                    list) options="--json --lang" ;;
                    remove) options="--lang"; names=links ;;
                    handler) options="on off" ;;
                    *) options="--lang" ;;
                esac ;;
                2) options="--exact --lang"; [[ $action == add ]] && names=list ;;
                *) options="--exact --lang" ;;
            esac
            ;;
        export)
            options="--lang"
            if ((operands == 0)); then names=list; elif [[ $cur != -* ]]; then
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -f -- "$cur")
                return
            fi
            ;;
        import)
            options="--name --lang"
            if [[ $cur != -* ]]; then
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -f -- "$cur")
                return
            fi
            ;;
        *) return ;;
    esac
    if [[ $cur == -* || -z $names ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi
    local field=displayName name quoted=false
    [[ $names == apps ]] && field=name
    [[ $names == links ]] && names="links list" && field=site
    # After an opening quote readline quotes the replies itself (and closes the quote); else
    # they are escaped here, "$" included, which readline's own quoting leaves bare.
    if [[ ${COMP_WORDS[COMP_CWORD]} == [\"\']* ]]; then
        compopt -o filenames 2>/dev/null
        quoted=true
    fi
    while IFS= read -r name; do
        [[ -n $name && $name == "$cur"* ]] || continue
        $quoted || printf -v name '%q' "$name"
        COMPREPLY+=("$name")
    done < <(_tandrel_field "$names" "$field")
}

complete -F _tandrel tandrel
