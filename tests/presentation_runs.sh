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

source "$(dirname "$0")/script_support.sh"
enter_work_directory
unset SDL_VIDEODRIVER

case $run in
windowed_show)
    # No sound device (neither SDL's default driver nor ALSA finds a card):
    # --play says so in one line and plays the show to its end without sound.
    # 3 orders of 16 rows at 0.06 s: the music lasts 2.88 s.
    "$make_module" system2.xm 3 16 3 125
    export SDL_AUDIODRIVER=alsa ALSA_CARD=vorn-no-such-card HOME="$work/home"
    mkdir "$HOME"
    start=$(date +%s%N)
    status=0
    on_xvfb 120 "$vorn" --play --windowed 2>stderr.txt || status=$?
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    cat stderr.txt >&2
    [ "$status" -eq 0 ] || fail "vorn exited with $status"
    [ "$elapsed_ms" -ge 2800 ] || fail "the show ended after $elapsed_ms ms, before its music"
    grep -q '^outputrate=' "$XDG_CONFIG_HOME/vorn/settings" || fail "no settings file written"
    [ "$(cat stderr.txt)" = "vorn: FSOUND: Error initializing output device. The show plays on without sound." ] ||
        fail "not the one line about the sound"

    # Ctrl+C ends the show as Escape does, settings stored; the status says
    # that a signal ended it. 8 orders of 16 rows at 0.12 s: 15 s of music.
    "$make_module" system2.xm 8 16 6 125
    rm "$XDG_CONFIG_HOME/vorn/settings"
    status=0
    on_xvfb 60 bash -c \
        '"$1" --play --windowed --nosound & sleep 2; kill -INT $!; wait $!' _ "$vorn" \
        2> stderr.txt || status=$?
    cat stderr.txt >&2
    [ "$status" -eq 130 ] || fail "vorn ended by SIGINT exited with $status"
    grep -q '^outputrate=' "$XDG_CONFIG_HOME/vorn/settings" || fail "settings not stored"
    [ ! -s stderr.txt ] || fail "vorn said something on stderr"
    ;;
