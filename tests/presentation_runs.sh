#!/usr/bin/env bash
# Whole-program runs of vorn on a short test module, in a fresh directory with
# its own settings folder.
#   presentation_runs.sh windowed_show|record|full_screen_keys VORN MAKE_TEST_MODULE [BUILD_DIR]
# full_screen_keys starts an Xvfb server and runs this script again inside it
# (inside_full_screen_keys), where xdotool presses the show's keys.
set -euo pipefail
run=$1
vorn=$2
make_module=$3
build_dir=${4:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_CONFIG_HOME="$work/config"
unset SDL_VIDEODRIVER

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

case $run in
windowed_show)
    # 3 orders of 16 rows at 0.06 s: the music lasts 2.88 s.
    "$make_module" system2.xm 3 16 3 125
    export SDL_AUDIODRIVER=dummy
    start=$(date +%s%N)
    status=0
    timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$vorn" --play --windowed \
        2> stderr.txt || status=$?
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    cat stderr.txt >&2
    [ "$status" -eq 0 ] || fail "vorn exited with $status"
    [ "$elapsed_ms" -ge 2800 ] || fail "the show ended after $elapsed_ms ms, before its music"
    [ -s "$XDG_CONFIG_HOME/vorn/settings" ] || fail "no settings file written"
    grep -q '^outputrate=' "$XDG_CONFIG_HOME/vorn/settings" || fail "settings file incomplete"
    ! grep -q -e DDRAW -e FSOUND stderr.txt || fail "a display or sound failure was reported"
    ;;
record)
    # 8 orders of 16 rows at 0.12 s: longer than the recording.
    "$make_module" system2.xm 8 16 6 125
    "$vorn" --record out.mp4 --seconds 5 --size 640x400 || fail "vorn --record failed"
    info=$(ffprobe -v error -show_entries stream=codec_type,width,height \
        -show_entries format=duration -of default=noprint_wrappers=1 out.mp4)
    echo "$info"
    grep -qx 'codec_type=video' <<<"$info" || fail "no video stream"
    grep -qx 'codec_type=audio' <<<"$info" || fail "no audio stream"
    grep -qx 'width=640' <<<"$info" || fail "wrong width"
    grep -qx 'height=400' <<<"$info" || fail "wrong height"
    duration=$(sed -n 's/^duration=//p' <<<"$info")
    awk -v d="$duration" 'BEGIN { exit !(d >= 4.9 && d <= 5.15) }' ||
        fail "duration $duration is not 5 seconds"
    [ ! -e out.mp4.video.mkv ] && [ ! -e out.mp4.audio.raw ] || fail "temporary files left"
    ;;
full_screen_keys)
    timeout 150 xvfb-run -a -s "-screen 0 1024x768x24" \
        bash "$0" inside_full_screen_keys "$vorn" "$make_module" "$build_dir"
    ;;
inside_full_screen_keys)
    # 8 orders of 16 rows at 0.12 s: 15 s, longer than the keys below.
    "$make_module" system2.xm 8 16 6 125
    export SDL_AUDIODRIVER=dummy
    "$vorn" --play --windowed 2>stderr.txt &
    vorn_pid=$!
    window=$(timeout 30 xdotool search --sync --name '^VORN$' | head -n 1) ||
        fail "the show window did not open"
    sleep 0.5
    xdotool windowfocus --sync "$window"
    size() { xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p'; }
    expect_size() {
        sleep 0.7
        [ "$(size)" = "$1" ] || fail "after $2 the window is $(size), not $1"
    }
    windowed=$(size)
    [ "$windowed" != 1024x768 ] || fail "the windowed show covers the screen"
    xdotool key F11
    expect_size 1024x768 F11
    xdotool key F11
    expect_size "$windowed" "F11 again"
    xdotool key alt+Return
    expect_size 1024x768 Alt+Enter
    xdotool key F1
    sleep 0.5
    [ -z "$build_dir" ] || import -window root "$build_dir/show_key_overlay.png"
    xdotool key alt+Return
    expect_size "$windowed" "Alt+Enter again"
    xdotool key Escape
    timeout 20 tail --pid="$vorn_pid" -f /dev/null || fail "Escape did not end the show"
    status=0
    wait "$vorn_pid" || status=$?
    cat stderr.txt >&2
    [ "$status" -eq 0 ] || fail "vorn exited with $status"
    ;;
*)
    fail "unknown run $run"
    ;;
esac
echo "ok: $run"
