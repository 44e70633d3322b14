// The page in headless Chromium and Firefox: serves build-web/page from
// 127.0.0.1 itself, drives each browser with puppeteer-core (browsers.mjs),
// clicks, presses keys, runs functions in the page and writes screenshots into
// build-web/shots/BROWSER (the player's into build-web/screens).
// node web/test/run.mjs [--page DIR] [--shots DIR] [--screens DIR] [--digests FILE]
//     [--chromium PATH] [--firefox PATH] [--browsers chromium,firefox] [--native VORN] [--costs FILE]
// Checks the show in the page: loading, the start screen, dropped files and
// their warnings, the frame on the canvas byte for byte, about 15 s of sound
// against the wall clock and the module's tempo, the keys, the whole show in
// lockstep against tests/show_digests.txt, the cost table of costs.mjs, and
// the words shown when the
// browser lacks WebAssembly or Web Audio; then the page as a player
// (player.mjs); every check in every browser (the phones' in Chromium, which
// emulates touch), and the time each browser took. Ends with "N passed, N failed".
import {createServer} from 'node:http';
import {mkdirSync, readFileSync, statSync, writeFileSync} from 'node:fs';
import {extname, join, resolve} from 'node:path';
import {fileURLToPath} from 'node:url';
import {BROWSERS, launchBrowser, newPage} from './browsers.mjs';
import {downloadChecks} from './download.mjs';
import * as player from './player.mjs';
import {costTable} from './costs.mjs';

const here = fileURLToPath(new URL('.', import.meta.url));
const options = {
    page: resolve(here, '../../build-web/page'),
    shots: resolve(here, '../../build-web/shots'),
    screens: resolve(here, '../../build-web/screens'),
    chromium: undefined, // Debian's, as browsers.mjs knows them
    firefox: undefined,
    digests: resolve(here, '../../tests/show_digests.txt'),
    browsers: BROWSERS.join(','),
    native: resolve(here, '../../build/vorn'),
    costs: resolve(here, '../../build-web/page-costs.txt'),
};
for (let i = 2; i + 1 < process.argv.length; i += 2) {
    const name = process.argv[i].replace(/^--/, '');
    if (!(name in options)) throw new Error(`unknown option ${process.argv[i]}`);
    options[name] = name === 'browsers' ? process.argv[i + 1] : resolve(process.argv[i + 1]);
}

const TYPES = {
    '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.mjs': 'text/javascript',
    '.wasm': 'application/wasm', '.css': 'text/css', '.png': 'image/png',
};

// A static server for DIR on 127.0.0.1, on a free port.
function serve(dir) {
    const server = createServer((request, response) => {
        const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
        const file = join(dir, path.endsWith('/') ? `${path}index.html` : path);
        if (!file.startsWith(dir) || !statSync(file, {throwIfNoEntry: false})?.isFile()) {
            response.writeHead(404).end('not found');
            return;
        }
        const body = readFileSync(file);
        response.writeHead(200, {
            'Content-Type': TYPES[extname(file)] || 'application/octet-stream',
            'Content-Length': body.length,
        });
        response.end(body);
    });
    return new Promise((done) => server.listen(0, '127.0.0.1', () => done(server)));
}

// --- the checks ---------------------------------------------------------------
let passed = 0;
let failed = 0;
let launched = null; // the browser of the checks now running (browsers.mjs)
function check(name, ok, detail = '') {
    if (ok) passed++;
    else failed++;
    console.log(`${ok ? 'ok    ' : 'FAILED'} ${launched.name}: ${name}${detail ? ` (${detail})` : ''}`);
}

const press = (page, key) => launched.pressKey(page, key);

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

async function shot(page, name) {
    const file = join(options.shots, launched.name, `${name}.png`);
    await page.screenshot({path: file});
    console.log(`       screenshot ${file}`);
}

async function openPage(browser, url, prepare) {
    const page = await newPage(browser);
    await page.setViewport({width: 960, height: 600});
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    page.on('console', (message) => {
        if (message.type() === 'error') errors.push(message.text());
        if (message.type() === 'log') console.log(`       page: ${message.text()}`);
    });
    if (prepare) await page.evaluateOnNewDocument(prepare);
    await page.goto(url, {waitUntil: 'load'});
    return {page, errors};
}

