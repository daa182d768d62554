# bash completion for trevanix-cli                           -*- shell-script -*-
#
# Completes the two commands, their options, the scenes (.ase and .asc files,
# the scenes of other tools the general reader takes, and folders), the files
# of --log and --target, the folders of --log-dir and --out-dir, the values of
# --reader, and the values of --options, also inside a comma list.
# It needs only bash itself, not the bash-completion package.

# The word being completed, without the quoting the user typed: a leading
# quote is dropped and backslash escapes are undone.
_trevanix_cli_dequote()
{
    local word=$1 plain= i
    case $word in
    \'*) plain=${word:1}; plain=${plain%\'} ;;
    \"*) plain=${word:1}; plain=${plain%\"} ;;
    *)
        for ((i = 0; i < ${#word}; i++)); do
            if [[ ${word:i:1} == \\ ]]; then
                ((i++))
            fi
            plain+=${word:i:1}
        done
        ;;
    esac
    printf '%s' "$plain"
}

# Files (all, or only scenes) and folders starting with $2. $1 is "files",
# "scenes" or "folders". Readline then quotes the names and ends folders with
# a slash.
_trevanix_cli_paths()
{
    local kind=$1 word path real
    word=$(_trevanix_cli_dequote "$2")
    COMPREPLY=()
    compopt -o filenames 2>/dev/null
    if [[ $kind == folders ]]; then
        mapfile -t COMPREPLY < <(compgen -d -- "$word")
        return
    fi
    while IFS= read -r path; do
        real=$path
        [[ $real == "~/"* ]] && real=$HOME/${real#"~/"}
        if [[ $kind == files || -d $real ]]; then
            COMPREPLY+=("$path")
            continue
        fi
        case ${path,,} in
        *.ase | *.asc | *.3d | *.3ds | *.3mf | *.ac | *.ac3d | *.acc | *.amf | *.ask | *.assbin | *.b3d | \
        *.blend | *.bsp | *.bvh | *.cob | *.csm | *.dae | *.dxf | *.enff | *.fbx | *.glb | *.gltf | *.hmp | \
        *.ifc | *.ifczip | *.iqm | *.irr | *.irrmesh | *.lwo | *.lws | *.lxo | *.md2 | *.md3 | *.md5anim | \
        *.md5camera | *.md5mesh | *.mdc | *.mdl | *.mesh | *.mot | *.ms3d | *.ndo | *.nff | *.obj | *.off | \
        *.ogex | *.pk3 | *.ply | *.pmx | *.prj | *.q3o | *.q3s | *.scn | *.sib | *.smd | *.step | *.stl | \
        *.stp | *.ter | *.uc | *.vta | *.x | *.x3d | *.x3db | *.xgl | *.zae | *.zgl) COMPREPLY+=("$path") ;;
        esac
    done < <(compgen -f -- "$word")
}

# The values of --options: all or none alone, or a comma list. Inside a list
# the word after the last comma is completed, and the words already listed
# are not offered again.
_trevanix_cli_option_list()
{
    local cur=$1 head tail word listed
    local -a words=(split flip-axis flip-textures mat)
    COMPREPLY=()
    if [[ $cur != *,* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "all none ${words[*]}" -- "$cur")
        return
    fi
    head=${cur%,*},
    tail=${cur##*,}
    for word in "${words[@]}"; do
        listed=,$head
        [[ $listed == *",$word,"* ]] && continue
        [[ $word == "$tail"* ]] && COMPREPLY+=("$head$word")
    done
}

_trevanix_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev= valued value lead=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    # The option whose value is being completed, if any. "--options=split,f"
    # reaches us as "--options" "=" "split,f" while "=" breaks words (it does
    # by default), or as one word when it does not.
    valued=$prev value=$cur
    if [[ $cur == = ]]; then
        value=
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        valued=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == --*=* ]]; then
        valued=${cur%%=*}
        value=${cur#*=}
        lead=$valued=
    fi
    case $valued in
    --log | --target) _trevanix_cli_paths files "$value" ;;
    --log-dir | --out-dir) _trevanix_cli_paths folders "$value" ;;
    --options) _trevanix_cli_option_list "$value" ;;
    --reader) mapfile -t COMPREPLY < <(compgen -W "exact general auto" -- "$value") ;;
    --jobs) ;;
    *) valued= ;;
    esac
    if [[ -n $valued ]]; then
        local k
        for k in "${!COMPREPLY[@]}"; do
            COMPREPLY[k]=$lead${COMPREPLY[k]}
        done
        return 0
    fi

    # The command, the options already given, and whether "--" ended them.
    local command= word i options_done=
    local -A given=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -n $options_done ]]; then
            continue
        fi
        case $word in
        --) [[ -n $command ]] && options_done=1 ;;
        --log | --target | --log-dir | --out-dir | --options | --jobs | --reader)
            given[$word]=1
            ((i++))
            [[ ${COMP_WORDS[i]} == = ]] && ((i++))
            ;;
        --help | -h | --version) return 0 ;;
        -*) given[${word%%=*}]=1 ;;
        *) [[ -z $command ]] && command=$word ;;
        esac
    done

    local -a options
    case $command in
    '')
        mapfile -t COMPREPLY < <(compgen -W "analyze convert --help --version" -- "$cur")
        return 0
        ;;
    analyze)
        options=(--json --json-lines --jobs --log --log-dir --quiet --lf-ends --recursive --reader --no-rename
                 --help)
        ;;
    convert)
        options=(--target --out-dir --options --yes --json --json-lines --jobs --log --log-dir --quiet --lf-ends
                 --recursive --reader --help)
        ;;
    *)
        return 0
        ;;
    esac

    if [[ $cur == -* && -z $options_done ]]; then
        # Each option once; --log and --log-dir, --target and --out-dir,
        # --json and --json-lines exclude each other.
        [[ -n ${given[--log]-} ]] && given[--log-dir]=1
        [[ -n ${given[--log-dir]-} ]] && given[--log]=1
        [[ -n ${given[--json]-} ]] && given[--json-lines]=1
        [[ -n ${given[--json-lines]-} ]] && given[--json]=1
        [[ -n ${given[--target]-} ]] && given[--out-dir]=1
        [[ -n ${given[--out-dir]-} ]] && given[--target]=1
        local -a offered=()
        for word in "${options[@]}"; do
            [[ -z ${given[$word]-} ]] && offered+=("$word")
        done
        mapfile -t COMPREPLY < <(compgen -W "${offered[*]}" -- "$cur")
        return 0
    fi
    _trevanix_cli_paths scenes "$cur"
} &&
    complete -F _trevanix_cli trevanix-cli
