#!/usr/bin/env bash
# What the package installs, judged by the desktop's own tools: the app's desktop entry and
# an instance's (desktop-file-validate), the metainfo (appstreamcli, infos and warnings
# failing too), the manual page (man --warnings), and the shell completions loaded and
# answering with real instance and app names, blanks, quotes, backslashes and dollars
# included. Installs into a temporary folder; HOME and the XDG folders point into it.
# Usage: packaging.sh <build folder> <tandrel executable>
set -euo pipefail
build=$1
tandrel=$(realpath "$2")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Every tool below, the validators included, sees only the temporary home.
export HOME=$tmp/home XDG_DATA_HOME=$tmp/home/.local/share XDG_CONFIG_HOME=$tmp/home/.config
export XDG_DATA_DIRS=$tmp/apps XDG_CACHE_HOME=$tmp/home/.cache QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# Runs a check that must succeed and print nothing.
silent() {
    local what=$1 output
    shift
    if ! output=$("$@" 2>&1) || [ -n "$output" ]; then
        fail "$what: $output"
    fi
}
check() {
    local what=$1 expected=$2 actual=$3
    [ "$actual" = "$expected" ] || fail "$what: expected [$expected], got [$actual]"
}

cmake --install "$build" --prefix "$tmp/usr" >/dev/null
share=$tmp/usr/share
for file in applications/io.tandrel.Tandrel.desktop metainfo/io.tandrel.Tandrel.metainfo.xml \
    icons/hicolor/scalable/apps/tandrel.svg man/man1/tandrel.1.gz bash-completion/completions/tandrel \
    zsh/vendor-completions/_tandrel fish/vendor_completions.d/tandrel.fish doc/tandrel/copyright \
    doc/tandrel/changelog.gz; do
    [ -f "$share/$file" ] || fail "not installed: $file"
done

silent "desktop-file-validate, the app's entry" desktop-file-validate "$share/applications/io.tandrel.Tandrel.desktop"
appstream=$(appstreamcli validate --no-net --strict "$share/metainfo/io.tandrel.Tandrel.metainfo.xml" 2>&1) ||
    fail "appstreamcli validate: $appstream"
silent "man --warnings" sh -c "man --warnings -l '$share/man/man1/tandrel.1.gz' >/dev/null"
silent "bash syntax" bash -n "$share/bash-completion/completions/tandrel"

# An app whose name holds quotes, and instances of it with blanks, a quote, a dollar, an
# ampersand and a backslash in their names, made by the real command line.
mkdir -p "$tmp/apps/applications" "$tmp/bin"
printf '[Desktop Entry]\nType=Application\nName=Sketch "Pad"\nExec=true\n' >"$tmp/apps/applications/sketch.desktop"
ln -s "$tandrel" "$tmp/bin/tandrel"
export PATH=$tmp/bin:$PATH
for name in "Work Two" "it's \$HOME & more" 'back\slash'; do
    entry=$(tandrel create 'Sketch "Pad"' "$name" 2>/dev/null) || fail "tandrel create $name"
done
silent "desktop-file-validate, an instance's entry" desktop-file-validate "$entry"

# bash: the replies for a command line split as bash splits it (an "=" is a word of its
# own), each read back as the shell reads what readline inserts, in byte order. After an
# opening quote the replies are bare: readline quotes them itself.
read -r -d '' complete_script <<'SH' || true
source "$1"
shift
COMP_WORDS=("$@")
COMP_CWORD=$(($# - 1))
word=${COMP_WORDS[COMP_CWORD]}
_tandrel tandrel "${word#[\"\']}" "${COMP_WORDS[COMP_CWORD - 1]}"
for reply in "${COMPREPLY[@]}"; do
    if [[ $word == [\"\']* ]]; then printf '%s\n' "$reply"; else eval "printf '%s\n' $reply"; fi
done | LC_ALL=C sort
SH
complete_bash() { bash -c "$complete_script" - "$share/bash-completion/completions/tandrel" "$@"; }
work='Sketch "Pad" - Work Two' dollar="Sketch \"Pad\" - it's \$HOME & more" slash='Sketch "Pad" - back\slash'
# What is checked | the replies, ";" between them | the command line as typed.
while IFS='|' read -r what expected line; do
    eval "words=($line)"
    check "bash, $what" "${expected//;/$'\n'}" "$(complete_bash "${words[@]}")"
done <<EOF
commands|create|tandrel cr
every instance|$work;$slash;$dollar|tandrel open Sk
after escaped blanks|$work|tandrel open 'Sketch\ \"Pad\"\ -\ W'
a dollar and an ampersand|$dollar|tandrel stop 'Sketch\ \"Pad\"\ -\ i'
a backslash, after an option|$slash|tandrel delete --yes 'Sketch\ \"Pad\"\ -\ b'
after an opening quote|$work|tandrel open '"Sketch \"Pad\" - W'
apps|Sketch "Pad"|tandrel create S
renaming|$work|tandrel rename 'Sketch\ \"Pad\"\ -\ W'
nothing for a new name||tandrel rename x S
modes|gecko|tandrel create --mode g
badge colours|teal|tandrel badge x --color te
badging, after an option and its value|$work|tandrel badge --label W2 'Sketch\ \"Pad\"\ -\ W'
a mode after "="|home|tandrel create --mode = h
languages|en;es|tandrel --lang e
options|--yes|tandrel delete x --y
folders|$tmp/apps|tandrel apps --apps $tmp/ap
link actions|add|tandrel links a
an instance for a link rule|$work|tandrel links add example.com 'Sketch\ \"Pad\"\ -\ W'
link handler states|off;on|tandrel links handler o
EOF

if command -v fish >/dev/null; then
    fish_completions=$share/fish/vendor_completions.d/tandrel.fish
    silent "fish syntax" fish -n "$fish_completions"
    complete_fish() { fish --no-config -c "source '$fish_completions'; complete -C'$1'" | LC_ALL=C sort; }
    check "fish, instances" "$work"$'\n'"$slash"$'\n'"$dollar" "$(complete_fish 'tandrel delete --yes Sk')"
    check "fish, apps" 'Sketch "Pad"' "$(complete_fish 'tandrel create Sk')"
    check "fish, modes" $'gecko\tThe isolation mode' "$(complete_fish 'tandrel create --mode g')"
else
    echo "packaging: fish is not installed; its completions are not checked"
fi
if command -v zsh >/dev/null; then
    zsh_completions=$share/zsh/vendor-completions/_tandrel
    silent "zsh syntax" zsh -n "$zsh_completions"
    # What its name lookup offers, each in brackets: an empty offer would show as "[]".
    zsh_offers() {
        zsh -fc 'compadd() { for value in "${(@P)2}"; do print -r -- "[$value]"; done }
            eval "$(sed -n "/^_tandrel_field()/,/^}/p" "$1")"
            _tandrel_field list displayName' - "$zsh_completions" | LC_ALL=C sort
    }
    check "zsh, instances" "[$work]"$'\n'"[$slash]"$'\n'"[$dollar]" "$(zsh_offers)"
    check "zsh, no instances" "" "$(XDG_DATA_HOME=$tmp/nothing zsh_offers)"
else
    echo "packaging: zsh is not installed; its completions are not checked"
fi

[ "$failures" -eq 0 ] && echo "packaging: every check passed"
exit $((failures > 0))
