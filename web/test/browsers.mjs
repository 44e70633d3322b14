// The browsers the page tests drive, launched alike: Debian's chromium over the
// DevTools protocol and Debian's firefox-esr over WebDriver BiDi, both headless
// through puppeteer-core. Firefox plays sound only into a sound server, so its
// launch starts one of its own: a PulseAudio daemon with a null sink in a
// private directory, ended with the browser. Key names that the drivers spell
// differently are mended in pressKey, the one place keys are pressed.
import {spawn} from 'node:child_process';
import {existsSync, mkdtempSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import puppeteer from 'puppeteer-core';

export const BROWSERS = ['chromium', 'firefox'];

const EXECUTABLES = {chromium: '/usr/bin/chromium', firefox: '/usr/bin/firefox-esr'};

// Keys as puppeteer names them for Chromium; Firefox's BiDi input wants the
// character itself where a key types one.
const FIREFOX_KEYS = {Space: ' '};

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// A PulseAudio daemon of this run alone: no system service, no autospawn, its
// socket, state and home in DIR, one null sink as the default output.
async function startSoundServer(dir) {
    const socket = join(dir, 'native');
    const env = {
        ...process.env,
        HOME: dir,
        PULSE_RUNTIME_PATH: join(dir, 'run'),
        PULSE_STATE_PATH: join(dir, 'state'),
    };
    const daemon = spawn('pulseaudio', [
        '-n', '--daemonize=no', '--exit-idle-time=-1', '--use-pid-file=no', '--disallow-module-loading',
        '--high-priority=yes',
        `--load=module-native-protocol-unix socket=${socket} auth-anonymous=1`,
        '--load=module-null-sink sink_name=vorn_test rate=44100',
    ], {env, stdio: ['ignore', 'ignore', 'pipe']});
    let log = '';
    daemon.stderr.on('data', (chunk) => {
        log += chunk;
    });
    const exited = new Promise((done) => daemon.on('exit', done));
    // Not left behind by a test that ends without closing its browser.
    const orphan = () => daemon.kill();
    process.on('exit', orphan);
    daemon.on('error', (error) => {
        log += error.message;
    });
    for (let waited = 0; !existsSync(socket); waited += 50) {
        if (daemon.exitCode !== null || daemon.signalCode !== null || waited > 10000) {
            daemon.kill();
            throw new Error(`the sound server did not start: ${log.trim().split('\n').pop()}`);
        }
        await sleep(50);
    }
    return {
        env: {...env, PULSE_SERVER: `unix:${socket}`},
        async stop() {
            process.off('exit', orphan);
            if (daemon.exitCode === null && daemon.signalCode === null) {
                daemon.kill();
                await exited;
            }
        },
    };
}

// A new tab of a browser or of a context of it. Chromium now and then
// refuses one just after a tab has closed ("Session with given id not
// found"); asked again a moment later, it gives it.
export async function newPage(owner) {
    for (let tries = 1; ; tries++) {
        try {
            return await owner.newPage();
        } catch (error) {
            if (tries === 3 || !/Session with given id not found/.test(error.message)) throw error;
            await sleep(500);
        }
    }
}

function launchChromium(executablePath) {
    return puppeteer.launch({
        executablePath,
        headless: true,
        args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required', '--mute-audio'],
    });
}

function launchFirefox(executablePath, env) {
    return puppeteer.launch({
        product: 'firefox',
        protocol: 'webDriverBiDi',
        executablePath,
        headless: true,
        env,
        extraPrefsFirefox: {
            // Sound may start without a click, as Chromium's flag above allows.
            'media.autoplay.default': 0,
            'media.autoplay.blocking_policy': 0,
            // A deeper output buffer than the default 512 frames: on a busy
            // machine a late audio callback otherwise leaves the sink short,
            // and the audio clock falls behind the wall clock.
            'media.cubeb_latency_msg_frames': 4096,
        },
    });
}

// NAME is 'chromium' or 'firefox'; EXECUTABLE overrides Debian's path.
// Returns {name, browser, pressKey(page, key), close()}.
export async function launchBrowser(name, executable = EXECUTABLES[name]) {
    if (!(name in EXECUTABLES)) throw new Error(`unknown browser ${name}`);
    let sound = null;
    let dir = null;
    let browser;
    try {
        if (name === 'firefox') {
            dir = mkdtempSync(join(tmpdir(), 'vorn-sound-'));
            sound = await startSoundServer(dir);
            browser = await launchFirefox(executable, sound.env);
        } else {
            browser = await launchChromium(executable);
        }
    } catch (error) {
        await sound?.stop();
        if (dir) rmSync(dir, {recursive: true, force: true});
        throw error;
    }
    const keys = name === 'firefox' ? FIREFOX_KEYS : {};
    return {
        name,
        browser,
        pressKey: (page, key) => page.keyboard.press(keys[key] || key),
        async close() {
            await browser.close().catch(() => {});
            await sound?.stop();
            if (dir) rmSync(dir, {recursive: true, force: true});
        },
    };
}
