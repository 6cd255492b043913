# bash completion for quillmap: the commands, their options, and the settings' names (which the
# program itself lists, so that new settings complete without a change here).

_quillmap_settings_names()
{
    quillmap ${1:+--home "$1"} settings names 2>/dev/null
}

_quillmap()
{
    local cur prev words cword
    _init_completion || return

    local home="" command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --home) home=${words[i + 1]}; ((i++)) ;;
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done

    if [[ $prev == --home ]]; then
        _filedir -d
        return
    fi
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "--help --version --home --headless ddns-update fetch-status find-address log
            rewrite settings test-ftp test-mail test-router" -- "$cur"))
        return
    fi

    local options=""
    case $command in
        ddns-update) options="--force --dry-run --address" ;;
        fetch-status) options="--engine --http --timeout" ;;
        find-address) options="--key --explain --ipv6 --interface --suffix --table" ;;
        log) options="--open --delete" ;;
        rewrite) options="--address --host-name --closing --all" ;;
        test-router) options="--tree --from" ;;
        settings)
            local sub="" j
            for ((j = i + 1; j < cword; j++)); do
                [[ ${words[j]} == -* ]] || { sub=${words[j]}; break; }
            done
            case $sub in
                "") options="get set unset check edit names --save --show-passwords" ;;
                get | set | unset)
                    local given=0 k
                    for ((k = j + 1; k < cword; k++)); do
                        [[ ${words[k]} == -* ]] || ((given++))
                    done
                    if [[ $cur != -* && $given -eq 0 ]]; then
                        COMPREPLY=($(compgen -W "$(_quillmap_settings_names "$home")" -- "$cur"))
                        return
                    fi
                    [[ $sub == get ]] && options="--show-passwords"
                    [[ $sub == set ]] && options="--stdin"
                    ;;
            esac
            ;;
    esac
    case $prev in
        --from | --table) _filedir; return ;;
    esac
    if [[ $command == find-address || $command == rewrite ]] && [[ $cur != -* ]]; then
        _filedir
        return
    fi
    COMPREPLY=($(compgen -W "--help $options" -- "$cur"))
}
complete -F _quillmap quillmap