record)
    # 8 orders of 16 rows at 0.12 s: longer than the recording.
    "$make_module" system2.xm 8 16 6 125
    "$vorn" --record out.mp4 --seconds 5 --size 640x400 2>stderr.txt || fail "vorn --record failed"
    streams=$(ffprobe -v error -show_entries stream=codec_type,width,height -of csv=p=0 out.mp4)
    [ "$(echo $streams)" = "video,640,400 audio" ] || fail "streams: $streams"
    [ "$(stat -c %a out.mp4)" = "$(printf %o $((0666 & ~$(umask))))" ] ||
        fail "the recording's permissions are $(stat -c %a out.mp4), not the umask's"
    duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 out.mp4)
    awk -v d="$duration" 'BEGIN { exit !(d >= 4.9 && d <= 5.15) }' ||
        fail "duration $duration is not 5 seconds"
    [ -z "$(ls -A | grep -vx -e out.mp4 -e system2.xm -e stderr.txt)" ] || fail "files left: $(ls -A)"
    # A name that looks like an option is a file name to ffmpeg too.
    "$vorn" --record=-h.mp4 --seconds 0.1 2>/dev/null || fail "vorn --record=-h.mp4 failed"
    [ -s ./-h.mp4 ] || fail "no recording named -h.mp4"
    # Less than half a frame is still one frame, not the whole show.
    "$vorn" --frames tiny --seconds 0.008 2>/dev/null || fail "vorn --frames --seconds 0.008"
    [ "$(ls tiny)" = frame000000.png ] || fail "--seconds 0.008 gave $(ls tiny | wc -l) frames"
    # A start the music never reaches is a wrong command line, said with why.
    status=0
    "$vorn" --frames late --start tunnel 2>stderr.txt || status=$?
    [ "$status" = 2 ] && grep -q 'the music has 8 orders (0 to 7)' stderr.txt && [ ! -e late ] ||
        fail "--start past the music's end: status $status, $(cat stderr.txt)"
    # A loop's every turn starts with the frame its first did: orders 2 and 3
    # are 230.4 frames long, and so are 6 and 7, the song's last, of a loop
    # that runs past its end.
    for orders in 2-3 6-60; do
        rm -rf loop
        "$vorn" --frames loop --loop $orders --seconds 4 2>/dev/null || fail "vorn --loop $orders"
        turns=$(for f in loop/*.png; do if cmp -s loop/frame000000.png "$f"; then echo "$f"; fi; done)
        [ "$(echo $turns)" = "loop/frame000000.png loop/frame000230.png" ] ||
            fail "--loop $orders turns at $turns"
    done
    # PNG frames hold the pixels: twice the size is each pixel doubled.
    "$vorn" --frames small --seconds 0.2 --every 6 2>/dev/null || fail "vorn --frames failed"
    "$vorn" --frames large --seconds 0.2 --every 6 --size 640x400 2>/dev/null || fail "--frames --size"
    [ "$(ls small)" = "$(printf 'frame000000.png\nframe000006.png')" ] || fail "frames: $(ls small)"
    pixels() { ffmpeg -v error -i "$1" -vf "scale=640:400:flags=neighbor" -f rawvideo -pix_fmt rgb24 - | md5sum; }
    [ "$(pixels small/frame000006.png)" = "$(pixels large/frame000006.png)" ] ||
        fail "the 640x400 frame is not the 320x200 frame doubled"
    # On a terminal one line keeps count; without one there is no such line.
    script -qec "\"$vorn\" --record tty.mp4 --seconds 1" /dev/null >tty.txt </dev/null ||
        fail "vorn --record on a terminal failed"
    grep -q 'frame 60 of 60  100%.*real time  0 s left' tty.txt || fail "no progress line: $(cat tty.txt)"
    ! grep -q 'real time' stderr.txt || fail "progress written where no terminal is"
    # The default size holds 1280 x 800, each pixel a 4 x 4 block, shown 4:3.
    # Its frame 30 is the drawn frame in blocks (48.7 dB here; a smooth
    # enlargement of it measures 41.4 dB).
    shape=$(ffprobe -v error -select_streams v -show_entries \
        stream=width,height,sample_aspect_ratio,display_aspect_ratio -of csv=p=0 tty.mp4)
    [ "$shape" = "1280,800,5:6,4:3" ] || fail "the recording is $shape"
    "$vorn" --frames drawn --seconds 0.6 --every 30 2>/dev/null || fail "vorn --frames failed"
    psnr=$(ffmpeg -v info -i tty.mp4 -i drawn/frame000030.png -lavfi \
        "[0:v]select=eq(n\,30),format=yuv444p[v];[1:v]scale=1280:800:flags=neighbor,format=yuv444p[d];[v][d]psnr" \
        -f null - 2>&1 | sed -n 's/.*average:\([0-9.]*\).*/\1/p')
    awk -v p="$psnr" 'BEGIN { exit !(p >= 45) }' || fail "frame 30 is not sharp blocks: PSNR '$psnr' dB"
    rm -r drawn
    # A whole show ends its line at the real total, with the size of the file:
    # 2 orders of 16 rows at tempo 129 last 111.6 frames, and 111 are drawn.
    mkdir whole
    (cd whole && "$make_module" system2.xm 2 16 3 129 &&
        script -qec "\"$vorn\" --record whole.mp4" /dev/null >tty.txt </dev/null) ||
        fail "vorn --record of a whole show failed"
    last=$(tr '\r' '\n' <whole/tty.txt | grep 'real time' | tail -n 1)
    [[ $last =~ ^frame\ ([0-9]+)\ of\ ([0-9]+)\ \ 100%.*\ [0-9]+\.[0-9]\ MB ]] &&
        [ "${BASH_REMATCH[1]}" = "${BASH_REMATCH[2]}" ] || fail "the last progress line: $last"
    grep -q "recorded to whole.mp4 ([0-9]*\.[0-9] MB)" whole/tty.txt || fail "$(cat whole/tty.txt)"
    rm -r whole
    # An encoder that never reads its input stops the recording with one line.
    mkdir stuck && printf '#!/bin/sh\nexec sleep 60\n' >stuck/ffmpeg && chmod +x stuck/ffmpeg
    status=0
    PATH="$PWD/stuck:$PATH" timeout 40 "$vorn" --record stuck.mp4 --seconds 5 2>stuck.txt || status=$?
    [ "$status" -eq 1 ] || fail "a stuck encoder gave status $status"
    grep -q 'ffmpeg read nothing for 10 s' stuck.txt || fail "no message for a stuck encoder"
    # One that ends at once fails the recording at once, with its own line.
    printf '#!/bin/sh\nexit 1\n' >stuck/ffmpeg
    status=0
    PATH="$PWD/stuck:$PATH" timeout 30 "$vorn" --record gone.mp4 --seconds 5 2>gone.txt || status=$?
    [ "$status" -eq 1 ] || fail "an encoder that ended gave status $status"
    grep -qx 'vorn: ffmpeg could not write gone.mp4' gone.txt || fail "$(cat gone.txt)"
    # A recording over a good file, stopped by a signal: the good file stays as
    # it was, what was made is kept as partial, one line says so. 64 orders:
    # the music outlasts the wait.
    "$make_module" system2.xm 64 16 6 125
    cp out.mp4 good.mp4
    status=0
    "$vorn" --record out.mp4 2>stopped.txt &
    sleep 3
    kill -TERM $!
    wait $! || status=$?
    [ "$status" -eq 143 ] || fail "a recording ended by SIGTERM exited with $status"
    cmp -s out.mp4 good.mp4 || fail "the file recorded over was changed"
    [ "$(grep -c 'stopped after .*out.partial.mp4' stopped.txt)" = 1 ] || fail "$(cat stopped.txt)"
    ffprobe -v error out.partial.mp4 || fail "the partial recording cannot be read"
    [ -z "$(find . -name '*.tmp-*')" ] || fail "temporary files left: $(ls -A)"
    # Stopped again: numbered beside the older partial one, which stays.
    cp out.partial.mp4 first.mp4
    "$vorn" --record out.mp4 2>stopped.txt &
    sleep 3
    kill -TERM $!
    wait $! || true
    grep -q 'stopped after .*out.partial-2.mp4$' stopped.txt || fail "$(cat stopped.txt)"
    cmp -s out.partial.mp4 first.mp4 || fail "the older partial recording was replaced"
    # A second signal ends the run at once, and still leaves no temporary;
    # one a killed run left is removed by the next recording to the name.
    "$vorn" --record out.mp4 2>/dev/null &
    sleep 3
    kill -TERM $!
    kill -TERM $!
    wait $! || true
    [ -z "$(find . -name '*.tmp-*')" ] || fail "a second signal left temporary files: $(ls -A)"
    printf 'left' >.out.mp4.tmp-AbCdEf.mp4
    "$vorn" --record out.mp4 --seconds 0.1 2>/dev/null || fail "vorn --record failed"
    [ -z "$(find . -name '*.tmp-*')" ] || fail "an abandoned temporary stayed: $(ls -A)"
    ;;
full_screen_keys)
    on_xvfb 150 bash "$0" inside_full_screen_keys "$vorn" "$make_module" "$build_dir"
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
