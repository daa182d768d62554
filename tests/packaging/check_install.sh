#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and checks what a packager
# gets: the programs, which run from there without writing into their own
# folder, their manual pages (rendered with man when it is there), the sample
# scenes, the bash completion of trevanix-cli (loaded and asked to complete),
# and with the window its desktop entry, icon and MIME types, whose content
# match tells a 3D Studio .asc scene from an armoured PGP key.
#
#   check_install.sh CMAKE BUILD_DIR VERSION window|no-window
set -euo pipefail
export LC_ALL=C
cmake=$1 build=$2 version=$3 face=$4
examples=$(cd "$(dirname "$0")/../../examples" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
status=0
fail() {
    echo "install: $*" >&2
    status=1
}
has() { command -v "$1" >/dev/null 2>&1; }

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || {
    cat "$work/install.log" >&2
    exit 1
}

# Exactly these files, and nothing else (no tests, no bench, no libraries,
# no build-tree marker).
expected=(bin/trevanix-cli share/bash-completion/completions/trevanix-cli share/man/man1/trevanix-cli.1)
mapfile -t -O ${#expected[@]} expected < <(cd "$examples" && find . -type f -printf 'share/doc/trevanix/examples/%P\n')
if [[ $face == window ]]; then
    expected+=(bin/trevanix share/applications/trevanix.desktop share/icons/hicolor/scalable/apps/trevanix.svg
               share/man/man1/trevanix.1 share/mime/packages/trevanix.xml)
fi
same_files_as_expected() {
    diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$prefix" && find . -type f -printf '%P\n' | sort) >&2 ||
        fail "$1: the installed files differ from the list above (< expected, > installed)"
}
same_files_as_expected "after the install"

# The programs run from the installed tree.
for program in trevanix-cli trevanix; do
    [[ $face == no-window && $program == trevanix ]] && continue
    [[ -x $prefix/bin/$program ]] || fail "bin/$program is not an executable"
done
cli_version=$("$prefix/bin/trevanix-cli" --version 2>&1) || true
[[ $cli_version == "trevanix-cli $version" ]] ||
    fail "installed trevanix-cli --version says \"$cli_version\", not \"trevanix-cli $version\""

# The installed programs run on a copy of the installed samples, as a user
# would, and write nothing into their own folder: the default error log goes
# to the user's state folder.
run=$work/run
cp -R "$prefix/share/doc/trevanix/examples" "$run"
user_env=(env HOME="$work/home" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config")
analyzed=0
"${user_env[@]}" "$prefix/bin/trevanix-cli" analyze "$run/town.ase" >"$work/cli.out" 2>&1 || analyzed=$?
# 1: one object of the sample is rejected.
[[ $analyzed -eq 1 ]] || fail "installed trevanix-cli analyze town.ase: $(cat "$work/cli.out")"
"${user_env[@]}" "$prefix/bin/trevanix-cli" convert "$run/crate.asc" --target "$run/out/crate" >"$work/cli.out" 2>&1 ||
    fail "installed trevanix-cli convert crate.asc: $(cat "$work/cli.out")"
[[ -f $run/out/crate.asc ]] || fail "the installed trevanix-cli did not write the target in its new folder"
if [[ $face == window ]]; then
    # --help and --version answer without a display; the start-up runs offscreen.
    for option in --help --version; do
        env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/trevanix" $option >"$work/window.out" 2>&1 ||
            fail "installed trevanix $option fails without a display: $(cat "$work/window.out")"
    done
    [[ $(cat "$work/window.out") == "trevanix $version" ]] ||
        fail "installed trevanix --version says \"$(cat "$work/window.out")\", not \"trevanix $version\""
    "${user_env[@]}" QT_QPA_PLATFORM=offscreen "$prefix/bin/trevanix" --screenshot "$work/window.png" "$run/town.ase" \
        >"$work/window.out" 2>&1 || fail "installed trevanix --screenshot: $(cat "$work/window.out")"
fi
[[ -f $work/state/trevanix/testfile.txt ]] || fail "no default error log in \$XDG_STATE_HOME/trevanix"
same_files_as_expected "after the programs ran"

# The manual pages carry the version and render without a warning.
pages=(trevanix-cli)
[[ $face == window ]] && pages+=(trevanix)
for page in "${pages[@]}"; do
    file=$prefix/share/man/man1/$page.1
    [[ -f $file ]] || continue
    grep -q '@[A-Z_]*@' "$file" && fail "$page.1 holds an unconfigured @VARIABLE@"
    grep -q "^\.TH .*\"trevanix $version\"" "$file" || fail "$page.1 does not name version $version in .TH"
    if ! has man; then
        echo "install: man is not installed; $page.1 not rendered"
        continue
    fi
    if ! LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" >"$work/$page.txt" 2>"$work/$page.err"; then
        fail "man -l $page.1 failed"
    elif [[ -s $work/$page.err ]]; then
        fail "man -l $page.1 warns: $(cat "$work/$page.err")"
    fi
    grep -Eq "^ +$page - " "$work/$page.txt" || fail "$page.1 has no NAME line for $page"
done
# The page's examples copy the samples from where they are installed.
grep -q '^cp \\-R .*/share/doc/trevanix/examples /tmp/scenes$' "$prefix/share/man/man1/trevanix-cli.1" ||
    fail "the examples of trevanix-cli.1 do not copy the installed samples"

# Completions: source the installed script in a bare shell and ask it, as
# bash would, with COMP_WORDS and COMP_CWORD. Prints the answers one a line.
completion=$prefix/share/bash-completion/completions/trevanix-cli
complete_words() {
    (cd "$work/scenes" && bash --norc --noprofile -c '
        source "$1" || exit 1
        shift
        COMP_WORDS=("$@")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMPREPLY=()
        _trevanix_cli trevanix-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}"' completion "$completion" trevanix-cli "$@" | sort)
}
expect_completion() {
    local want=$1 got
    shift
    got=$(complete_words "$@" | paste -sd' ')
    [[ $got == "$want" ]] || fail "completing \"trevanix-cli $*\" gives \"$got\", expected \"$want\""
}
mkdir -p "$work/scenes/town folder"
touch "$work/scenes/town.ase" "$work/scenes/CRATE.ASC" "$work/scenes/notes.txt" "$work/scenes/truck.glTF"
if bash -n "$completion"; then
    expect_completion "convert" conv
    expect_completion "split,flip-axis split,flip-textures" convert --options split,fl
    expect_completion "split,flip-axis,mat" convert --options split,flip-axis,m
    expect_completion "all" convert --options a
    expect_completion "--options=split,mat" convert --options=split,m
    # Scenes are .ase and .asc files and the general reader's, in any letter case, and folders.
    expect_completion "CRATE.ASC town folder town.ase truck.glTF" analyze ''
    expect_completion "auto" convert --reader a
    expect_completion "town folder" convert --out-dir ''
    # Every option of the program's own help is offered, once.
    for command in analyze convert; do
        offered=" $(complete_words "$command" -- | paste -sd' ') "
        while IFS= read -r option; do
            [[ $offered == *" $option "* ]] || fail "completing \"trevanix-cli $command --\" does not offer $option"
            [[ -f $work/trevanix-cli.txt ]] && ! grep -q -- "$option" "$work/trevanix-cli.txt" &&
                fail "the manual page of trevanix-cli does not describe $command $option"
        done < <("$prefix/bin/trevanix-cli" "$command" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
    done
    # Options already given are not offered again, nor the other of an exclusive pair.
    expect_completion "--help --options --quiet" convert --out-dir x --log-dir y --json --jobs 2 --yes --lf-ends \
        --recursive --reader exact --
else
    fail "the completion script does not parse"
fi

if [[ $face == window ]]; then
    # The desktop entry opens a scene with the window and shows the icon.
    desktop=$prefix/share/applications/trevanix.desktop
    for line in 'Type=Application' 'Exec=trevanix %f' 'Icon=trevanix'; do
        grep -qxF "$line" "$desktop" || fail "trevanix.desktop lacks the line $line"
    done
    mime_line=$(grep '^MimeType=' "$desktop" || true)
    for type in text/x-ase text/x-asc-mesh model/gltf+json model/gltf-binary model/obj; do
        [[ $mime_line == *"$type;"* ]] || fail "trevanix.desktop does not list $type in MimeType"
    done
    if has desktop-file-validate; then
        desktop-file-validate "$desktop" >&2 || fail "desktop-file-validate rejects trevanix.desktop"
    else
        echo "install: desktop-file-validate is not installed; the desktop entry was checked by its keys only"
    fi

    mime=$prefix/share/mime/packages/trevanix.xml
    if has xmllint; then
        xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/trevanix.svg" || fail "trevanix.svg is not XML"
        xmllint --noout "$mime" || fail "trevanix.xml is not XML"
    fi
    if has update-mime-database; then
        # Build the MIME database of the installed types alone; any complaint
        # about the XML fails.
        if ! XDG_DATA_DIRS=$prefix/share update-mime-database "$prefix/share/mime" 2>"$work/mime.err" ||
            [[ -s $work/mime.err ]]; then
            fail "update-mime-database: $(cat "$work/mime.err")"
        fi
        grep -aq 'text/x-asc-mesh' "$prefix/share/mime/magic" || fail "no content match for text/x-asc-mesh"
        grep -aq 'Ambient light color:' "$prefix/share/mime/magic" || fail "no \"Ambient light color:\" match"
        # Ask the desktop's own detection, over the system's types.
        if has gio && [[ -f /usr/share/mime/mime.cache ]]; then
            files=$work/files
            mkdir -p "$files" "$work/home"
            printf 'Ambient light color: Red=0.3 Green=0.3 Blue=0.3\r\n\r\nNamed object: "Box01"\r\n' >"$files/box.asc"
            printf 'Named object: "Box01"\r\nTri-mesh, Vertices: 8     Faces: 12\r\n' >"$files/written.asc"
            printf '3D Studio export\nNamed object: "lamp"\n' >"$files/lf.asc"
            printf -- '-----BEGIN PGP PUBLIC KEY BLOCK-----\n\nmQINBGE=\n-----END PGP PUBLIC KEY BLOCK-----\n' \
                >"$files/key.asc"
            printf 'notes about the level\n' >"$files/notes.asc"
            printf '*3DSMAX_ASCIIEXPORT\t200\r\n*COMMENT "town"\r\n' >"$files/town.ase"
            content_type() {
                XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$prefix/share:/usr/share \
                    gio info -a standard::content-type "$files/$1" | sed -n 's/^ *standard::content-type: //p'
            }
            for pair in box.asc=text/x-asc-mesh written.asc=text/x-asc-mesh lf.asc=text/x-asc-mesh \
                key.asc=application/pgp-keys notes.asc=text/plain town.ase=text/x-ase; do
                got=$(content_type "${pair%%=*}")
                [[ $got == "${pair#*=}" ]] || fail "${pair%%=*} is taken for \"$got\", not ${pair#*=}"
            done
        else
            echo "install: gio or the system MIME database is missing; content detection not tried"
        fi
    else
        echo "install: update-mime-database is not installed; the MIME magic was checked as XML only"
    fi
fi

if [[ $status -eq 0 ]]; then
    if [[ $face == window ]]; then
        echo "install: both programs, their manual pages, the completion and the desktop files are in place"
    else
        echo "install: trevanix-cli, its manual page and the completion are in place (no window built)"
    fi
fi
exit $status
