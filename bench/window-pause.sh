#!/bin/bash
# The real window's longest pause while it loads the demo's million-row
# call history, measured from outside: the program runs under its own Xvfb,
# the report database is chosen and the table picked with the keyboard, and
# windowprobe pings the window the whole time the rows come in.
#
#   bench/window-pause.sh BUILD_DIR [RUNS] [REPORT_ROWS]
#
# The demo installation (default 1,000,000 report rows) is built once in a
# home folder of its own; each run starts from a fresh copy of that home.
# Needs Xvfb and xdotool.
set -eu
build=$(cd "$1" && pwd)
runs=${2:-3}
rows=${3:-1000000}
for tool in Xvfb xdotool; do
    command -v $tool >/dev/null || { echo "window-pause: $tool is not installed" >&2; exit 1; }
done

work=$(mktemp -d)
# Xvfb picks a free display itself and says which: a display number of our
# choosing may still be held by a server that is going away.
Xvfb -displayfd 3 -screen 0 1400x1000x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
korva=
trap 'kill $korva $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 1 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "window-pause: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n 1 "$work/display")
unset KORVA_HKLM
mkdir -p "$work/base"
HOME=$work/base XDG_CONFIG_HOME=$work/base/.config XDG_DATA_HOME=$work/base/.local/share \
    "$build/bin/korva-demo" --subscribers 50 --report-rows "$rows" >/dev/null

for run in $(seq 1 "$runs"); do
    home=$work/home$run
    cp -a "$work/base" "$home"
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share "$build/bin/korva" >"$work/korva.log" 2>&1 &
    korva=$!
    for _ in $(seq 1 100); do
        xdotool search --name "Talmu" >/dev/null 2>&1 && break
        sleep 0.1
    done
    window=$(xdotool search --name "Talmu" | head -1)
    sleep 3 # the first database and its first table
    # The report database, from the Database menu (its second entry): its
    # first table, the call history, loads at once.
    "$build/bin/windowprobe" --title Talmu --seconds 8 >"$work/probe.txt" &
    probe=$!
    sleep 0.5
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    keys=$(date +%s.%3N)
    xdotool key alt+d
    sleep 0.3
    chosen=$(date +%s.%3N)
    xdotool key Down Return
    wait $probe || true
    echo "run $run (load $(cut -d' ' -f1 /proc/loadavg)):"
    cat "$work/probe.txt"
    echo "menu opened at $keys, database chosen at $chosen"
    # SHOT=prefix keeps a picture of the screen after each run.
    if [ -n "${SHOT:-}" ]; then import -window root "$SHOT-$run.png"; fi
    kill $korva 2>/dev/null || true
    wait $korva 2>/dev/null || true
    korva=
    rm -rf "$home"
done