const visible = (page, id) => page.$eval(`#${id}`, (e) => !e.hidden && e.offsetParent !== null);

async function startScreen(browser, url) {
    const {page, errors} = await openPage(browser, url);
    await page.waitForFunction(() => window.vorn.state.phase !== 'loading', {timeout: 20000});
    const phase = await page.evaluate(() => window.vorn.state.phase);
    check('the page loads the engine and shows the start screen', phase === 'start',
        `phase ${phase}${errors.length ? `, ${errors.join('; ')}` : ''}`);
    const title = await page.$eval('#start h1', (e) => e.textContent);
    const buttons = await page.$$eval('#start .play-buttons button', (list) => list.map((b) => b.textContent));
    const scenes = await page.$$eval('#scene-list li', (list) => list.length);
    check('the start screen names the show, both ways to play and the scenes',
        title === 'VORN' && buttons.join('|') === 'Play|Play without sound' && scenes >= 2,
        `${title}, ${buttons.join('|')}, ${scenes} scene entries`);
    await shot(page, 'start');
    return page;
}

// A picture of the wrong size: kept, listed, and warned about as natively.
async function dropFile(page) {
    await page.evaluate(() => window.vorn.addFiles([new File([new Uint8Array(300)], 'qxlogo.raw')]));
    const listed = await page.$$eval('#file-list li', (list) => list.map((e) => e.textContent));
    check('a dropped file is kept and listed', listed.length === 1 && listed[0].startsWith('qxlogo.raw'),
        listed.join(', '));
}

const position = (page) => page.evaluate(() => {
    const engine = window.vorn.state.engine;
    const at = engine._vorn_web_position();
    return {order: at >>> 16, row: at & 0xFFFF, song: engine._vorn_web_song_seconds()};
});

// Readings of the wall clock, the heard frame and the song's position.
async function readings(page, count, gap) {
    return page.evaluate(async (count, gap) => {
        const engine = window.vorn.state.engine;
        const list = [];
        for (let i = 0; i < count; i++) {
            const at = engine._vorn_web_position();
            list.push({wall: performance.now() / 1000, heard: window.vorn.heardFrame(),
                short: window.vorn.state.audio?.underruns, clock: window.vorn.state.audio?.context.currentTime,
                order: at >>> 16, row: at & 0xFFFF, song: engine._vorn_web_song_seconds()});
            await new Promise((done) => setTimeout(done, gap));
        }
        return list;
    }, count, gap);
}

// Frames leave the page as strings, one character a byte: an array of
// numbers costs Firefox's WebDriver BiDi a message of several megabytes.
const pixelsDiffer = (a, b) => {
    let n = 0;
    for (let i = 0; i < a.length; i++) if (a.charCodeAt(i) !== b.charCodeAt(i)) n++;
    return n;
};
function bytesAsText(bytes) {
    let text = '';
    for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode(...bytes.slice(i, i + 8192));
    return text;
}
const enginePixels = (page) => page.evaluate((source) =>
    new Function(`return ${source}`)()(window.vorn.enginePixels()), bytesAsText.toString());

