#!/usr/bin/env bash
# Whole-program runs of the configuration dialog, in a fresh directory with its
# own home and settings folder: --nosound, Exit and SIGTERM (dialog_exit); no
# sound device: the message once, then no sound shown and stored alike, no box
# at the next start, the output offered again once it works, and a show whose
# output fails (dialog_run); no display at all (no_display).
#   launcher_runs.sh dialog_exit|dialog_run|no_display VORN MAKE_TEST_MODULE BUILD_DIR SOURCE_DIR
# The dialog runs start an Xvfb server and run this script again inside it
# (inside_exit, inside_run), where xdotool types on the dialog.
set -euo pipefail
run=$1 vorn=$2 make_module=$3 build_dir=$4 source_dir=$5

source "$(dirname "$0")/script_support.sh"

# Waits up to 30 s for a visible window of that exact name (any window of it
# with --any); its id in found. A search while other windows come and go can
# fail: it is tried again.
find_window() {
    local only=--onlyvisible
    [ "$1" = --any ] && only= && shift
    for _ in $(seq 60); do
        found=$(xdotool search $only --name "^$1\$" 2>/dev/null | head -n 1) || true
        [ -n "$found" ] && return 0
        sleep 0.5
    done
    return 1
}

# Starts vorn with the given options, waits for its dialog, and gives the
# dialog the keyboard. With SOUND_MESSAGE set, vorn first shows the sound
# message: its picture is kept there (unless it is "-") and it is answered.
open_dialog() {
    "$vorn" "$@" 2> stderr.txt &
    vorn_pid=$!
    if [ -n "${SOUND_MESSAGE:-}" ]; then
        find_window FSOUND || fail "no sound message"
        local box=$found
        sleep 1
        [ "$SOUND_MESSAGE" = - ] || import -window root "$SOUND_MESSAGE"
        xdotool windowfocus --sync "$box" key Return
    fi
    find_window 'Vorn Demo Configuration' || fail "the dialog did not open"
    window=$found
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

check_settings_stored() {
    for name in xpos ypos output driver mixer mulaw outputrate; do
        grep -q "^$name=" "$XDG_CONFIG_HOME/vorn/settings" || fail "settings file lacks $name"
    done
}

# Exit, from the dialog's keyboard: the focus starts on "Run DEMO" and the
# next control is "Exit".
press_exit() {
    xdotool key --delay 200 Tab Return
}

# Fails unless the settings file holds exactly these lines of the sound output.
check_stored_output() {
    local stored
    stored=$(grep -E '^(output|lostoutput)=' "$XDG_CONFIG_HOME/vorn/settings" | tr '\n' ' ')
    [ "$stored" = "$1" ] || fail "stored '$stored', not '$1'"
}

# Exit status 0, the settings stored, and not a word on stderr.
check_ended_well() {
    [ "$vorn_status" -eq 0 ] || fail "vorn exited with $vorn_status"
    check_settings_stored
    [ ! -s stderr.txt ] || fail "vorn said something on stderr"
}

# Clicks at (x, y) of the dialog window.
click_at() {
    xdotool mousemove --window "$window" "$1" "$2" click 1
    sleep 0.5
}

if [[ $run != inside_* ]]; then
    enter_work_directory
    export HOME="$work/home"
    mkdir "$HOME"
fi

case $run in
dialog_exit | dialog_run)
    export SDL_AUDIODRIVER=dummy
    unset SDL_VIDEODRIVER ALSA_CARD
    on_xvfb 170 bash "$0" "inside_${run#dialog_}" "$vorn" "$make_module" "$build_dir" "$source_dir"
    ;;
inside_exit)
    # A module of 60 s: a show started by mistake would outlast the waits below.
    "$make_module" system2.xm 25 16 6 125
    # --nosound goes straight to the dialog, though the stored output (ALSA,
    # device 2) cannot open here, and keeps that setting.
    mkdir -p "$XDG_CONFIG_HOME/vorn"
    printf 'output=1\ndriver=2\n' > "$XDG_CONFIG_HOME/vorn/settings"
    SDL_AUDIODRIVER=no-such-driver open_dialog --nosound
    ! xdotool search --name '^FSOUND$' >/dev/null 2>&1 || fail "a sound message was shown"
    geometry=$(xdotool getwindowgeometry "$window")
    echo "$geometry"
    grep -q 'Geometry: 609x289' <<<"$geometry" || fail "the dialog is not the template's size"
    import -window root "$build_dir/launcher_dialog.png"
    press_exit
    wait_vorn 20
    check_ended_well
    grep -qx 'output=1' "$XDG_CONFIG_HOME/vorn/settings" &&
        grep -qx 'driver=2' "$XDG_CONFIG_HOME/vorn/settings" || fail "the stored output changed"
    ! xdotool search --name '^VORN$' >/dev/null 2>&1 || fail "a show window is open"

    # SIGTERM ends the dialog as "Exit" does, and says so in the exit status.
    rm "$XDG_CONFIG_HOME/vorn/settings"
    open_dialog
    kill -TERM "$vorn_pid"
    wait_vorn 10
    [ "$vorn_status" -eq 143 ] || fail "vorn ended by SIGTERM exited with $vorn_status"
    check_settings_stored
    ;;
