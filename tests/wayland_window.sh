#!/usr/bin/env bash
# The show's window on Wayland, under a headless sway of its own: after each
# switch between a window and full screen, a screenshot (grim) must show the
# picture 4:3, centred on the window's tile or on the output and filling it
# one way, with none of the compositor's background inside. The switches are
# made by the compositor (swaymsg, as a tiling desktop's own keys make them)
# on the show, and by the show's F11 path (window_steps, which calls what F11
# calls) from a window and from full screen. No keys are sent: a tool that
# sends them (wtype) brings a keyboard and keymap of its own, which SDL 2.26
# does not take reliably (the first key lost, the window left without focus,
# or a crash).
# Exits 77 (skipped) where sway or grim is not installed.
#   wayland_window.sh VORN WINDOW_STEPS MAKE_TEST_MODULE [SHOT_DIR]
# With SHOT_DIR the screenshots are kept there as PNG files.
set -euo pipefail
vorn=$1 steps=$2 make_module=$3 shot_dir=${4:-}
here=$(cd "$(dirname "$0")" && pwd)

source "$here/script_support.sh"
for tool in sway swaymsg grim; do
    command -v "$tool" >/dev/null || {
        echo "skipped: $tool is not installed"
        exit 77
    }
done
enter_work_directory
trap 'stop_programs; rm -rf "$work"' EXIT

# 1280 x 1024 (5:4, so a 4:3 picture has bars), one window tiled with gaps of
# 40: its tile is 1200 x 944 (wider than 4:3, bars beside it).
background=204a8c
cat >sway.conf <<EOF
xwayland disable
output * resolution 1280x1024 background #$background solid_color
default_border none
gaps outer 40
EOF

# sway refuses to run as root: there it runs as nobody, in a runtime folder
# of its own that root's clients still reach.
start_sway() {
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    local run_as=()
    if [ "$(id -u)" = 0 ]; then
        chmod 711 "$work"
        chmod 644 sway.conf
        chown nobody "$XDG_RUNTIME_DIR"
        run_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work")
    fi
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        "${run_as[@]}" sway -c "$work/sway.conf" >sway.log 2>&1 &
    sway_pid=$!
    local socket=
    for _ in $(seq 100); do
        SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n 1) || true
        socket=$(cd "$XDG_RUNTIME_DIR" && ls wayland-? 2>/dev/null | head -n 1) || true
        [ -n "$SWAYSOCK" ] && [ -n "$socket" ] && break
        sleep 0.1
    done
    [ -n "$SWAYSOCK" ] && [ -n "$socket" ] || fail "sway did not start: $(cat sway.log)"
    export SWAYSOCK WAYLAND_DISPLAY=$socket SDL_VIDEODRIVER=wayland
    unset DISPLAY
}
# What a failed check leaves running, and the compositor (killed outright
# when it does not end on SIGTERM, as once seen while it was still starting).
stop_programs() {
    for pid in ${vorn_pid:-} ${window_pid:-} ${sway_pid:-}; do
        kill "$pid" 2>/dev/null || true
    done
    [ -z "${sway_pid:-}" ] || timeout 5 tail --pid="$sway_pid" -f /dev/null ||
        kill -KILL "$sway_pid" 2>/dev/null || true
}

# The rectangle "X Y W H" of the window titled VORN (its tile, or the output
# when full screen), empty while there is none.
window_rect() {
    swaymsg -t get_tree | python3 -c '
import json, sys
def walk(node):
    if node.get("name") == "VORN" and node.get("pid"):
        r = node["rect"]
        print(r["x"], r["y"], r["width"], r["height"])
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))'
}
wait_for_window() {
    for _ in $(seq 100); do
        [ -n "$(window_rect)" ] && return 0
        sleep 0.1
    done
    fail "the window did not open"
}

# NAME: the window takes RECT within 5 s; then a screenshot must show the
# picture's four edges within a pixel of where a 4:3 picture centred on RECT
# and filling it one way lies, and no background inside RECT.
shot=0
expect_picture() {
    local name=$1 rect=$2 expected measured
    for _ in $(seq 50); do
        [ "$(window_rect)" = "$rect" ] && break
        sleep 0.1
    done
    check "$name: the window is $(window_rect), not $rect" test "$(window_rect)" = "$rect"
    sleep 0.5
    shot=$((shot + 1))
    grim -t ppm "shot$shot.ppm"
    [ -z "$shot_dir" ] || grim "$shot_dir/wayland_$shot-$name.png"
    measured=$(python3 "$here/picture_edges.py" "shot$shot.ppm" $rect "$background")
    expected=$(echo $rect | awk '{
        w = $3; h = $4
        if (w * 3 <= h * 4) { pw = w; ph = int(w * 3 / 4) } else { ph = h; pw = int(h * 4 / 3) }
        print $1 + int((w - pw) / 2), $2 + int((h - ph) / 2), pw, ph, 0 }')
    echo "$name: window $rect, picture $measured (expected $expected)"
    check "$name: picture $measured, not $expected" awk -v m="$measured" -v e="$expected" 'BEGIN {
        split(m, a, " "); split(e, b, " ")
        for (i = 1; i <= 4; i++) if (a[i] - b[i] > 1 || b[i] - a[i] > 1) exit 1
        exit a[5] != 0 }'
}

start_sway
[ -z "$shot_dir" ] || mkdir -p "$shot_dir"
tile="40 40 1200 944" output="0 0 1280 1024"

# The show, switched by the compositor: its logo for 79 s (2 orders of 64 rows
# at 0.62 s), a picture with no black edge, ended by SIGTERM.
"$make_module" system2.xm 2 64 31 125
"$vorn" --play --windowed --nosound 2>stderr.txt &
vorn_pid=$!
wait_for_window
sleep 1
expect_picture show-windowed "$tile"
swaymsg -q '[title="^VORN$"] fullscreen enable'
expect_picture show-full-by-sway "$output"
swaymsg -q '[title="^VORN$"] fullscreen disable'
expect_picture show-back-by-sway "$tile"
kill -TERM "$vorn_pid"
status=0
wait "$vorn_pid" || status=$?
cat stderr.txt >&2
check "the show ended by SIGTERM exited with $status" test "$status" = 143

# The F11 path, from a window and from full screen, each switched twice; then
# a switch by the compositor, which the next F11 must take back.
press_f11() {
    echo f11 >&"${window[1]}"
    local answer
    read -r -t 20 answer <&"${window[0]}" || fail "window_steps did not answer"
    [ "$answer" = "full $1" ] || fail "F11 gave $answer, not full $1"
}
for start in windowed full; do
    coproc window { "$steps" "$start"; }
    window_pid=$window_PID
    wait_for_window
    if [ "$start" = windowed ]; then full=0 first=$tile; else full=1 first=$output; fi
    expect_picture "$start" "$first"
    for _ in 1 2; do
        full=$((1 - full))
        press_f11 "$full"
        if [ "$full" = 1 ]; then rect=$output; else rect=$tile; fi
        expect_picture "$start-then-full-$full" "$rect"
    done
    if [ "$start" = windowed ]; then
        swaymsg -q '[title="^VORN$"] fullscreen enable'
        expect_picture "$start-then-full-by-sway" "$output"
        press_f11 0
        expect_picture "$start-then-F11-after-sway" "$tile"
    fi
    echo quit >&"${window[1]}"
    wait "$window_pid" || fail "window_steps failed"
done

checks_passed wayland_window
