# bash completion for vesko
_vesko() {
    local cur prev words cword
    _init_completion || return

    case "$prev" in
    --root | --watch | --dev-root | --search-in | --in)
        _filedir -d
        return
        ;;
    --out)
        _filedir
        return
        ;;
    --sort)
        COMPREPLY=($(compgen -W 'relevance none name path kind size modified created accessed' -- "$cur"))
        return
        ;;
    --limit | --query | --dev-query | --dev-contents | --dev-select)
        return
        ;;
    esac

    # After "--" everything is the query.
    local i
    for ((i = 1; i < cword; i++)); do
        [[ ${words[i]} == -- ]] && return
    done

    local modes='--find --scan --bench --drift --watch --help --version --hidden --search-in --dev-root
                 --dev-query --dev-contents --dev-select'
    local options=''
    for ((i = 1; i < cword; i++)); do
        case "${words[i]}" in
        --find)
            options='--root --in --limit --sort --ascending --descending --regex --path --case
                     --match-diacritics --count --print0 --existing --'
            ;;
        --scan) options='--root --archive --query --out' ;;
        --bench | --drift | --watch) options='--out' ;;
        esac
    done
    if [[ $cur == -* || -z $cur ]]; then
        COMPREPLY=($(compgen -W "${options:-$modes}" -- "$cur"))
    fi
} && complete -F _vesko vesko
