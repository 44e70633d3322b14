#!/usr/bin/env bash
# Whole-program runs of the configuration dialog, in a fresh directory with its
# own settings folder.
#   launcher_runs.sh dialog_exit|dialog_run|no_display VORN MAKE_TEST_MODULE BUILD_DIR SOURCE_DIR
# The dialog runs start an Xvfb server and run this script again inside it
# (inside_exit, inside_run), where xdotool types on the dialog.
set -euo pipefail
run=$1
vorn=$2
make_module=$3
build_dir=$4
source_dir=$5

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Starts vorn, waits for its dialog, and gives the dialog the keyboard.
open_dialog() {
    "$vorn" 2> stderr.txt &
    vorn_pid=$!
    window=$(timeout 60 xdotool search --sync --name '^Vorn Demo Configuration$' | head -n 1) ||
        fail "the dialog did not open"
    sleep 1
    xdotool windowfocus --sync "$window"
}

# Waits up to $1 seconds for vorn to end; its exit status in vorn_status.
wait_vorn() {
    timeout "$1" tail --pid="$vorn_pid" -f /dev/null || fail "vorn did not end within $1 s"
    vorn_status=0
    wait "$vorn_pid" || vorn_status=$?
    cat stderr.txt >&2
}

check_ended_well() {
    [ "$vorn_status" -eq 0 ] || fail "vorn exited with $vorn_status"
    for name in xpos ypos output driver mixer mulaw outputrate; do
        grep -q "^$name=" "$XDG_CONFIG_HOME/vorn/settings" || fail "settings file lacks $name"
    done
    ! grep -q -e DDRAW -e FSOUND stderr.txt || fail "a display or sound failure was reported"
}

if [[ $run != inside_* ]]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cd "$work"
    export XDG_CONFIG_HOME="$work/config"
fi

case $run in
dialog_exit | dialog_run)
    export SDL_AUDIODRIVER=dummy
    unset SDL_VIDEODRIVER
    timeout 170 xvfb-run -a -s "-screen 0 1024x768x24" \
        bash "$0" "inside_${run#dialog_}" "$vorn" "$make_module" "$build_dir" "$source_dir"
    ;;
inside_exit)
    # A module of 60 s: a show started by mistake would outlast the wait below.
    "$make_module" system2.xm 25 16 6 125
    open_dialog
    geometry=$(xdotool getwindowgeometry "$window")
    echo "$geometry"
    grep -q 'Geometry: 609x289' <<<"$geometry" || fail "the dialog is not the template's size"
    import -window root "$build_dir/launcher_dialog.png"
    # The focus starts on "Run DEMO"; the next control is "Exit".
    xdotool key --delay 200 Tab Return
    wait_vorn 20
    check_ended_well
    ! xdotool search --name '^VORN$' >/dev/null 2>&1 || fail "a show window is open"
    ;;
inside_run)
    # 3 orders of 16 rows at 0.06 s: the music lasts 2.88 s.
    "$make_module" system2.xm 3 16 3 125
    open_dialog
    start=$(date +%s%N)
    xdotool key Return
    timeout 30 xdotool search --sync --name '^VORN$' >/dev/null || fail "the show did not start"
    wait_vorn 120
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    check_ended_well
    [ "$elapsed_ms" -ge 2800 ] || fail "the show ended after $elapsed_ms ms, before its music"
    ;;
no_display)
    # An empty DISPLAY names no display either.
    status=0
    env -u WAYLAND_DISPLAY DISPLAY= "$vorn" 2> stderr.txt || status=$?
    cat stderr.txt >&2
    [ "$status" -eq 1 ] || fail "vorn without a display exited with $status"
    [ "$(wc -l < stderr.txt)" -eq 1 ] || fail "not one line"
    grep -q -- '--record' stderr.txt && grep -q -- '--frames' stderr.txt ||
        fail "the line does not point to --record and --frames"
    [ ! -e "$XDG_CONFIG_HOME/vorn/settings" ] || fail "settings written without a dialog"

    # make run on such a machine records instead; a stand-in vorn notes its arguments.
    mkdir fake-build
    printf '#!/bin/sh\necho "$@" > "%s/arguments"\n: > "$2"\n' "$work" > fake-build/vorn
    chmod +x fake-build/vorn
    env -u DISPLAY -u WAYLAND_DISPLAY bash "$source_dir/scripts/run-show" fake-build > said.txt
    cat said.txt
    [ "$(cat arguments)" = "--record fake-build/vorn.mp4" ] || fail "run-show ran: $(cat arguments)"
    grep -q "$work/fake-build/vorn.mp4" said.txt || fail "run-show does not say where the video is"
    ;;
*)
    fail "unknown run $run"
    ;;
esac
echo "ok: $run"
