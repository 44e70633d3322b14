// The page's sound: the audio context with the worklet that plays the show's
// samples (sound-worklet.js) behind a gain for sound off and on, the feed
// that keeps it SOUND_AHEAD seconds ahead from the engine's sound device, and
// the sample frame being heard by the audio clock. vorn.js uses it as
// window.vornSound.
'use strict';

(() => {
    const SOUND_RATE = 44100; // the rate the native show renders at
    const SOUND_AHEAD = 0.25; // seconds of sound queued in the worklet
    const SOUND_CHUNK = 4096; // frames asked of the engine at a time
    const SOUND_WAIT_MS = 2500; // an audio output not playing by then has none
    const SOUND_FADE_S = 0.02; // sound off and on, and after a pause of the output
    // Firefox answers the first question of its output's latency (what
    // getOutputTimestamp and outputLatency ask) by a call to the sound server
    // made holding the audio graph's lock, and freezes the page for good when
    // that call meets an audio callback under way (one start in six or so on
    // PulseAudio). There the heard frame is taken from the graph's own clock,
    // which runs ahead of the speakers by the output's latency.
    const ASKS_OUTPUT_LATENCY = !/\bFirefox\//.test(navigator.userAgent);

    function rejectAfter(ms, text) {
        return new Promise((resolve, reject) => setTimeout(() => reject(new Error(text)), ms));
    }

    function untilRunning(context) {
        if (context.state === 'running') return Promise.resolve();
        return new Promise((resolve) => {
            context.addEventListener('statechange', () => {
                if (context.state === 'running') resolve();
            });
        });
    }

    // The audio context is made and resumed inside the click or touch that
    // asked for sound (the browsers' rule: open is called there, and runs to
    // its first wait at once); the rest may come later, and must come within
    // SOUND_WAIT_MS, or the context is closed again.
    async function open(muted) {
        const context = new AudioContext({sampleRate: SOUND_RATE, latencyHint: 'playback'});
        context.resume().catch(() => {});
        try {
            await Promise.race([
                (async () => {
                    await context.audioWorklet.addModule('sound-worklet.js');
                    await untilRunning(context);
                })(),
                rejectAfter(SOUND_WAIT_MS, 'no sound output started'),
            ]);
            const node = new AudioWorkletNode(context, 'vorn-sound',
                {numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2]});
            const gain = new GainNode(context, {gain: muted ? 0 : 1});
            node.connect(gain).connect(context.destination);
            const audio = {context, node, gain, sent: 0, report: {frame: 0, time: 0}, underruns: 0};
            node.port.onmessage = (event) => {
                audio.report = {frame: event.data.frame, time: event.data.time};
                audio.underruns = event.data.underruns;
            };
            return audio;
        } catch (error) {
            context.close().catch(() => {});
            throw error;
        }
    }

    function close(audio) {
        audio.context.close().catch(() => {});
    }

    // The sound's level from its time now: quick enough to feel at once,
    // slow enough to make no click.
    function fade(audio, level, from = audio.gain.gain.value) {
        const now = audio.context.currentTime;
        audio.gain.gain.cancelScheduledValues(now);
        audio.gain.gain.setValueAtTime(from, now);
        audio.gain.gain.linearRampToValueAtTime(level, now + SOUND_FADE_S);
    }

    // Keeps SOUND_AHEAD seconds queued past the frame the worklet plays now.
    function feed(audio, engine) {
        const rate = audio.context.sampleRate;
        const playing = audio.report.frame + Math.max(0, audio.context.currentTime - audio.report.time) * rate;
        let wanted = Math.floor(playing + SOUND_AHEAD * rate - audio.sent);
        while (wanted > 0) {
            const frames = engine._vorn_web_sound_render(Math.min(wanted, SOUND_CHUNK));
            if (frames === 0) break;
            const at = engine._vorn_web_sound_buffer() >> 1;
            const samples = engine.HEAP16.slice(at, at + 2 * frames);
            audio.node.port.postMessage({samples}, [samples.buffer]);
            audio.sent += frames;
            wanted -= frames;
        }
    }

    // The sample frame leaving the speakers now, by the audio clock.
    function heardFrame(audio) {
        const context = audio.context;
        const now = ASKS_OUTPUT_LATENCY ? context.getOutputTimestamp().contextTime
            : context.currentTime - context.baseLatency;
        const frame = audio.report.frame + (now - audio.report.time) * context.sampleRate;
        return Math.min(Math.max(frame, 0), audio.sent);
    }

    window.vornSound = {open, close, fade, feed, heardFrame};
})();
