// The page's side of the engine: loads it (vorn-engine.wasm) with a progress
// bar, then the built-in pack (demo.qxd) behind it, starts and ends the show,
// and runs the frame loop. The engine draws each 320 x 200 RGBA frame and
// renders the sound; this file puts the frame on the canvas (whole-multiple
// nearest-neighbour, then smooth to 4:3), paces the frames at the show's 60 a
// second whatever the screen's refresh, hands keys and dropped files to the
// engine, keeps the sound worklet fed (sound.js) and tells the engine which
// sample frame is being heard, and pauses everything while the page is
// hidden. The viewer's side (start screen, controls, links) is
// player.js, which fills window.vorn.ui.
// The engine's exports (C names, see web/README.md) are called directly.
'use strict';

(() => {
    const FRAME_WIDTH = 320;
    const FRAME_HEIGHT = 200;
    const FRAME_MS = 1000 / 60; // the show's frame: motion steps once a frame
    const FRAME_SLACK_MS = 3; // an animation frame this early still draws
    const POSTER_FRAMES = 120; // the start screen's poster: the show after 2 s
    // The built-in pack, most of the download: fetched once the engine's wasm
    // has come, so that the start screen does not wait for it (the build names
    // it by its content, as the engines).
    const PACK = 'demo.qxd';
    // The engine's two builds, the same show to the byte: with WebAssembly
    // SIMD, which draws faster, where the browser has it (simd-probe.js), else
    // without it; ?engine=plain or ?engine=simd asks for one. The build
    // (web/finish_page.py) names these files by their content and rewrites the
    // names here, and gives each engine's size in the page.
    const sizes = document.currentScript?.dataset ?? {};
    const ENGINES = {
        plain: {script: 'vorn-engine.js', wasm: 'vorn-engine.wasm', bytes: Number(sizes.wasmBytesPlain) || 0},
        simd: {script: 'vorn-engine-simd.js', wasm: 'vorn-engine-simd.wasm', bytes: Number(sizes.wasmBytesSimd) || 0},
    };

    const state = {
        phase: 'loading', // loading, start, starting, playing, error
        engine: null,
        content: null, // settles once the built-in pack is in the engine
        keyCodes: new Map(), // KeyboardEvent.code: the engine's key code
        parts: [], // {order, key, name, seconds}, the show's end last
        orderTimes: [], // the start of every order in seconds
        audio: null, // {context, node, gain, sent, report: {frame, time}, underruns}
        muted: false,
        engineName: '', // plain or simd: the build loaded
        files: new Map(), // dropped files by name: Uint8Array
        frames: 0, // frames drawn since the show started
        nextFrameAt: null, // the animation-clock time the next frame is due (null: now)
        hidden: false, // the page is hidden: nothing drawn, nothing queued
        looping: false, // an animation frame is asked for
        onFrame: null, // called after each frame is on the canvas (tests)
        error: '',
    };
    // The viewer's side, filled by player.js.
    const ui = {showStart() {}, showPlaying() {}, afterFrame() {}, soundFailed() {}};

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
        for (const id of ['loading', 'start', 'error', 'starting']) $(id).hidden = id !== name;
        screen.hidden = name !== null;
        document.body.classList.toggle('playing', name === null);
    }

    function fail(text) {
        if (state.phase === 'error') return;
        state.phase = 'error';
        state.error = text;
        closeSound();
        $('error-text').textContent = text;
        showPanel('error');
    }

    function engineText(pointer) {
        return state.engine.UTF8ToString(pointer);
    }

    function engineError() {
        return engineText(state.engine._vorn_web_error()) || 'no reason given';
    }

    function setProgress(fraction, text) {
        $('bar-fill').style.width = `${Math.round(100 * Math.min(1, fraction))}%`;
        if (text) $('loading-text').textContent = text;
    }

    // --- loading ----------------------------------------------------------
    // The engine's wasm, compiled while it arrives; a copy of the stream
    // counts its bytes for the progress bar. SIZE, the file's own size where
    // known (the build writes the engine's into the page): a compressed
    // answer's Content-Length is not it.
    async function compileWithProgress(url, size, onProgress) {
        const response = await fetch(url);
        if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
        const plain = !response.headers.get('Content-Encoding');
        const total = size || (plain && Number(response.headers.get('Content-Length'))) || 0;
        if (!response.body || !total || !WebAssembly.compileStreaming) {
            return WebAssembly.compile(await response.arrayBuffer());
        }
        const [counted, compiled] = response.body.tee();
        const module = WebAssembly.compileStreaming(
            new Response(compiled, {headers: {'Content-Type': 'application/wasm'}}));
        const reader = counted.getReader();
        let done = 0;
        for (;;) {
            const {value, done: ended} = await reader.read();
            if (ended) break;
            done += value.length;
            onProgress(Math.min(1, done / total));
        }
        return module;
    }

    async function fetchPack() {
        const response = await fetch(PACK);
        if (!response.ok) throw new Error(`${PACK}: ${response.status} ${response.statusText}`.trim());
        return new Uint8Array(await response.arrayBuffer());
    }

    // The pack into the engine; the service worker (offline.js) is let in
    // after it, when the browser's cache holds every file it keeps.
    async function handPack(engine, fetched) {
        const bytes = await fetched;
        const pointer = engine._malloc(Math.max(1, bytes.length));
        engine.HEAPU8.set(bytes, pointer);
        const status = engine._vorn_web_builtin_pack(pointer, bytes.length);
        engine._free(pointer);
        if (status !== 0) throw new Error(engineError());
        window.dispatchEvent(new Event('vorn-content'));
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

    // The engine's tables: its keys, the parts and the orders' times.
    function readTables(engine) {
        const names = engineText(engine._vorn_web_key_names()).split('\n').filter(Boolean);
        state.keyCodes = new Map(names.map((name, i) => [name, i + 1]));
        state.parts = [];
        for (const line of engineText(engine._vorn_web_scene_list()).split('\n')) {
            const [order, key, name, seconds] = line.split('\t');
            if (key) state.parts.push({order: Number(order), key, name, seconds: Number(seconds)});
        }
        state.orderTimes = engineText(engine._vorn_web_order_times()).split('\n').filter(Boolean).map(Number);
    }

    function engineName() {
        const asked = new URLSearchParams(window.location.search).get('engine');
        if (asked in ENGINES) return asked;
        return window.vornHasSimd() ? 'simd' : 'plain';
    }

    async function load() {
        if (location.protocol === 'file:') {
            fail('This page must be served, not opened as a file: run "make web-run" and open ' +
                'http://127.0.0.1:8080/ (any web server of the page\'s folder does).');
            return;
        }
        if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
            fail('This browser cannot run WebAssembly, which the show is made of.');
            return;
        }
        try {
            state.engineName = engineName();
            const files = ENGINES[state.engineName];
            // The engine's script comes while the wasm does.
            const script = loadScript(files.script);
            const wasm = await compileWithProgress(files.wasm, files.bytes, (f) => setProgress(0.9 * f));
            const pack = fetchPack();
            pack.catch(() => {}); // judged when handed over
            setProgress(0.9, 'Starting…');
            await script;
            const engine = await window.createVornEngine({
                instantiateWasm: (imports, receive) => {
                    WebAssembly.instantiate(wasm, imports).then((instance) => receive(instance, wasm),
                        (error) => fail(`The engine could not start: ${error.message}`));
                    return {};
                },
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
            readTables(engine);
            for (const [name, data] of state.files) handFile(name, data);
            state.content = handPack(engine, pack);
            state.content.catch((error) => fail(`The show's pictures could not be loaded: ${error.message}`));
            setProgress(1);
            showStart();
        } catch (error) {
            fail(`The show could not be loaded: ${error.message}`);
        }
    }

    // Whether the built-in pack came and the engine took it (fail() has said
    // why it did not).
    function contentReady() {
        return state.content.then(() => true, () => false);
    }

    // The poster: a frame of the show, drawn by the engine in lockstep once
    // the pack has come; false where it is not drawn (the engine refuses it
    // while a show runs).
    async function drawPoster(canvas) {
        if (!(await contentReady())) return false;
        if (state.engine._vorn_web_poster(POSTER_FRAMES) !== 0) return false;
        const image = canvas.getContext('2d').createImageData(FRAME_WIDTH, FRAME_HEIGHT);
        image.data.set(enginePixelView());
        canvas.getContext('2d').putImageData(image, 0, 0);
        return true;
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
        $('own').open = true;
    }

    function showNote(text) {
        $('sound-note').textContent = text;
        $('sound-note').hidden = !text;
    }

    function showStart() {
        state.phase = 'start';
        const problem = soundProblem();
        $('play').disabled = Boolean(problem);
        showNote(problem ? `${problem}, so the show can only play without sound.` : '');
        showPanel('start');
        ui.showStart();
    }

    // --- sound (sound.js) ---------------------------------------------------
    const sound = window.vornSound;

    function closeSound() {
        if (!state.audio) return;
        sound.close(state.audio);
        state.audio = null;
    }

    function setMuted(muted) {
        state.muted = muted;
        if (state.audio) sound.fade(state.audio, muted ? 0 : 1);
    }

    // --- the show -----------------------------------------------------------
    // Resolves once the page has been painted (the starting sign is seen).
    function afterPaint() {
        return new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
    }

    // Called from the click or tap that asks for the show: the panel gives way
    // at once to the starting sign; with sound, the audio context is made here.
    async function start(withSound, order = -1) {
        if (state.phase !== 'start') return;
        state.phase = 'starting';
        showPanel('starting');
        let rate = 0;
        if (withSound) {
            try {
                state.audio = await sound.open(state.muted);
                rate = state.audio.context.sampleRate;
            } catch (error) {
                showStart();
                ui.soundFailed(error.message);
                return;
            }
        } else {
            await afterPaint();
        }
        if (!(await contentReady())) return;
        $('warnings').replaceChildren();
        state.engine._vorn_web_use_builtin($('no-builtin').checked ? 0 : 1);
        if (state.engine._vorn_web_start(rate, order) !== 0) {
            fail(`The show could not start: ${engineError()}`);
            return;
        }
        state.phase = 'playing';
        state.frames = 0;
        state.hidden = false;
        state.nextFrameAt = null;
        showPanel(null);
        resizeScreen();
        ui.showPlaying();
        if (document.hidden) hideShow();
        else firstFrame();
    }

    // The first frame at once, never an empty canvas; the animation clock's
    // next tick sets the pace from there.
    function firstFrame() {
        state.nextFrameAt = undefined;
        if (state.engine._vorn_web_frame(performance.now())) {
            drawFrame();
            state.frames++;
            ui.afterFrame();
            loop();
        } else {
            endShow();
        }
    }

    function endShow() {
        closeSound();
        if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
        showStart();
    }

    // Whether this animation frame is early for the show's next frame: on a
    // 120 or 144 Hz screen most are, and the show draws at 60 a second as on
    // the desktop, so that motion keeps its speed. Late by more than a frame
    // (a slow machine), it starts counting again rather than catch up.
    function earlyForFrame(now) {
        if (state.nextFrameAt === undefined) {
            state.nextFrameAt = now + FRAME_MS;
            return true;
        }
        const catching = (state.engine._vorn_web_status() & 2) !== 0;
        if (!catching && state.nextFrameAt !== null && now < state.nextFrameAt - FRAME_SLACK_MS) return true;
        const late = state.nextFrameAt === null || now - state.nextFrameAt > FRAME_MS;
        state.nextFrameAt = late ? now + FRAME_MS : state.nextFrameAt + FRAME_MS;
        return false;
    }

    function tick(now) {
        state.looping = false;
        if (state.phase !== 'playing' || state.hidden) return;
        const engine = state.engine;
        let going = 1;
        try {
            if (state.audio) {
                sound.feed(state.audio, engine);
                engine._vorn_web_sound_heard(sound.heardFrame(state.audio));
            }
            if (!earlyForFrame(now)) {
                going = engine._vorn_web_frame(now);
                if (going) {
                    drawFrame();
                    state.frames++;
                    ui.afterFrame();
                    if (state.onFrame) state.onFrame();
                }
            }
        } catch (error) {
            fail(`The show stopped: ${error.message}`);
            return;
        }
        if (!going) endShow();
        else loop();
    }

    function loop() {
        if (state.looping || state.phase !== 'playing' || state.hidden) return;
        state.looping = true;
        requestAnimationFrame(tick);
    }

    // Hidden, the show stops where it is: the engine pauses the music and
    // draws nothing, the audio output stops with what it had queued, and no
    // animation frame is asked for. Shown again, all goes on from there: the
    // queued sound first (faded in), and frames counted afresh, no burst.
    function hideShow() {
        if (state.hidden) return;
        state.hidden = true;
        state.engine._vorn_web_shown(0);
        if (state.audio) state.audio.context.suspend().catch(() => {});
    }

    function showAgain() {
        if (!state.hidden) return;
        state.hidden = false;
        if (state.audio) {
            // The ramp is set while the clock stands, so it starts with the sound.
            sound.fade(state.audio, state.muted ? 0 : 1, 0);
            state.audio.context.resume().catch(() => {});
        }
        state.engine._vorn_web_shown(1);
        state.nextFrameAt = null;
        loop();
    }

    // A frozen page (a background tab the browser stops) is hidden too.
    function onVisibility(event) {
        if (state.phase !== 'playing') return;
        if (document.hidden || event.type === 'freeze') hideShow();
        else showAgain();
    }

    // --- the picture --------------------------------------------------------
    function enginePixelView() {
        const at = state.engine._vorn_web_pixels();
        return state.engine.HEAPU8.subarray(at, at + FRAME_WIDTH * FRAME_HEIGHT * 4);
    }

    function drawFrame() {
        frameImage.data.set(enginePixelView());
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

    // --- keys -------------------------------------------------------------------
    // A key for the engine, by its KeyboardEvent.code.
    function engineKey(code) {
        const key = state.keyCodes.get(code);
        if (!key) throw new Error(`the engine takes no key ${code}`);
        state.engine._vorn_web_key(key);
    }

    // Space and Enter on a focused control are the control's own.
    function keyForControl(event) {
        const target = event.target;
        const control = target instanceof Element && target.closest('button, summary, input, [role="slider"]');
        return control && (event.code === 'Space' || event.code === 'Enter' || event.code === 'NumpadEnter');
    }

    function onKey(event, down) {
        if (state.phase !== 'playing' || event.ctrlKey || event.altKey || event.metaKey) return;
        if (down) ui.onInput?.(event); // Tab and the rest show the controls too
        if (keyForControl(event)) return;
        if (event.code === 'KeyF') {
            if (down && !event.repeat) ui.toggleFullScreen?.();
            event.preventDefault();
            return;
        }
        const key = state.keyCodes.get(event.code);
        if (!key) return;
        event.preventDefault();
        // In full screen the browser takes Escape to leave it; a held key acts once.
        if (event.code === 'Escape' && document.fullscreenElement) return;
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
        $('own').open = true;
    }

    // --- wiring -----------------------------------------------------------------
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
    for (const type of ['visibilitychange', 'freeze', 'resume']) document.addEventListener(type, onVisibility);
    window.addEventListener('resize', resizeScreen);
    document.addEventListener('fullscreenchange', resizeScreen);
    window.addEventListener('error', (event) => fail(`The page failed: ${event.message}`));
    window.addEventListener('unhandledrejection', (event) => fail(`The page failed: ${event.reason}`));

    // For player.js, the test driver (web/test/) and the console.
    window.vorn = {
        state,
        ui,
        start,
        endShow,
        addFiles,
        drawFrame,
        drawPoster,
        engineKey,
        setMuted,
        resizeScreen,
        showNote,
        heardFrame: () => (state.audio ? sound.heardFrame(state.audio) : -1),
        // The engine's frame and the 1:1 canvas, as RGBA bytes.
        enginePixels: () => Array.from(enginePixelView()),
        canvasPixels: () => Array.from(frameContext.getImageData(0, 0, FRAME_WIDTH, FRAME_HEIGHT).data),
    };

    showPanel('loading');
    // player.js, the next script, fills ui before the engine has loaded.
    setTimeout(load, 0);
})();
