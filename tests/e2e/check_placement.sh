#!/usr/bin/env bash
# Window placement kept between runs, on an X display with a real window
# manager (openbox): the program is started, its main window is moved and
# resized, the options window moved, the player window moved and resized, all
# by the window manager as a user's mouse would; after a second start each
# window comes back where it was left (and the song's row kept the position
# where playback stopped).
#
# Usage (run inside an X display of its own, e.g. under xvfb-run -a):
#   check_placement.sh <sortelle program>
# Skips (exit 77) when openbox, xdotool, wmctrl or ffmpeg are missing.
set -euo pipefail
program="$1"

for tool in openbox xdotool wmctrl ffmpeg; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

work="$(mktemp -d)"
wm_pid=""
app_pid=""
cleanup() {
    [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
    [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# To stderr: it is also called inside $(...).
fail() {
    {
        echo "FAIL: $*"
        if [[ -f "$work/run.log" ]]; then
            echo "--- program output"
            grep -v "ALSA lib\|pw.conf" "$work/run.log" || true
        fi
    } >&2
    exit 1
}

# One collection holding one song; the Added field is left empty so the row
# reads under any regional date form.
data="$work/home/Documents/quendrix/Sortelle/Options"
mkdir -p "$data" "$work/media"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=30" "$work/media/song.wav"
printf '\xef\xbb\xbf<?xml version="1.0"?>\n<xml>\n  <item text="Music" NodeID="0" NodeType="0">\n    <item text="Songs" NodeID="1" NodeType="2"/>\n  </item>\n</xml>\n' \
    >"$data/categories.xml"
{
    printf '\xff\xfe'
    printf '%s\r\n' "$work/media/song.wav,0,song,9,0,wav,,00:30,5.3" | iconv -f UTF-8 -t UTF-16LE
} >"$data/table1.txt"

openbox >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
    wmctrl -m >/dev/null 2>&1 && break
    sleep 0.1
done
wmctrl -m >/dev/null 2>&1 || fail "the window manager did not start"

# The id of the visible window with exactly this caption, waiting for it.
window() {
    local id=""
    for _ in $(seq 100); do
        id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)"
        [[ -n "$id" ]] && break
        sleep 0.1
    done
    [[ -n "$id" ]] || fail "no \"$1\" window"
    echo "$id"
}

gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "the \"$1\" window did not close"
}

# Where the window manager says a window is: "x,y wxh".
placement() {
    xdotool getwindowgeometry "$1" | awk '/Position/ {p=$2} /Geometry/ {g=$2} END {print p " " g}'
}

# Waits until a window reports the wanted placement (the window manager moves
# and resizes asynchronously).
settle() {
    local got=""
    for _ in $(seq 50); do
        got="$(placement "$1")"
        [[ "$got" == "$2" ]] && return 0
        sleep 0.1
    done
    echo "$got"
}

start() {
    HOME="$work/home" "$program" >"$work/run.log" 2>&1 &
    app_pid=$!
}

finish() {
    wmctrl -c "Quendrix Sortelle"
    for _ in $(seq 100); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after its main window was closed"
    wait "$app_pid" || fail "the program ended with an error"
    app_pid=""
}

# Whether a visible window of this caption shows up within about 5 s.
appears() {
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# Positions in the main window's client area: the Options toolbar button, the
# tree's first row, and the grid's first row. Each gesture is tried again when
# its window does not show up (a busy machine may still be repainting).
open_options() {
    for _ in 1 2 3; do
        xdotool mousemove --window "$1" 148 18 click 1
        appears "Options" && return 0
    done
    fail "the Options button did not open the options window"
}
open_song() {
    for _ in 1 2 3; do
        # Music selected, expanded, then its collection: the song's table.
        xdotool mousemove --window "$1" 60 45 click 1
        sleep 0.3
        xdotool key Right
        sleep 0.2
        xdotool key Down
        sleep 0.7
        xdotool mousemove --window "$1" 300 60 click --repeat 2 --delay 80 1
        appears "Player" && return 0
    done
    fail "a double-click on the song did not open the player"
}

# Moves (and resizes) a window through the window manager and prints where it
# ended up, once that no longer changes; fails when it did not move.
move_to() {
    local id="$1" before now last
    before="$(placement "$id")"
    xdotool windowmove "$id" "$2" "$3"
    [[ -n "${4:-}" ]] && xdotool windowsize "$id" "$4" "$5"
    for _ in $(seq 50); do
        sleep 0.1
        now="$(placement "$id")"
        if [[ "$now" != "$before" && "$now" == "${last:-}" && (-z "${4:-}" || "$now" == *" $4x$5") ]]; then
            echo "$now"
            return 0
        fi
        last="$now"
    done
    fail "the window manager did not move the window: it stayed at $now"
}

# --- first run: move and resize everything
start
main="$(window "Quendrix Sortelle")"
sleep 0.5
main_placement="$(move_to "$main" 100 120 900 560)"

open_options "$main"
options="$(window "Options")"
sleep 0.3
options_placement="$(move_to "$options" 600 500)"
wmctrl -c "Options"
gone "Options"

open_song "$main"
player="$(window "Player")"
sleep 0.5
player_placement="$(move_to "$player" 480 60 600 400)"
sleep 2 # some playback to resume from
wmctrl -c "Player"
gone "Player"
finish

grep -q "^NormPos=100,120,1000,680" "$data/frmMain.ini" || fail "frmMain.ini: $(grep NormPos "$data/frmMain.ini")"
position="$(iconv -f UTF-16LE -t UTF-8 "$data/table1.txt" | tr -d '\r\377\376' | cut -d, -f2)"
[[ "$position" != "0" && -n "$position" ]] || fail "no playback position saved in the song's row"
echo "first run: main $main_placement, options $options_placement, player $player_placement, song stopped at $position s"

# --- second run: everything comes back
# Fails unless the window of this caption comes back at the placement given.
expect_back() {
    local id got
    id="$(window "$1")"
    got="$(settle "$id" "$2")" || true
    [[ -z "$got" ]] || fail "\"$1\" window at $got, left at $2"
}

start
expect_back "Quendrix Sortelle" "$main_placement"
main="$(window "Quendrix Sortelle")"
open_options "$main"
expect_back "Options" "$options_placement"
wmctrl -c "Options"
gone "Options"
open_song "$main"
expect_back "Player" "$player_placement"
wmctrl -c "Player"
gone "Player"
finish
echo "second run: the three windows came back where they were left"
