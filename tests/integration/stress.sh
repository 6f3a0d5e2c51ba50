#!/usr/bin/env bash
# Create and delete through the real executable, as scripts and crashes use it: concurrent
# creates of one name, a kill at every step of create, rename, import, duplicate and delete,
# kills at random moments; link rules added at once and under kills;
# then everything listed must delete, every name must be free again, and nothing may be left.
# Usage: stress.sh <tandrel executable> [random kills, default 40]
set -uo pipefail
tandrel="$1"
kills="${2:-40}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_HOME="$work/home/.config"
export QT_QPA_PLATFORM=offscreen LANGUAGE=en LC_ALL=C.UTF-8
mkdir -p "$HOME" "$work/apps/Notes.app/Contents/MacOS"
failures=0
fail() { echo "stress: FAIL: $*" >&2; failures=$((failures + 1)); }

cat >"$work/apps/probe.desktop" <<'ENTRY'
[Desktop Entry]
Type=Application
Name=Probe App
Exec=/bin/true %U
MimeType=x-scheme-handler/http;x-scheme-handler/https;
ENTRY
cat >"$work/apps/Notes.app/Contents/Info.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleExecutable</key><string>notes</string>
<key>CFBundleIdentifier</key><string>com.example.notes</string>
<key>CFBundleName</key><string>Notes</string>
</dict></plist>
PLIST
printf '#!/bin/sh\nexit 0\n' >"$work/apps/Notes.app/Contents/MacOS/notes"
chmod +x "$work/apps/Notes.app/Contents/MacOS/notes"
apps=("$work/apps/probe.desktop" "$work/apps/Notes.app")
shown() { case "$1" in *.desktop) echo "Probe App - $2" ;; *) echo "Notes - $2" ;; esac; }
tandrel() { "$tandrel" --lang en "$@"; }
listed() { tandrel list --json | sed -n 's/.*"wrapper": "\([^"]*\)".*/\1/p'; }

# 1. Ten creates of one name at once: exactly one succeeds, the others are told why.
for app in "${apps[@]}"; do
    pids=()
    for i in $(seq 10); do
        tandrel create "$app" "Same name" >/dev/null 2>"$work/err.$i" &
        pids+=($!)
    done
    made=0
    for i in "${!pids[@]}"; do
        if wait "${pids[$i]}"; then
            made=$((made + 1))
        elif ! grep -q "already exists" "$work/err.$((i + 1))"; then
            fail "a concurrent create failed otherwise: $(cat "$work/err.$((i + 1))")"
        fi
    done
    [ "$made" -eq 1 ] || fail "$made of 10 concurrent creates of one name succeeded ($app)"
done

# 2. A kill at each step of create and delete.
for app in "${apps[@]}"; do
    for step in create-written create-placed delete-withdrawn delete-data-renamed rename-written; do
        name="Fault $step"
        if [[ $step == delete-* ]]; then
            tandrel create "$app" "$name" >/dev/null || fail "create before $step"
            TANDREL_FAULT=$step tandrel delete "$(shown "$app" "$name")" --yes 2>/dev/null
        elif [[ $step == rename-* ]]; then
            tandrel create "$app" "$name" >/dev/null || fail "create before $step"
            TANDREL_FAULT=$step tandrel rename "$(shown "$app" "$name")" "Renamed" >/dev/null 2>&1
        else
            TANDREL_FAULT=$step tandrel create "$app" "$name" >/dev/null 2>&1
        fi
        [ $? -eq 137 ] || fail "the fault at $step did not kill the process"
    done
done

# A kill while an import or a duplicate has written the new instance's data, just before
# it is put in place.
for app in "${apps[@]}"; do
    tandrel create "$app" "Trip" >/dev/null || fail "create before export"
    rm -f "$work/trip.tar.zst"
    tandrel export "$(shown "$app" "Trip")" "$work/trip.tar.zst" || fail "export"
    TANDREL_FAULT=create-written tandrel import "$work/trip.tar.zst" --name "Fault import" >/dev/null 2>&1
    [ $? -eq 137 ] || fail "the fault did not kill the import"
    TANDREL_FAULT=create-written tandrel duplicate "$(shown "$app" "Trip")" "Fault duplicate" >/dev/null 2>&1
    [ $? -eq 137 ] || fail "the fault did not kill the duplicate"
    tandrel delete "$(shown "$app" "Trip")" --yes || fail "delete after export"
done
[ "$(ls -A "$work" | grep -v -e '^home$' -e '^apps$' -e '^trip.tar.zst$' -e '^err\.')" = "" ] ||
    fail "left beside the archive: $(ls -A "$work")"

# 3. Kills at random moments of creates and deletes of a few names.
for i in $(seq "$kills"); do
    app="${apps[$((RANDOM % 2))]}"
    name="Random $((RANDOM % 4))"
    # The executable itself, not the shell function, so that the kill reaches it.
    if ((RANDOM % 2)); then
        "$tandrel" create "$app" "$name" >/dev/null 2>&1 &
    else
        "$tandrel" delete "$(shown "$app" "$name")" --yes >/dev/null 2>&1 &
    fi
    pid=$!
    sleep "0.0$((RANDOM % 10))$((RANDOM % 10))"
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
done
wait

# 4. Link rules: twenty added at once are all kept; kills while rules are written leave them
# readable and nothing beside them; they go with their instance.
tandrel create "${apps[0]}" "Links" >/dev/null || fail "create for links"
for i in $(seq 1 20); do tandrel links add "site$i.example" "Probe App - Links" & done
wait
count=$(tandrel links list | grep -c '^site')
[ "$count" -eq 20 ] || fail "$count of 20 link rules added at once were kept"
for i in $(seq 1 10); do
    tandrel links add "kill$i.example" "Probe App - Links" 2>/dev/null &
    pid=$!
    sleep "0.0$((RANDOM % 10))"
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
done
[ "$(tandrel links list | grep -c '^site')" -eq 20 ] || fail "link rules lost to kills"
tandrel links add "after.example" "Probe App - Links" || fail "a link rule after the kills"
ls -A "$XDG_CONFIG_HOME/Tandrel" | grep -q 'tandrel-' && fail "left beside the rules: $(ls -A "$XDG_CONFIG_HOME/Tandrel")"
tandrel delete "Probe App - Links" --yes || fail "delete of the links instance"
[ -z "$(tandrel links list)" ] || fail "link rules outlived their instance"

# 5. Everything listed deletes; every name is free again; nothing is left.
while IFS= read -r launcher; do
    tandrel delete "$launcher" --yes || fail "delete of $launcher after the crashes"
done < <(listed)
[ -z "$(listed)" ] || fail "still listed after deleting everything: $(listed)"
for app in "${apps[@]}"; do
    for name in "Same name" "Fault create-written" "Fault create-placed" "Fault delete-withdrawn" \
        "Fault delete-data-renamed" "Fault rename-written" "Renamed" "Fault import" "Fault duplicate" \
        "Random 0" "Random 1" "Random 2" "Random 3"; do
        tandrel create "$app" "$name" >/dev/null || fail "the name \"$name\" is not free again ($app)"
        tandrel delete "$(shown "$app" "$name")" --yes || fail "delete of $name"
    done
done
left="$(cd "$HOME" && find Applications/Tandrel "Library/Application Support/Tandrel" .local/share/tandrel \
    .local/share/applications -mindepth 1 2>/dev/null)"
[ -z "$left" ] || fail "left on disk: $left"

if [ "$failures" -gt 0 ]; then
    echo "stress: $failures failures" >&2
    exit 1
fi
echo "stress: concurrent creates, a kill at every step, $kills random kills: nothing lost, nothing left"