async function playWithSound(page) {
    // From the tunnel: the catch-up's progress first, then the part itself.
    await page.evaluate(() => {
        const item = [...document.querySelectorAll('#scene-list li')].find((e) => /^tunnel/.test(e.textContent));
        item.click();
    });
    // Firefox's first audio output takes from 0.3 s to 2 s to start on a busy
    // machine; past the page's limit the page says so, and this says what it said.
    const started = await page.waitForFunction(() => window.vorn.state.frames > 3, {timeout: 20000})
        .then(() => true, () => false);
    if (!started) {
        const seen = await page.evaluate(() => `phase ${window.vorn.state.phase}, ${window.vorn.state.frames} frames, ` +
            `"${document.getElementById('sound-note').textContent}"`);
        throw new Error(`the show with sound did not start within 20 s: ${seen}`);
    }
    await shot(page, 'catch-up');
    await page.waitForFunction(() => (window.vorn.state.engine._vorn_web_position() >>> 16) >= 27,
        {timeout: 120000});
    await page.waitForFunction(() => window.vorn.state.frames > 120, {timeout: 20000});
    const warnings = await page.$$eval('#warnings li', (list) => list.map((e) => e.textContent));
    check('a wrong dropped file is warned about on the page', warnings.some((w) => /qxlogo\.raw/.test(w)),
        warnings.join(' | '));
    const shown = await visible(page, 'screen');
    const size = await page.$eval('#screen', (c) => [c.width, c.height, c.style.width, c.style.height]);
    const ratio = parseFloat(size[2]) / parseFloat(size[3]);
    check('Play shows the picture at 4:3', shown && Math.abs(ratio - 4 / 3) < 0.01,
        `canvas ${size[0]}x${size[1]}, shown ${size[2]} x ${size[3]}`);
    const same = await page.evaluate(() => {
        window.vorn.drawFrame();
        const a = window.vorn.enginePixels();
        const b = window.vorn.canvasPixels();
        let differing = 0;
        for (let i = 0; i < a.length; i++) if (a[i] !== b[i]) differing++;
        const colours = new Set();
        for (let i = 0; i < a.length; i += 4) colours.add((a[i] << 16) | (a[i + 1] << 8) | a[i + 2]);
        return {differing, colours: colours.size};
    });
    check('the canvas holds the show\'s frame byte for byte', same.differing === 0 && same.colours > 16,
        `${same.differing} bytes differ, ${same.colours} colours`);
    await shot(page, 'frame');

    // F1 lays the keys over the picture; paused, everything else stays.
    await press(page, 'Space');
    await sleep(300);
    const plain = await enginePixels(page);
    await press(page, 'F1');
    await sleep(300);
    const overlaid = await enginePixels(page);
    await shot(page, 'keys');
    await press(page, 'F1');
    await sleep(300);
    const after = await enginePixels(page);
    check('F1 shows the keys over the paused picture and takes them away',
        pixelsDiffer(plain, overlaid) > 1000 && pixelsDiffer(plain, after) === 0,
        `${pixelsDiffer(plain, overlaid)} bytes under the keys`);
    const still = await readings(page, 2, 1000);
    check('Space pauses: the heard position stands for a second', still[0].song === still[1].song &&
        still[0].order === still[1].order && still[0].row === still[1].row,
        `${JSON.stringify(still[0])} ${JSON.stringify(still[1])}`);
    await press(page, 'Space');
    await sleep(500);

    // About 15 s of playing: the heard frame keeps the audio rate by the wall
    // clock, and the song's position keeps the module's tempo within a row.
    const list = await readings(page, 31, 500);
    const rate = await page.evaluate(() => window.vorn.state.audio.context.sampleRate);
    const first = list[0];
    const last = list[list.length - 1];
    const frameRate = (last.heard - first.heard) / (last.wall - first.wall);
    const row = 6 * 2.5 / 125; // the show's rows: speed 6 at 125 BPM
    // Each reading's song time less its wall time: the same throughout but for
    // where in its row the reading fell (a row's start is read), so no reading
    // may lie more than a row from their mean.
    const offsets = list.map((r) => (r.song - first.song) - (r.wall - first.wall));
    const mean = offsets.reduce((a, b) => a + b, 0) / offsets.length;
    const worst = Math.max(...offsets.map((o) => Math.abs(o - mean)));
    check('the heard position advances with the wall clock', Math.abs(frameRate - rate) < 0.02 * rate,
        `${Math.round(frameRate)} frames/s at ${rate} Hz over ${(last.wall - first.wall).toFixed(1)} s, ` +
        `audio clock ${((last.clock - first.clock) / (last.wall - first.wall)).toFixed(4)} s a second, ` +
        `${last.short - first.short} blocks short of samples`);
    check('the heard order and row keep the module\'s tempo within one row', worst <= row,
        `worst ${(1000 * worst).toFixed(0)} ms from the mean offset, a row is ${(1000 * row).toFixed(0)} ms; ` +
        `${first.order}:${first.row} to ${last.order}:${last.row}`);

    // Right: the first frame shown at the next order is kept for the lockstep run.
    const landing = await page.evaluate(async (source) => {
        const bytesAsText = new Function(`return ${source}`)();
        const engine = window.vorn.state.engine;
        const target = (engine._vorn_web_position() >>> 16) + 1;
        const frame = new Promise((done) => {
            window.vorn.state.onFrame = () => {
                if ((engine._vorn_web_position() >>> 16) !== target) return;
                window.vorn.state.onFrame = null;
                done(bytesAsText(window.vorn.enginePixels()));
            };
        });
        document.dispatchEvent(new KeyboardEvent('keydown', {code: 'ArrowRight'}));
        return {target, pixels: await frame};
    }, bytesAsText.toString());

    const timing = await page.evaluate(() => {
        const count = 100;
        const t0 = performance.now();
        for (let i = 0; i < count; i++) window.vorn.drawFrame();
        return (performance.now() - t0) / count;
    });
    // A figure, not a check: on a shared machine the time is the machine's.
    console.log(`       ${launched.name}: a frame is put on the canvas in ${timing.toFixed(2)} ms`);

    await press(page, 'Escape');
    await page.waitForFunction(() => window.vorn.state.phase === 'start', {timeout: 5000}).catch(() => {});
    const phase = await page.evaluate(() => [window.vorn.state.phase, window.vorn.state.audio]);
    check('Escape ends the show: the start screen again, the sound closed',
        phase[0] === 'start' && phase[1] === null && (await visible(page, 'start')), phase[0]);
    return landing;
}

