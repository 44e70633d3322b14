// The page in headless Chromium: serves build-web/page from 127.0.0.1 itself,
// drives Debian's chromium with puppeteer-core, clicks, presses keys, runs
// functions in the page and writes screenshots into build-web/shots.
// node web/test/run.mjs [--page DIR] [--shots DIR] [--chromium PATH]
// Checks what the page does with the engine module it is given: loading, the
// start screen, the frame on the canvas byte for byte, the sound worklet's
// heard position, keys, dropped files and the words shown when the browser
// lacks WebAssembly. Ends with "N passed, N failed".
import {createServer} from 'node:http';
import {mkdirSync, readFileSync, statSync, writeFileSync} from 'node:fs';
import {extname, join, resolve} from 'node:path';
import {fileURLToPath} from 'node:url';
import puppeteer from 'puppeteer-core';

const here = fileURLToPath(new URL('.', import.meta.url));
const options = {
    page: resolve(here, '../../build-web/page'),
    shots: resolve(here, '../../build-web/shots'),
    chromium: '/usr/bin/chromium',
};
for (let i = 2; i + 1 < process.argv.length; i += 2) {
    const name = process.argv[i].replace(/^--/, '');
    if (!(name in options)) throw new Error(`unknown option ${process.argv[i]}`);
    options[name] = resolve(process.argv[i + 1]);
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
function check(name, ok, detail = '') {
    if (ok) passed++;
    else failed++;
    console.log(`${ok ? 'ok    ' : 'FAILED'} ${name}${detail ? ` (${detail})` : ''}`);
}

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

async function shot(page, name) {
    const file = join(options.shots, `${name}.png`);
    await page.screenshot({path: file});
    console.log(`       screenshot ${file}`);
}

async function openPage(browser, url, prepare) {
    const page = await browser.newPage();
    await page.setViewport({width: 960, height: 600});
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    page.on('console', (message) => {
        if (message.type() === 'error') errors.push(message.text());
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
    const buttons = await page.$$eval('#start button', (list) => list.map((b) => b.textContent));
    const scenes = await page.$$eval('#scene-list li', (list) => list.length);
    check('the start screen names the show, both ways to play and the scenes',
        title === 'VORN' && buttons.join('|') === 'Play|Play without sound' && scenes >= 2,
        `${title}, ${buttons.join('|')}, ${scenes} scene entries`);
    await shot(page, 'start');
    return page;
}

async function dropFile(page) {
    await page.evaluate(() => window.vorn.addFiles([new File([new Uint8Array(300)], 'qxlogo.raw')]));
    const listed = await page.$$eval('#file-list li', (list) => list.map((e) => e.textContent));
    check('a dropped file is kept and listed', listed.length === 1 && listed[0].startsWith('qxlogo.raw'),
        listed.join(', '));
}

async function playWithSound(page) {
    await page.click('#play');
    await page.waitForFunction(() => window.vorn.state.frames > 30, {timeout: 20000});
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
    check('the canvas holds the engine\'s frame byte for byte', same.differing === 0 && same.colours > 16,
        `${same.differing} bytes differ, ${same.colours} colours`);
    await shot(page, 'playing');

    // Five readings 200 ms apart by the page's clock.
    const readings = await page.evaluate(async () => {
        const list = [];
        for (let i = 0; i < 5; i++) {
            list.push([performance.now(), window.vorn.heardFrame()]);
            await new Promise((done) => setTimeout(done, 200));
        }
        return list;
    });
    const heard = readings.map((r) => r[1]);
    const sound = await page.evaluate(() => {
        const a = window.vorn.state.audio;
        return a && {rate: a.context.sampleRate, sent: a.sent, state: a.context.state, underruns: a.underruns};
    });
    const rising = heard.every((h, i) => i === 0 || h > heard[i - 1]);
    const step = (heard[4] - heard[0]) / ((readings[4][0] - readings[0][0]) / 1000);
    check('the heard position follows the audio clock', sound && rising && heard[4] <= sound.sent &&
        Math.abs(step - sound.rate) < 0.1 * sound.rate,
        `heard ${heard.map(Math.round).join(' ')}, ${Math.round(step)} frames/s, ${JSON.stringify(sound)}`);

    // The engine's frame alone, then its way to the screen, per frame.
    const timing = await page.evaluate(() => {
        const engine = window.vorn.state.engine;
        const count = 200;
        const t0 = performance.now();
        for (let i = 0; i < count; i++) engine._vorn_web_frame(0);
        const t1 = performance.now();
        for (let i = 0; i < count; i++) window.vorn.drawFrame();
        const t2 = performance.now();
        return {engine: (t1 - t0) / count, show: (t2 - t1) / count};
    });
    check('a frame is drawn and shown within a 60 Hz frame', timing.engine + timing.show < 16,
        `engine ${timing.engine.toFixed(3)} ms, canvas ${timing.show.toFixed(3)} ms`);

    // A checkerboard of single pixels: enlarged by whole multiples first, many
    // more screen pixels keep one of its two colours exactly than when the
    // frame is enlarged smoothly in one step. The screen is read in the same
    // task, before the next frame replaces the board.
    const sharp = await page.evaluate(() => {
        const engine = window.vorn.state.engine;
        const at = engine._vorn_web_pixels();
        for (let y = 0; y < 200; y++) {
            for (let x = 0; x < 320; x++) {
                const v = (x + y) & 1 ? 255 : 0;
                engine.HEAPU8.set([v, 255 - v, 64, 255], at + 4 * (320 * y + x));
            }
        }
        const pure = (canvas) => {
            const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
            let count = 0;
            for (let i = 0; i < data.length; i += 4)
                if ((data[i] === 255 && data[i + 1] === 0) || (data[i] === 0 && data[i + 1] === 255)) count++;
            return count / (data.length / 4);
        };
        window.vorn.drawFrame();
        const screen = document.getElementById('screen');
        const board = document.createElement('canvas');
        board.width = 320;
        board.height = 200;
        board.getContext('2d').putImageData(
            new ImageData(new Uint8ClampedArray(engine.HEAPU8.subarray(at, at + 256000)), 320, 200), 0, 0);
        const direct = document.createElement('canvas');
        direct.width = screen.width;
        direct.height = screen.height;
        const context = direct.getContext('2d');
        context.imageSmoothingEnabled = true;
        context.imageSmoothingQuality = 'high';
        context.drawImage(board, 0, 0, direct.width, direct.height);
        return {shown: pure(screen), direct: pure(direct), png: screen.toDataURL('image/png')};
    });
    check('pixels stay sharp blocks on the screen', sharp.shown > 2 * sharp.direct,
        `${Math.round(100 * sharp.shown)}% unblended, ${Math.round(100 * sharp.direct)}% when smoothed at once`);
    writeFileSync(join(options.shots, 'sharp.png'), Buffer.from(sharp.png.split(',')[1], 'base64'));
    console.log(`       screenshot ${join(options.shots, 'sharp.png')}`);

    const frame = () => page.evaluate(() => window.vorn.enginePixels().join(','));
    await page.keyboard.press('Space');
    await sleep(100);
    const paused1 = await frame();
    await sleep(200);
    const paused2 = await frame();
    await page.keyboard.press('Space');
    await sleep(200);
    const going = await frame();
    check('Space pauses the picture and goes on', paused1 === paused2 && going !== paused2);

    await page.keyboard.press('Escape');
    await page.waitForFunction(() => window.vorn.state.phase === 'start', {timeout: 5000}).catch(() => {});
    const phase = await page.evaluate(() => [window.vorn.state.phase, window.vorn.state.audio]);
    check('Escape ends the show: the start screen again, the sound closed',
        phase[0] === 'start' && phase[1] === null && (await visible(page, 'start')), phase[0]);
}

async function playSilent(page) {
    await page.click('#play-silent');
    await page.waitForFunction(() => window.vorn.state.frames > 10, {timeout: 20000});
    const audio = await page.evaluate(() => [window.vorn.state.audio, window.vorn.heardFrame()]);
    check('Play without sound runs the picture with no audio context', audio[0] === null && audio[1] === -1);
    await page.keyboard.press('Escape');
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
mkdirSync(options.shots, {recursive: true});
const server = await serve(options.page);
const url = `http://127.0.0.1:${server.address().port}/`;
console.log(`serving ${options.page} at ${url}`);
const browser = await puppeteer.launch({
    executablePath: options.chromium,
    headless: true,
    args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required', '--mute-audio'],
});
try {
    const page = await startScreen(browser, url);
    await dropFile(page);
    await playWithSound(page);
    await playSilent(page);
    await page.close();
    await withoutWebAssembly(browser, url);
    await withoutAudio(browser, url);
} catch (error) {
    check('the page test ran to its end', false, error.message);
} finally {
    await browser.close();
    server.close();
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
