// The page's download, as a new viewer and a returning one get it: the page
// served by web/serve.py (what `make web-run` runs) through a relay that counts
// the bytes the server sends and can be cut off like a lost network. Chromium
// is slowed to 10 Mbit/s with 40 ms latency through the DevTools protocol for
// the first visit. Checks the compressed copies and the caching headers, that
// the service worker keeps every file, and that the show opens and plays with
// the server gone; prints the bytes of each visit and the time to the start
// screen (figures, not asserted).
import {spawn} from 'node:child_process';
import {readFileSync, readdirSync} from 'node:fs';
import {get} from 'node:http';
import {createServer, connect} from 'node:net';
import {join} from 'node:path';
import {fileURLToPath} from 'node:url';
import {brotliDecompressSync, gunzipSync} from 'node:zlib';

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

// A TCP relay to PORT counting what comes back; cut() refuses and drops all.
function startRelay(port) {
    const sockets = new Set();
    const relay = {bytes: 0, port: 0};
    const server = createServer((client) => {
        const upstream = connect(port, '127.0.0.1');
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
    return new Promise((done) => server.listen(0, '127.0.0.1', () => {
        relay.port = server.address().port;
        done(relay);
    }));
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

// First visit slowed, second visit, then the server gone: the show plays.
async function visits(check, browser, dir, relay) {
    const context = await browser.createBrowserContext(); // no cache, no worker yet
    const url = `http://127.0.0.1:${relay.port}/`;
    const page = await context.newPage();
    const session = await page.createCDPSession();
    await session.send('Network.enable');
    await session.send('Network.emulateNetworkConditions', SLOW);
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
    const worker = readFileSync(join(dir, 'service-worker.js'), 'utf8');
    const build = worker.match(/const BUILD = '([0-9a-f]+)'/)[1];
    const files = JSON.parse(worker.match(/const FILES = (\[.*\]);/)[1]);
    check('the first visit reaches the start screen and the worker keeps every file of the build',
        phase === 'start' && cache.names.join() === `vorn-${build}` && cache.kept === files.length,
        `${cache.state}, cache ${cache.names.join()}, ${cache.kept} of ${files.length} files`);
    await session.send('Network.emulateNetworkConditions', {...SLOW, latency: 0, downloadThroughput: -1,
        uploadThroughput: -1});

    relay.bytes = 0;
    const again = await context.newPage();
    await again.goto(url, {waitUntil: 'domcontentloaded'});
    const [phaseAgain, againMs] = await waitForStart(again);
    const secondBytes = relay.bytes;
    check('a second visit fetches no more than the page itself', phaseAgain === 'start' && secondBytes < 20000,
        `${secondBytes} bytes`);
    console.log(`       download: first visit ${kb(firstBytes)} (goal under 1500 kB), start screen after ` +
        `${(startMs / 1000).toFixed(2)} s at 10 Mbit/s, 40 ms (goal under 2 s); second visit ` +
        `${secondBytes} bytes, start screen after ${(againMs / 1000).toFixed(2)} s`);

    relay.cut();
    await again.reload({waitUntil: 'domcontentloaded'});
    const [offline] = await waitForStart(again);
    let moving = [0, 0];
    if (offline === 'start') {
        await again.click('#play');
        await again.waitForFunction(() => window.vorn.state.frames > 30, {timeout: 20000});
        const song = () => again.evaluate(() => window.vorn.state.engine._vorn_web_song_seconds());
        moving = [await song(), await new Promise((done) => setTimeout(done, 1000)).then(song)];
    }
    check('with the server gone the page opens from the worker\'s cache and the show plays',
        offline === 'start' && moving[1] > moving[0] + 0.5,
        `${offline}, song ${moving[0].toFixed(2)} s to ${moving[1].toFixed(2)} s`);
    await context.close();
}

export async function downloadChecks(check, browser, dir) {
    const server = await startServer(dir);
    const relay = await startRelay(server.port);
    try {
        await checkServing(check, dir, `http://127.0.0.1:${server.port}/`);
        await visits(check, browser, dir, relay);
    } finally {
        relay.cut();
        await server.stop();
    }
}