async function playSilent(page) {
    await page.click('#play-silent');
    await page.waitForFunction(() => window.vorn.state.frames > 10, {timeout: 20000});
    const audio = await page.evaluate(() => [window.vorn.state.audio, window.vorn.heardFrame()]);
    const moving = await readings(page, 2, 1500);
    check('Play without sound runs the show on the wall clock, with no audio context',
        audio[0] === null && audio[1] === -1 && moving[1].song > moving[0].song,
        `${moving[0].song.toFixed(2)} s to ${moving[1].song.toFixed(2)} s`);
    await press(page, 'Escape');
    await page.waitForFunction(() => window.vorn.state.phase === 'start', {timeout: 5000}).catch(() => {});
}

// FNV-1a/64 of a canvas's RGBA bytes read back as the show's 0x00RRGGBB words
// (in memory B, G, R, 0), in two 32-bit halves.
function canvasHash(rgba) {
    let lo = 0x84222325;
    let hi = 0xCBF29CE4;
    const step = (byte) => {
        lo = (lo ^ byte) >>> 0;
        const low = lo * 0x1B3;
        const carry = Math.floor(low / 0x100000000);
        hi = (hi * 0x1B3 + carry + ((lo << 8) >>> 0)) % 0x100000000;
        lo = low % 0x100000000;
    };
    for (let i = 0; i < rgba.length; i += 4) {
        step(rgba[i + 2]);
        step(rgba[i + 1]);
        step(rgba[i]);
        step(0);
    }
    return hi.toString(16).padStart(8, '0') + (lo >>> 0).toString(16).padStart(8, '0');
}

