#!/usr/bin/env bash
# What the package installs, judged by the desktop's own tools: the app's desktop entry and
# an instance's (desktop-file-validate), the metainfo (appstreamcli), the manual page (man
# --warnings), and the shell completions loaded and answering with real instance and app
# names. Installs into a temporary folder; HOME and the XDG folders point into it.
# Usage: packaging.sh <build folder> <tandrel executable>
set -euo pipefail
build=$1
tandrel=$(realpath "$2")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
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

cmake --install "$build" --prefix "$tmp/usr" >/dev/null
share=$tmp/usr/share
for file in applications/io.tandrel.Tandrel.desktop metainfo/io.tandrel.Tandrel.metainfo.xml \
    icons/hicolor/scalable/apps/tandrel.svg man/man1/tandrel.1.gz bash-completion/completions/tandrel \
    zsh/vendor-completions/_tandrel fish/vendor_completions.d/tandrel.fish doc/tandrel/copyright \
    doc/tandrel/changelog.gz; do
    [ -f "$share/$file" ] || fail "not installed: $file"
done

silent "desktop-file-validate, the app's entry" desktop-file-validate "$share/applications/io.tandrel.Tandrel.desktop"
appstream=$(appstreamcli validate --no-net "$share/metainfo/io.tandrel.Tandrel.metainfo.xml" 2>&1) ||
    fail "appstreamcli validate: $appstream"
silent "man --warnings" sh -c "man --warnings -l '$share/man/man1/tandrel.1.gz' >/dev/null"

# An app and an instance of it with blanks in its name, made by the real command line.
export HOME=$tmp/home XDG_DATA_HOME=$tmp/home/.local/share XDG_CONFIG_HOME=$tmp/home/.config
export XDG_DATA_DIRS=$tmp/apps XDG_CACHE_HOME=$tmp/home/.cache QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$tmp/apps/applications" "$tmp/bin"
printf '[Desktop Entry]\nType=Application\nName=Sketch Pad\nExec=true\n' >"$tmp/apps/applications/sketch.desktop"
ln -s "$tandrel" "$tmp/bin/tandrel"
export PATH=$tmp/bin:$PATH
entry=$(tandrel create "Sketch Pad" "Work Two" 2>/dev/null) || fail "tandrel create"
silent "desktop-file-validate, an instance's entry" desktop-file-validate "$entry"

# bash: what the completion answers for a command line, one reply per line.
complete_bash() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _tandrel; printf "%s\n" "${COMPREPLY[@]}"' \
        - "$share/bash-completion/completions/tandrel" "$@"
}
check() {
    local what=$1 expected=$2 actual=$3
    [ "$actual" = "$expected" ] || fail "$what: expected [$expected], got [$actual]"
}
check "bash, commands" "create" "$(complete_bash tandrel cr)"
check "bash, instances" 'Sketch\ Pad\ -\ Work\ Two' "$(complete_bash tandrel open Sk)"
check "bash, apps" 'Sketch\ Pad' "$(complete_bash tandrel create S)"
check "bash, modes" "gecko" "$(complete_bash tandrel create --mode g)"
check "bash, options" "--yes" "$(complete_bash tandrel delete x --y)"
check "bash, stopping" 'Sketch\ Pad\ -\ Work\ Two' "$(complete_bash tandrel stop S)"
if command -v fish >/dev/null; then
    silent "fish syntax" fish -n "$share/fish/vendor_completions.d/tandrel.fish"
    check "fish, instances" "Sketch Pad - Work Two" \
        "$(fish -c "source '$share/fish/vendor_completions.d/tandrel.fish'; complete -C'tandrel delete Sk'")"
fi
if command -v zsh >/dev/null; then
    silent "zsh syntax" zsh -n "$share/zsh/vendor-completions/_tandrel"
fi

[ "$failures" -eq 0 ] && echo "packaging: every check passed"
exit $((failures > 0))
