#!/usr/bin/env bash
# Real apps made into instances by the command line and started from their entries beside
# their originals, in both orders, under a private X server and session bus, as the desktop
# starts them (gio launch). Each side must run a copy of its own: a live process of that
# side owning a window, the instance's window carrying its entry's class where the entry
# names one. Then the instance alone must write nothing in the home outside its data
# folder. Apps that are not installed are skipped; with none installed, nothing is checked.
# Usage: separate-copies.sh TANDREL [DESKTOP-ID...]
set -uo pipefail
# As a user runs them: Chromium, for one, will not start as root inside its sandbox.
# The script and the program are copied where that user can reach them.
if [ "$(id -u)" -eq 0 ]; then
    stage=$(mktemp -d)
    chmod 755 "$stage"
    install -m 755 "$0" "$stage/separate-copies.sh"
    install -m 755 "$1" "$stage/tandrel"
    shift
    setpriv --reuid=65534 --regid=65534 --clear-groups bash "$stage/separate-copies.sh" "$stage/tandrel" "$@"
    status=$?
    rm -rf "$stage"
    exit $status
fi
# A session of its own holds whatever the apps start, for ending it all between the steps.
[ "$(ps -o sid= -p $$ | tr -d ' ')" = "$$" ] || exec setsid --wait bash "$0" "$@"
tandrel=$(realpath "$1")
shift
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(org.gnome.TextEditor.desktop org.xfce.mousepad.desktop org.kde.kate.desktop
    thunderbird.desktop chromium.desktop firefox-esr.desktop)

for tool in Xvfb dbus-daemon gio xprop xwininfo; do
    command -v "$tool" >/dev/null || { echo "separate-copies: $tool is missing (scripts/setup --apps)"; exit 1; }
done

work=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_DATA_DIRS=/usr/share LANGUAGE=en NO_AT_BRIDGE=
# The tests around it run Qt offscreen; the apps here must draw on the private X server.
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_STATE_HOME WAYLAND_DISPLAY SESSION_MANAGER QT_QPA_PLATFORM
mkdir -p "$HOME"/{Documents,Downloads,Desktop} "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
printf 'one\n' >"$work/a.txt"
printf 'two\n' >"$work/b.txt"
printf 'three\n' >"$work/c.txt"

Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
bus=$!
for _ in $(seq 100); do [ -s "$work/bus" ] && break; sleep 0.1; done
export DBUS_SESSION_BUS_ADDRESS=$(cat "$work/bus")