// The whole show in lockstep in the page, 30 frames a step: every digest line
// as recorded, the frame hash also read back from the canvas, and the first
// frame of each order a seek went to.
async function digests(page, landings) {
    const recorded = readFileSync(options.digests, 'utf8').split('\n').filter((l) => l && !l.startsWith('#'));
    const run = await page.evaluate(async (source, textSource, targets) => {
        await window.vorn.state.content; // the built-in pack in the engine
        const engine = window.vorn.state.engine;
        const canvasHash = new Function(`return ${source}`)();
        const bytesAsText = new Function(`return ${textSource}`)();
        if (engine._vorn_web_digest_begin() !== 0) return {error: engine.UTF8ToString(engine._vorn_web_error())};
        const lines = [];
        const shown = [];
        let changed, posterDrawn;
        const targetFrames = {};
        let frames = 0;
        const started = performance.now();
        for (;;) {
            // To the next digested frame, single frames near a seek's order to catch its first.
            const order = () => engine._vorn_web_position() >>> 16;
            const near = targets.some((target) => !targetFrames[target] && order() >= target - 1);
            const done = engine._vorn_web_digest_frames(near ? 1 : 30 - (frames % 30));
            if (done === 0) break;
            frames += done;
            if (targets.includes(order()) && !targetFrames[order()]) targetFrames[order()] = bytesAsText(window.vorn.enginePixels());
            const text = engine.UTF8ToString(engine._vorn_web_digest_lines());
            if (!text) continue;
            lines.push(...text.split('\n').filter(Boolean));
            window.vorn.drawFrame();
            const rgba = window.vorn.canvasPixels();
            shown.push(canvasHash(rgba));
            if (lines.length === 300) {
                rgba[4 * (320 * 100 + 160)] ^= 1; // one changed pixel
                changed = canvasHash(rgba);
                // The start screen's poster asked for in the middle of the run.
                posterDrawn = await window.vorn.drawPoster(document.createElement('canvas'));
            }
            if (lines.length % 30 === 0) await new Promise((done) => setTimeout(done, 0));
        }
        return {lines, shown, changed, posterDrawn, targetFrames,
            seconds: (performance.now() - started) / 1000};
    }, canvasHash.toString(), bytesAsText.toString(), [...new Set(landings.map((landing) => landing.target))]);
    if (run.error) {
        check('the show runs in lockstep in the page', false, run.error);
        return;
    }
    let differing = 0;
    let firstDiff = '';
    for (let i = 0; i < Math.max(run.lines.length, recorded.length); i++) {
        if (run.lines[i] === recorded[i]) continue;
        differing++;
        firstDiff ||= `now "${run.lines[i]}", recorded "${recorded[i]}"`;
    }
    check('every digest line of the page\'s lockstep show is the recorded one (frames and music), ' +
        'a poster asked for during it refused',
        differing === 0 && run.lines.length === recorded.length && run.posterDrawn === false,
        `${run.lines.length} lines in ${run.seconds.toFixed(1)} s, ${differing} differ${firstDiff ? `: ${firstDiff}` : ''}` +
        `, poster ${run.posterDrawn ? 'drawn' : 'refused'}`);
    const frameHash = (line) => line.trim().split(/\s+/)[3];
    const unlike = run.shown.filter((h, i) => h !== frameHash(run.lines[i])).length;
    check('what the canvas shows is the frame drawn, for every digested frame', unlike === 0,
        `${unlike} of ${run.shown.length} differ`);
    // The comparison can fail: a clock one step late and one changed pixel are both seen.
    const shifted = run.lines.slice(1).filter((line, i) => line === recorded[i]).length;
    check('a shifted clock or a changed pixel would be caught',
        shifted < run.lines.length / 100 && run.changed !== frameHash(run.lines[299]),
        `${shifted} lines alike one step late`);
    for (const landing of landings) {
        const frame = run.targetFrames[landing.target];
        check(`the frame after the seek is the lockstep frame at order ${landing.target}'s start`,
            frame && pixelsDiffer(frame, landing.pixels) === 0,
            frame ? `${pixelsDiffer(frame, landing.pixels)} bytes differ` : 'not reached');
    }
}

// The built-in pack not found, and one that is not a pack: the start screen
// gives way to the reason in words.
async function withoutPack(browser, url) {
    const seen = [];
    for (const [status, body] of [[404, ''], [200, 'not a pack']]) {
        const {page} = await openPage(browser, url, new Function(`
            const fetched = window.fetch;
            window.fetch = (resource, ...rest) => /\\.qxd$/.test(String(resource))
                ? Promise.resolve(new Response(${JSON.stringify(body)}, {status: ${status}}))
                : fetched(resource, ...rest);`));
        await page.waitForFunction(() => window.vorn.state.phase === 'error', {timeout: 20000}).catch(() => {});
        seen.push([await visible(page, 'error'), await page.$eval('#error-text', (e) => e.textContent)]);
        await page.close();
    }
    check('a pack not found or not a pack: the page says why in words',
        seen.every(([shown]) => shown) && /pictures could not be loaded: .*404/.test(seen[0][1]) &&
            /pictures could not be loaded: the built-in pack cannot be read/.test(seen[1][1]),
        seen.map(([, text]) => text).join(' | '));
}

