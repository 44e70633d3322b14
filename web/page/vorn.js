// The page's side of the show: loads the engine (vorn-engine.wasm) with a
// progress bar, offers the start screen, and then runs the frame loop. The
// engine draws each 320 x 200 RGBA frame and renders the sound; this file only
// puts the frame on the canvas (whole-multiple nearest-neighbour, then smooth
// to 4:3), hands keys and dropped files to the engine, and keeps the sound
// worklet fed, telling the engine which sample frame is being heard.
// The engine's exports (C names, see web/README.md) are called directly.
'use strict';

(() => {
    const FRAME_WIDTH = 320;
    const FRAME_HEIGHT = 200;
    const SOUND_RATE = 44100; // the rate the native show renders at
    const SOUND_AHEAD = 0.25; // seconds of sound queued in the worklet
    const SOUND_CHUNK = 4096; // frames asked of the engine at a time
    // The engine's two builds, the same show to the byte: with WebAssembly
    // SIMD, which draws faster, where the browser has it, else without it.
    // ?engine=plain or ?engine=simd asks for one.
    const ENGINES = {plain: 'vorn-engine', simd: 'vorn-engine-simd'};
    // The smallest module with a SIMD instruction: one function returning
    // i32x4.splat of 0, which validates only where WebAssembly has SIMD.
    const SIMD_PROBE = new Uint8Array([
        0, 97, 115, 109, 1, 0, 0, 0, // the header
        1, 5, 1, 96, 0, 1, 123, // a type: no parameters, one v128 result
        3, 2, 1, 0, // one function of that type
        10, 8, 1, 6, 0, 65, 0, 253, 17, 11, // its body: i32.const 0, i32x4.splat, end
    ]);
    // Keys the engine hears (its vorn_web_key codes); F and full screen stay here.
    const KEY_CODES = {
        Space: 1, ArrowLeft: 2, ArrowRight: 3, PageUp: 4, PageDown: 5,
        Enter: 6, NumpadEnter: 6, F1: 7, Escape: 8,
    };

    const state = {
        phase: 'loading', // loading, start, playing, error
        engine: null,
        engineName: '', // plain or simd: the build loaded
        audio: null, // {context, node, sent, report: {frame, time}, underruns}
        files: new Map(), // dropped files by name: Uint8Array
        frames: 0, // frames drawn since the show started
        onFrame: null, // called after each frame is on the canvas (tests)
        error: '',
    };

    const $ = (id) => document.getElementById(id);
    const screen = $('screen');
    const screenContext = screen.getContext('2d');
    const frameCanvas = document.createElement('canvas'); // the engine's frame, 1:1
    frameCanvas.width = FRAME_WIDTH;
    frameCanvas.height = FRAME_HEIGHT;
    const frameContext = frameCanvas.getContext('2d');
    const frameImage = frameContext.createImageData(FRAME_WIDTH, FRAME_HEIGHT);
    const blockCanvas = document.createElement('canvas'); // whole multiples, sharp
    const blockContext = blockCanvas.getContext('2d');

    // --- panels -----------------------------------------------------------
    function showPanel(name) {
        for (const id of ['loading', 'start', 'error']) $(id).hidden = id !== name;
        screen.hidden = name !== null;
    }

    function fail(text) {
        if (state.phase === 'error') return;
        state.phase = 'error';
        state.error = text;
        closeSound();
        $('error-text').textContent = text;
        showPanel('error');
    }

    function engineError() {
        const text = state.engine.UTF8ToString(state.engine._vorn_web_error());
        return text || 'no reason given';
    }

    function setProgress(fraction, text) {
        $('bar-fill').style.width = `${Math.round(100 * Math.min(1, fraction))}%`;
        if (text) $('loading-text').textContent = text;
    }

    // --- loading ----------------------------------------------------------
    async function fetchWithProgress(url, onProgress) {
        const response = await fetch(url);
        if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
        const total = Number(response.headers.get('Content-Length')) || 0;
        if (!response.body || !total) return new Uint8Array(await response.arrayBuffer());
        const reader = response.body.getReader();
        const bytes = new Uint8Array(total);
        let done = 0;
        for (;;) {
            const {value, done: ended} = await reader.read();
            if (ended) break;
            bytes.set(value, done);
            done += value.length;
            onProgress(done / total);
        }
        return bytes;
    }

    function loadScript(src) {
        return new Promise((resolve, reject) => {
            const script = document.createElement('script');
            script.src = src;
            script.onload = resolve;
            script.onerror = () => reject(new Error(`${src} could not be loaded`));
            document.head.appendChild(script);
        });
    }

    function engineName() {
        const asked = new URLSearchParams(window.location.search).get('engine');
        if (asked in ENGINES) return asked;
        return WebAssembly.validate(SIMD_PROBE) ? 'simd' : 'plain';
    }

    async function load() {
        if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
            fail('This browser cannot run WebAssembly, which the show is made of.');
            return;
        }
        try {
            state.engineName = engineName();
            const file = ENGINES[state.engineName];
            const wasm = await fetchWithProgress(`${file}.wasm`, (f) => setProgress(0.9 * f));
            setProgress(0.9, 'Starting…');
            await loadScript(`${file}.js`);
            const engine = await window.createVornEngine({
                wasmBinary: wasm,
                onAbort: (what) => fail(`The engine stopped: ${what}`),
                // The show's warnings (a wrong file, no sound): on the page.
                printErr: (line) => addWarning(line),
                print: (line) => console.log(line),
            });
            state.engine = engine;
            if (engine._vorn_web_init() !== 0) {
                fail(`The engine could not start: ${engineError()}`);
                return;
            }
            for (const [name, data] of state.files) handFile(name, data);
            setProgress(1);
            showStart();
        } catch (error) {
            fail(`The show could not be loaded: ${error.message}`);
        }
    }

    // --- start screen -----------------------------------------------------
    function soundProblem() {
        if (!window.AudioContext) return 'This browser has no Web Audio (AudioContext)';
        if (!window.AudioWorkletNode) {
            return window.isSecureContext ? 'This browser has no AudioWorklet'
                : 'Sound needs the page served from this machine (127.0.0.1) or over https';
        }
        return '';
    }

    function addWarning(line) {
        console.warn(line);
        const item = document.createElement('li');
        item.textContent = line;
        $('warnings').appendChild(item);
    }

    function showNote(text) {
        $('sound-note').textContent = text;
        $('sound-note').hidden = !text;
    }

    function fillSceneList() {
        const list = $('scene-list');
        const text = state.engine.UTF8ToString(state.engine._vorn_web_scene_list());
        list.replaceChildren();
        const first = document.createElement('li');
        first.textContent = 'from the beginning';
        first.dataset.order = '-1';
        list.appendChild(first);
        for (const line of text.split('\n')) {
            const [order, name, seconds] = line.split('\t');
            if (!name) continue;
            const item = document.createElement('li');
            const s = Math.floor(Number(seconds) || 0);
            item.textContent = `${name} (${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')})`;
            item.dataset.order = order;
            list.appendChild(item);
        }
    }

    function showStart() {
        state.phase = 'start';
        const problem = soundProblem();
        $('play').disabled = Boolean(problem);
        showNote(problem ? `${problem}, so the show can only play without sound.` : '');
        fillSceneList();
        showPanel('start');
    }

    // --- sound --------------------------------------------------------------
    async function openSound() {
        const context = new AudioContext({sampleRate: SOUND_RATE, latencyHint: 'playback'});
        try {
            await context.audioWorklet.addModule('sound-worklet.js');
            const node = new AudioWorkletNode(context, 'vorn-sound',
                {numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2]});
            node.connect(context.destination);
            const audio = {context, node, sent: 0, report: {frame: 0, time: 0}, underruns: 0};
            node.port.onmessage = (event) => {
                audio.report = {frame: event.data.frame, time: event.data.time};
                audio.underruns = event.data.underruns;
            };
            await context.resume();
            return audio;
        } catch (error) {
            context.close();
            throw error;
        }
    }

    function closeSound() {
        if (!state.audio) return;
        state.audio.context.close();
        state.audio = null;
    }

    // Keeps SOUND_AHEAD seconds queued past the frame the worklet plays now.
    function feedSound(audio) {
        const engine = state.engine;
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
        const stamp = audio.context.getOutputTimestamp();
        const frame = audio.report.frame + (stamp.contextTime - audio.report.time) * audio.context.sampleRate;
        return Math.min(Math.max(frame, 0), audio.sent);
    }

    // --- the show -----------------------------------------------------------
    async function start(withSound, order = -1) {
        if (state.phase !== 'start') return;
        let rate = 0;
        if (withSound) {
            try {
                state.audio = await openSound();
                rate = state.audio.context.sampleRate;
            } catch (error) {
                showNote(`The sound could not be opened (${error.message}); try "Play without sound".`);
                return;
            }
        }
        $('warnings').replaceChildren();
        state.engine._vorn_web_use_builtin($('no-builtin').checked ? 0 : 1);
        if (state.engine._vorn_web_start(rate, order) !== 0) {
            fail(`The show could not start: ${engineError()}`);
            return;
        }
        state.phase = 'playing';
        state.frames = 0;
        showPanel(null);
        resizeScreen();
        tick(performance.now()); // the first frame at once: never an empty canvas
    }

    function endShow() {
        closeSound();
        if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
        showStart();
    }

    function tick(now) {
        if (state.phase !== 'playing') return;
        const engine = state.engine;
        let going;
        try {
            if (state.audio) {
                feedSound(state.audio);
                engine._vorn_web_sound_heard(heardFrame(state.audio));
            }
            going = engine._vorn_web_frame(now);
            drawFrame();
            state.frames++;
            if (state.onFrame) state.onFrame();
        } catch (error) {
            fail(`The show stopped: ${error.message}`);
            return;
        }
        if (going) requestAnimationFrame(tick);
        else endShow();
    }

    // --- the picture --------------------------------------------------------
    function drawFrame() {
        const engine = state.engine;
        const at = engine._vorn_web_pixels();
        frameImage.data.set(engine.HEAPU8.subarray(at, at + FRAME_WIDTH * FRAME_HEIGHT * 4));
        frameContext.putImageData(frameImage, 0, 0);
        blockContext.imageSmoothingEnabled = false;
        blockContext.drawImage(frameCanvas, 0, 0, blockCanvas.width, blockCanvas.height);
        // From whole multiples the last step enlarges by less than two: plain
        // bilinear ('low') is enough there and costs half of 'high'.
        screenContext.imageSmoothingEnabled = true;
        screenContext.imageSmoothingQuality = 'low';
        screenContext.drawImage(blockCanvas, 0, 0, screen.width, screen.height);
    }

    // The largest 4:3 box in the window, in device pixels; the frame is first
    // enlarged by whole multiples (sharp blocks), then smoothly to that box.
    function resizeScreen() {
        const ratio = window.devicePixelRatio || 1;
        const box = $('stage').getBoundingClientRect();
        let width = box.width;
        let height = (width * 3) / 4;
        if (height > box.height) {
            height = box.height;
            width = (height * 4) / 3;
        }
        screen.style.width = `${Math.floor(width)}px`;
        screen.style.height = `${Math.floor(height)}px`;
        screen.width = Math.max(1, Math.round(Math.floor(width) * ratio));
        screen.height = Math.max(1, Math.round(Math.floor(height) * ratio));
        blockCanvas.width = FRAME_WIDTH * Math.max(1, Math.floor(screen.width / FRAME_WIDTH));
        blockCanvas.height = FRAME_HEIGHT * Math.max(1, Math.floor(screen.height / FRAME_HEIGHT));
        if (state.phase === 'playing') drawFrame();
    }

    function toggleFullScreen() {
        if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
        else $('stage').requestFullscreen().catch(() => {});
    }

    // --- keys -------------------------------------------------------------------
    function onKey(event, down) {
        if (state.phase !== 'playing' || event.ctrlKey || event.altKey || event.metaKey) return;
        if (event.code === 'KeyF') {
            if (down && !event.repeat) toggleFullScreen();
            event.preventDefault();
            return;
        }
        const key = KEY_CODES[event.code];
        if (!key) return;
        event.preventDefault();
        // In full screen the browser takes Escape to leave it; a held key acts once.
        if (key === KEY_CODES.Escape && document.fullscreenElement) return;
        if (down && !event.repeat) state.engine._vorn_web_key(key);
    }

    // --- dropped files ----------------------------------------------------------
    function handFile(name, data) {
        const engine = state.engine;
        const nameSize = engine.lengthBytesUTF8(name) + 1;
        const namePointer = engine._malloc(nameSize);
        const dataPointer = engine._malloc(Math.max(1, data.length));
        engine.stringToUTF8(name, namePointer, nameSize);
        engine.HEAPU8.set(data, dataPointer);
        engine._vorn_web_add_file(namePointer, dataPointer, data.length);
        engine._free(dataPointer);
        engine._free(namePointer);
    }

    function listFiles() {
        const list = $('file-list');
        list.replaceChildren();
        for (const [name, data] of state.files) {
            const item = document.createElement('li');
            item.textContent = `${name} (${Math.ceil(data.length / 1024)} KB)`;
            list.appendChild(item);
        }
    }

    async function addFiles(files) {
        for (const file of files) {
            const data = new Uint8Array(await file.arrayBuffer());
            state.files.set(file.name, data);
            if (state.engine) handFile(file.name, data);
        }
        listFiles();
    }

    // --- wiring -----------------------------------------------------------------
    $('play').addEventListener('click', () => start(true));
    $('play-silent').addEventListener('click', () => start(false));
    $('scene-list').addEventListener('click', (event) => {
        const item = event.target.closest('li');
        if (item) start(!$('play').disabled, Number(item.dataset.order));
    });
    document.addEventListener('keydown', (event) => onKey(event, true));
    document.addEventListener('keyup', (event) => onKey(event, false));
    document.addEventListener('dragover', (event) => {
        event.preventDefault();
        $('start').classList.add('dropping');
    });
    document.addEventListener('dragleave', () => $('start').classList.remove('dropping'));
    document.addEventListener('drop', (event) => {
        event.preventDefault();
        $('start').classList.remove('dropping');
        addFiles(event.dataTransfer.files).catch((error) => showNote(`A file could not be read: ${error.message}`));
    });
    window.addEventListener('resize', resizeScreen);
    document.addEventListener('fullscreenchange', resizeScreen);
    window.addEventListener('error', (event) => fail(`The page failed: ${event.message}`));
    window.addEventListener('unhandledrejection', (event) => fail(`The page failed: ${event.reason}`));

    // For the test driver (web/test/run.mjs) and the console.
    window.vorn = {
        state,
        start,
        addFiles,
        drawFrame,
        heardFrame: () => (state.audio ? heardFrame(state.audio) : -1),
        // The engine's frame and the 1:1 canvas, as RGBA bytes.
        enginePixels: () => {
            const at = state.engine._vorn_web_pixels();
            return Array.from(state.engine.HEAPU8.subarray(at, at + FRAME_WIDTH * FRAME_HEIGHT * 4));
        },
        canvasPixels: () => Array.from(frameContext.getImageData(0, 0, FRAME_WIDTH, FRAME_HEIGHT).data),
    };

    showPanel('loading');
    load();
})();