# The run's processes but the X server, the bus and this script: those of its session, and
# any that left it but still carry the run's home.
run_processes() {
    {
        ps -o pid= -s $$
        grep -lzxF "HOME=$HOME" /proc/[0-9]*/environ 2>/dev/null | sed 's|/proc/\([0-9]*\)/environ|\1|'
    } | tr -d ' ' | sort -u | grep -vxE "$xvfb|$bus|$$|$BASHPID"
}
end_apps() {
    local pids
    for signal in TERM KILL; do
        pids=$(run_processes)
        [ -z "$pids" ] && return
        kill -"$signal" $pids 2>/dev/null
        sleep 2
    done
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1
}
cleanup() {
    end_apps
    kill "$bus" "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# A desktop session has its accessibility bus running already; instances look it up.
end_apps

# "<pid> <class words> <title>" for each top-level window with a process behind it.
windows() {
    local id
    for id in $(xwininfo -root -children 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p'); do
        xprop -id "$id" _NET_WM_PID WM_CLASS WM_NAME 2>/dev/null | paste -sd' ' \
            | sed -n 's/.*_NET_WM_PID(CARDINAL) = \([0-9]*\).*WM_CLASS(STRING) = \(.*\)/\1 \2/p'
    done
}
# Whether the process belongs to the instance: its environment or its command line (Chromium
# writes over its environment) names the data folder.
of_instance() { grep -qzF "$data/" "/proc/$1/environ" "/proc/$1/cmdline" 2>/dev/null; }

# Waits until each side has a window owned by a live process of its own.
check_two_copies() {
    local label=$1 original instance line pid
    for _ in $(seq 90); do
        original='' instance=''
        while read -r pid line; do
            [ -d "/proc/$pid" ] || continue
            if of_instance "$pid"; then instance="$instance$line "; else original="$original$line "; fi
        done < <(windows)
        [ -n "$original" ] && [ -n "$instance" ] && break
        sleep 1
    done
    if [ -z "$original" ] || [ -z "$instance" ]; then
        fail "$app, $label: one copy only (original's windows: ${original:-none}; instance's: ${instance:-none})"
        ps -o pid=,args= -s $$ | cut -c1-200 | grep -vF "$0"
        return
    fi
    if [ -n "$class" ] && [[ $instance != *"\"$class\""* ]]; then
        fail "$app, $label: the instance's windows are $instance, not of class $class"
    fi
    echo "ok: $app, $label: two copies; instance's windows $instance"
}

launch_original() { gio launch "/usr/share/applications/$app" $file >/dev/null 2>&1 & }
launch_instance() { gio launch "$entry" $file2 >/dev/null 2>&1 & }

tested=0
check_app() {
    if ! "$tandrel" apps --json --apps /usr/share/applications | grep -qF "\"/usr/share/applications/$app\""; then
        echo "skip: $app is not installed"
        return
    fi
    tested=$((tested + 1))
    file='' file2=''
    case "$app" in *Editor* | *mousepad* | *kate*) file=$work/a.txt file2=$work/b.txt ;; esac
    entry=$("$tandrel" create "/usr/share/applications/$app" "Copy" 2>"$work/notice") \
        || { fail "$app: create failed: $(cat "$work/notice")"; return; }
    id=$(basename "$entry" .desktop)
    id=${id#tandrel-}
    data=$HOME/.local/share/tandrel/$id
    class=$(sed -n 's/^StartupWMClass=//p' "$entry")
    [ -s "$work/notice" ] && echo "notice for $app: $(cat "$work/notice")"

    launch_original
    sleep 4
    launch_instance
    check_two_copies "original first"
    # A bus of its own is shared by the instance's later launches: a file opened in the
    # instance again reaches the instance's running copy, as it would the app's.
    if [ -d "$data/bus" ] && [ -n "$file" ]; then
        gio launch "$entry" "$work/c.txt" >/dev/null 2>&1
        sleep 6
        seen=$(windows | while read -r pid line; do of_instance "$pid" && echo "$pid $line"; done)
        if [ "$(cut -d' ' -f1 <<<"$seen" | sort -u | wc -l)" -ne 1 ] || [[ $seen != *c.txt* ]]; then
            fail "$app: a second launch of the instance did not reach its copy: $seen"
        fi
    fi
    end_apps

    launch_instance
    sleep 4
    launch_original
    check_two_copies "instance first"
    end_apps

    touch "$work/mark"
    sleep 1
    launch_instance
    owner=''
    for _ in $(seq 60); do
        owner=$(windows | while read -r pid _; do of_instance "$pid" && echo "$pid"; done | head -1)
        [ -n "$owner" ] && break
        sleep 1
    done
    sleep 5
    # Closed as a user closes it: a bus of its own ends with it.
    [ -n "$owner" ] && kill -TERM "$owner"
    if [ -d "$data/bus" ]; then
        for _ in $(seq 30); do
            [ ! -e "$data/bus/address" ] && flock -n "$data/bus/bus" true && break
            sleep 1
        done
        [ -e "$data/bus/address" ] && fail "$app: its bus outlived its last process"
    fi
    end_apps
    outside=$(find "$HOME" -newer "$work/mark" -not -path "$data" -not -path "$data/*" -not -type d)
    if [ -n "$outside" ]; then
        fail "$app: the instance alone wrote outside its folder: $outside"
    else
        echo "ok: $app: the instance alone wrote only in its folder"
    fi
    "$tandrel" delete "$id" --yes >/dev/null || fail "$app: delete failed"
}

for app in "${cases[@]}"; do
    check_app
done

echo "$tested apps tested, $failures failures"
[ "$failures" -eq 0 ]