async function withoutWebAssembly(browser, url) {
    const {page} = await openPage(browser, url, () => {
        delete window.WebAssembly;
    });
    await page.waitForFunction(() => window.vorn.state.phase === 'error', {timeout: 10000}).catch(() => {});
    const text = await page.$eval('#error-text', (e) => e.textContent);
    check('without WebAssembly the page says so in words',
        (await visible(page, 'error')) && /WebAssembly/.test(text), text);
    await shot(page, 'no-webassembly');
    await page.close();
}

async function withoutAudio(browser, url) {
    const {page} = await openPage(browser, url, () => {
        delete window.AudioContext;
        delete window.AudioWorkletNode;
    });
    await page.waitForFunction(() => window.vorn.state.phase === 'start', {timeout: 20000});
    const note = await page.$eval('#sound-note', (e) => (e.hidden ? '' : e.textContent));
    const disabled = await page.$eval('#play', (b) => b.disabled);
    check('without Web Audio, Play is off and the page says why', disabled && /AudioContext/.test(note), note);
    await shot(page, 'no-audio');
    await page.close();
}

// --- main -------------------------------------------------------------------
// Every check in one browser, on a fresh launch of it.
async function inBrowser(browser, url) {
    const page = await startScreen(browser, url);
    await dropFile(page);
    const landings = [await playWithSound(page)];
    await playSilent(page);
    await page.close();
    // The page as a viewer's player (player.mjs).
    const out = {check, screens: join(options.screens, launched.name)};
    mkdirSync(out.screens, {recursive: true});
    // Touch is emulated through the DevTools protocol, which Chromium speaks.
    if (launched.name === 'chromium') landings.push(...await player.phones(browser, url, out));
    landings.push(...await player.desktopControls(browser, url, out));
    await player.hiddenPage(browser, url, out, true);
    await player.hiddenPage(browser, url, out, false);
    await player.fastScreen(browser, url, out);
    await player.links(browser, url, out);
    await player.soundFaults(browser, url, out);
    await player.servedOnly(browser, options.page, out);
    // A fresh page, without the dropped file: the show as built in.
    const fresh = (await openPage(browser, url)).page;
    await fresh.waitForFunction(() => window.vorn.state.phase === 'start', {timeout: 20000});
    await digests(fresh, landings);
    await fresh.close();
    await withoutPack(browser, url);
    await withoutWebAssembly(browser, url);
    await withoutAudio(browser, url);
    // Network conditions are set through the DevTools protocol, which Chromium speaks.
    await downloadChecks(check, browser, options.page, launched.name === 'chromium');
}

const server = await serve(options.page);
const url = `http://127.0.0.1:${server.address().port}/`;
console.log(`serving ${options.page} at ${url}`);
const times = [];
for (const name of options.browsers.split(',')) {
    const started = performance.now();
    const failedBefore = failed;
    mkdirSync(join(options.shots, name), {recursive: true});
    launched = {name};
    try {
        launched = await launchBrowser(name, options[name]);
        console.log(`${name}: ${await launched.browser.version()}`);
        await inBrowser(launched.browser, url);
    } catch (error) {
        check('the page test ran to its end', false, error.message);
    } finally {
        await launched.close?.();
    }
    const seconds = (performance.now() - started) / 1000;
    times.push(`${name} ${seconds.toFixed(1)} s${failed > failedBefore ? ` (${failed - failedBefore} failed)` : ''}`);
}
// The cost table: every browser's figures in one table, each on a fresh launch.
const costing = [];
const costsStarted = performance.now();
try {
    for (const name of options.browsers.split(',')) costing.push(await launchBrowser(name, options[name]));
    await costTable({browsers: costing, url, nativeProgram: options.native, digests: options.digests,
        out: options.costs, check});
} catch (error) {
    check('the cost table ran to its end', false, error.message);
} finally {
    for (const launched of costing) await launched.close();
}
times.push(`the cost table ${((performance.now() - costsStarted) / 1000).toFixed(1)} s`);
server.close();
console.log(`time by browser: ${times.join(', ')}`);
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