inside_run)
    # No sound device: neither SDL's default driver nor ALSA finds a card.
    export SDL_AUDIODRIVER=alsa ALSA_CARD=vorn-no-such-card
    # 3 orders of 16 rows at 0.06 s: the music lasts 2.88 s.
    "$make_module" system2.xm 3 16 3 125
    SOUND_MESSAGE=$build_dir/launcher_sound_message.png open_dialog
    # The dialog on no sound, a line under the lists saying why.
    import -window root "$build_dir/launcher_dialog_no_sound.png"
    start=$(date +%s%N)
    xdotool key Return
    # The dialog is off the screen once the show's window is there.
    find_window --any VORN || fail "no show window"
    ! xdotool search --onlyvisible --name '^Vorn Demo Configuration$' >/dev/null 2>&1 ||
        fail "the dialog stays on the screen over the show"
    wait_vorn 120
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    check_ended_well
    [ "$elapsed_ms" -ge 2800 ] || fail "the show ended after $elapsed_ms ms, before its music"
    # What was shown is stored, with the output it replaced.
    check_stored_output "output=3 lostoutput=2 "

    # The next start shows no box: the lost output is tried quietly, and
    # Exit keeps no sound.
    open_dialog
    sleep 1
    ! xdotool search --onlyvisible --name '^FSOUND$' >/dev/null 2>&1 || fail "a box at the next start"
    press_exit
    wait_vorn 20
    check_ended_well
    check_stored_output "output=3 lostoutput=2 "

    # Where the sound server works again it is offered, with one line and no
    # box, and Exit stores it.
    SDL_AUDIODRIVER=dummy open_dialog
    ! xdotool search --onlyvisible --name '^FSOUND$' >/dev/null 2>&1 || fail "a box for the sound back"
    import -window root "$build_dir/launcher_dialog_sound_back.png"
    press_exit
    wait_vorn 20
    check_ended_well
    check_stored_output "output=2 "

    # Choosing ALSA again and "Run DEMO": the show cannot open it and the
    # program ends with status 1.
    SOUND_MESSAGE=- open_dialog
    # The output list: a click gives it the keyboard (Escape closes its menu),
    # and Up goes from "No sound" to ALSA.
    click_at 150 45
    xdotool key --delay 300 Escape Up
    sleep 0.5
    click_at 475 131 # "Run DEMO"
    for _ in $(seq 20); do
        kill -0 "$vorn_pid" 2>/dev/null || break
        # Where the desktop shows the show's message in a box, it is dismissed.
        box=$(xdotool search --onlyvisible --name '^FSOUND$' 2>/dev/null | head -n 1) || true
        [ -z "$box" ] || xdotool windowfocus --sync "$box" key Return || true
        sleep 1
    done
    wait_vorn 10
    [ "$vorn_status" -eq 1 ] || fail "a show without its sound output exited with $vorn_status"
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
    # The show without the dialog needs a display as well, and one named that
    # does not open is none.
    for display in "" :1979; do
        status=0
        env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY=$display "$vorn" --play 2> stderr.txt ||
            status=$?
        cat stderr.txt >&2
        [ "$status" -eq 1 ] || fail "vorn --play on display '$display' exited with $status"
        [ "$(wc -l < stderr.txt)" -eq 1 ] || fail "not one line"
    done

    # make run on such a machine records instead; a stand-in vorn notes its arguments.
    mkdir fake-build
    printf '#!/bin/sh\necho "$@" > "%s/arguments"\n: > "$2"\n' "$work" > fake-build/vorn
    chmod +x fake-build/vorn
    env -u DISPLAY -u WAYLAND_DISPLAY bash "$source_dir/scripts/run-show" fake-build > said.txt
    cat said.txt
    [ "$(cat arguments)" = "--record fake-build/vorn.mp4" ] || fail "run-show ran: $(cat arguments)"
    grep -q "$work/fake-build/vorn.mp4 (0.0 MB)" said.txt ||
        fail "run-show does not say where the video is and its size"
    ! grep -qE 'ffplay|play it' said.txt || fail "run-show suggests a player on a machine without a display"
    ;;
*)
    fail "unknown run $run"
    ;;
esac
echo "ok: $run"
