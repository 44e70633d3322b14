// The page's download, as a new viewer and a returning one get it: the page
// served by web/serve.py (what `make web-run` runs) through a relay that counts
// the bytes the server sends and can be cut off like a lost network. Chromium
// is slowed to 10 Mbit/s with 40 ms latency through the DevTools protocol for
// the first visit. Checks the compressed copies and the caching headers, that
// the service worker keeps every file, that the show opens and plays with the
// server gone, and that a new build's worker replaces the old; prints the bytes of each visit and the time to the start
// screen (figures, not asserted).
import {spawn} from 'node:child_process';
import {cpSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {get} from 'node:http';
import {createServer, connect} from 'node:net';
import {join} from 'node:path';
import {fileURLToPath} from 'node:url';
import {brotliDecompressSync, gunzipSync} from 'node:zlib';
import {newPage} from './browsers.mjs';

const SERVER = fileURLToPath(new URL('../serve.py', import.meta.url));
const SLOW = {offline: false, latency: 40, downloadThroughput: 10e6 / 8, uploadThroughput: 10e6 / 8};

// web/serve.py on a free port; resolves to {port, stop()}.
function startServer(dir) {
    const child = spawn('python3', [SERVER, dir, '0'], {stdio: ['ignore', 'pipe', 'inherit']});
    const exited = new Promise((done) => child.on('exit', done));
    return new Promise((done, fail) => {
        let text = '';
        child.stdout.on('data', (chunk) => {
            text += chunk;
            const port = text.match(/:(\d+)\/\n/);
            if (!port) return;
            done({port: Number(port[1]), stop: () => {
                child.kill();
                return exited;
            }});
        });
        child.on('error', fail);
        child.on('exit', (code) => fail(new Error(`web/serve.py ended (${code}): ${text}`)));
    });
}

// A TCP relay on one port of its own to a server's PORT, counting what comes
// back; cut() refuses and drops every connection, open(PORT) relays again.
function startRelay() {
    const sockets = new Set();
    const relay = {bytes: 0, port: 0, upstream: 0};
    const server = createServer((client) => {
        const upstream = connect(relay.upstream, '127.0.0.1');
        upstream.on('data', (chunk) => {
            relay.bytes += chunk.length;
        });
        client.pipe(upstream);
        upstream.pipe(client);
        for (const socket of [client, upstream]) {
            sockets.add(socket);
            socket.on('error', () => {});
            socket.on('close', () => {
                sockets.delete(socket);
                client.destroy();
                upstream.destroy();
            });
        }
    });
    relay.cut = () => {
        server.close();
        for (const socket of sockets) socket.destroy();
    };
    relay.open = (port) => new Promise((done) => {
        relay.upstream = port;
        server.listen(relay.port, '127.0.0.1', () => {
            relay.port = server.address().port;
            done(relay);
        });
    });
    return relay;
}

// The build's hash and the files its service worker keeps in this browser
// (which runs the SIMD engine: the web test's browsers all have it).
function workerOf(dir) {
    const text = readFileSync(join(dir, 'service-worker.js'), 'utf8');
    return {build: text.match(/const BUILD = '([0-9a-f]+)'/)[1],
        files: JSON.parse(text.match(/const FILES = (\[.*\]);/)[1])
            .concat(JSON.parse(text.match(/const ENGINES = (\{.*\});/)[1]).simd), text};
}

// A copy of the page in DIR as a next build would be: another worker (with
// no compressed copies, so the new one is served).
function nextBuild(dir) {
    const next = mkdtempSync(join(tmpdir(), 'vorn-next-'));
    cpSync(dir, next, {recursive: true});
    const {build, text} = workerOf(dir);
    const other = [...build].reverse().join('');
    writeFileSync(join(next, 'service-worker.js'), text.replace(`'${build}'`, `'${other}'`));
    rmSync(join(next, 'service-worker.js.gz'));
    rmSync(join(next, 'service-worker.js.br'));
    return {dir: next, build: other};
}

// A file's answer as the browser would get it: {headers, body} undecoded.
function fetchRaw(url, encodings) {
    return new Promise((done, fail) => {
        get(url, {headers: {'Accept-Encoding': encodings}}, (response) => {
            const chunks = [];
            response.on('data', (chunk) => chunks.push(chunk));
            response.on('end', () => done({status: response.statusCode, headers: response.headers,
                body: Buffer.concat(chunks)}));
        }).on('error', fail);
    });
}

// Every file of the page compressed both ways and served as the browser
// accepts it: the long cache on hashed names only.
async function checkServing(check, dir, base) {
    const files = readdirSync(dir).filter((name) => !/\.(gz|br)$/.test(name));
    let unpacked = 0;
    for (const name of files) {
        const plain = readFileSync(join(dir, name));
        if (gunzipSync(readFileSync(join(dir, `${name}.gz`))).equals(plain) &&
            brotliDecompressSync(readFileSync(join(dir, `${name}.br`))).equals(plain)) unpacked++;
    }
    check('every file of the page has a .gz and a .br copy that unpack to it', unpacked === files.length,
        `${unpacked} of ${files.length}`);
    const wasm = files.find((name) => /^vorn-engine\.[0-9a-f]{12}\.wasm$/.test(name));
    const br = await fetchRaw(`${base}${wasm}`, 'gzip, deflate, br');
    const gz = await fetchRaw(`${base}${wasm}`, 'gzip');
    const none = await fetchRaw(`${base}${wasm}`, 'identity');
    const page = await fetchRaw(base, 'gzip, br');
    const size = readFileSync(join(dir, wasm)).length;
    check('the server hands out brotli, gzip or the plain file as accepted, hashed names cached long',
        br.headers['content-encoding'] === 'br' && brotliDecompressSync(br.body).length === size &&
        gz.headers['content-encoding'] === 'gzip' && gunzipSync(gz.body).length === size &&
        !none.headers['content-encoding'] && none.body.length === size &&
        /immutable/.test(br.headers['cache-control']) && page.headers['cache-control'] === 'no-cache',
        `${wasm}: ${size} bytes, ${gz.body.length} gzip, ${br.body.length} brotli; ` +
        `index.html ${page.headers['cache-control']}`);
}

const kb = (bytes) => `${(bytes / 1000).toFixed(0)} kB`;

async function waitForStart(page) {
    await page.waitForFunction(() => window.vorn.state.phase !== 'loading', {timeout: 60000, polling: 10});
    return page.evaluate(() => [window.vorn.state.phase, performance.now()]);
}

// First visit (slowed where the browser speaks the DevTools protocol),
// second visit, then the server gone: the show plays.
async function visits(check, browser, dir, relay, slow) {
    const context = await browser.createBrowserContext(); // no cache, no worker yet
    const url = `http://127.0.0.1:${relay.port}/`;
    const page = await newPage(context);
    const session = slow ? await page.createCDPSession() : null;
    await session?.send('Network.enable');
    await session?.send('Network.emulateNetworkConditions', SLOW);
    relay.bytes = 0;
    await page.goto(url, {waitUntil: 'domcontentloaded'});
    const [phase, startMs] = await waitForStart(page);
    const cache = await page.evaluate(async () => {
        const worker = await navigator.serviceWorker.ready;
        const names = await caches.keys();
        const kept = names.length === 1 ? (await (await caches.open(names[0])).keys()).length : 0;
        return {state: worker.active?.state, names, kept};
    });
    const firstBytes = relay.bytes;
    const {build, files} = workerOf(dir);
    check('the first visit reaches the start screen and the worker keeps every file of the build',
        phase === 'start' && cache.names.join() === `vorn-${build}` && cache.kept === files.length,
        `${cache.state}, cache ${cache.names.join()}, ${cache.kept} of ${files.length} files`);
    await session?.send('Network.emulateNetworkConditions', {...SLOW, latency: 0, downloadThroughput: -1,
        uploadThroughput: -1});

    relay.bytes = 0;
    const again = await newPage(context);
    await again.goto(url, {waitUntil: 'domcontentloaded'});
    const [phaseAgain, againMs] = await waitForStart(again);
    const secondBytes = relay.bytes;
    check('a second visit fetches no more than the page itself', phaseAgain === 'start' && secondBytes < 20000,
        `${secondBytes} bytes`);
    console.log(`       download: first visit ${kb(firstBytes)} (goal under 1500 kB), start screen after ` +
        `${(startMs / 1000).toFixed(2)} s${slow ? ' at 10 Mbit/s, 40 ms (goal under 2 s)' : ''}; second visit ` +
        `${secondBytes} bytes, start screen after ${(againMs / 1000).toFixed(2)} s`);

    relay.cut();
    await again.reload({waitUntil: 'domcontentloaded'});
    const [offline] = await waitForStart(again);
    // Without sound: what is checked is the worker's cache, not the sound
    // output (whose slow start the sound checks judge).
    let moving = [0, 0];
    let drawn = false;
    if (offline === 'start') {
        await again.click('#play-silent');
        drawn = await again.waitForFunction(() => window.vorn.state.frames > 30, {timeout: 20000})
            .then(() => true, () => false);
        const song = () => again.evaluate(() => window.vorn.state.engine._vorn_web_song_seconds());
        if (drawn) moving = [await song(), await new Promise((done) => setTimeout(done, 1000)).then(song)];
    }
    check('with the server gone the page opens from the worker\'s cache and the show plays',
        offline === 'start' && drawn && moving[1] > moving[0] + 0.5,
        `${offline}, ${drawn ? 'drawing' : 'no 30 frames in 20 s'}, song ${moving[0].toFixed(2)} s to ` +
        `${moving[1].toFixed(2)} s`);

    // The network back with a new build: its worker takes over, the old cache goes.
    const next = nextBuild(dir);
    const server = await startServer(next.dir);
    try {
        await relay.open(server.port);
        await again.reload({waitUntil: 'domcontentloaded'});
        const caches = await again.waitForFunction(async (name) => {
            const names = await window.caches.keys();
            return names.join() === name && names;
        }, {timeout: 20000, polling: 100}, `vorn-${next.build}`).then((h) => h.jsonValue()).catch(() => null);
        const now = await again.evaluate(() => window.caches.keys());
        check('a new build\'s worker replaces the old one and its cache on the next visit', caches !== null,
            `caches ${now.join(', ')}`);
    } finally {
        relay.cut();
        await server.stop();
        rmSync(next.dir, {recursive: true, force: true});
    }
    await context.close();
}

// SLOW: the first visit at 10 Mbit/s with 40 ms latency (Chromium only).
export async function downloadChecks(check, browser, dir, slow) {
    const server = await startServer(dir);
    const relay = await startRelay().open(server.port);
    try {
        await checkServing(check, dir, `http://127.0.0.1:${server.port}/`);
        await visits(check, browser, dir, relay, slow);
    } finally {
        relay.cut();
        await server.stop();
    }
}
