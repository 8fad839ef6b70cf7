// Headless Chromium for the page's tests and scripts/measure-web, with no
// package beyond Node: a static server for build/web, the DevTools protocol
// over --remote-debugging-pipe, and a reader of the PNG screenshots it gives.
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const http = require('http');
const path = require('path');
const zlib = require('zlib');

const contentTypes = {
    '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
    '.webmanifest': 'application/manifest+json', '.png': 'image/png',
};

// Serves the files of dir (no subfolders) on port of 127.0.0.1, by default
// a free one. Cross-origin isolated pages (headers) get a finer
// performance.now(): 5 microseconds instead of 100.
function serve(dir, { isolated = false, port = 0 } = {}) {
    const isolation = isolated ? { 'Cross-Origin-Opener-Policy': 'same-origin', 'Cross-Origin-Embedder-Policy': 'require-corp' } : {};
    const server = http.createServer((request, response) => {
        const name = path.basename(new URL(request.url, 'http://host').pathname) || 'index.html';
        fs.readFile(path.join(dir, name), (error, data) => {
            if (error) {
                response.writeHead(404);
                response.end();
                return;
            }
            response.writeHead(200, { 'Content-Type': contentTypes[path.extname(name)] || 'application/octet-stream', ...isolation });
            response.end(data);
        });
    });
    return new Promise((resolve) => server.listen(port, '127.0.0.1', () => resolve(server)));
}

// A browser whose profile and temporary files live in workDir, removed when
// it closes; switches go to its command line. Messages on the pipe are JSON
// ended by a NUL byte.
class Browser {
    constructor(executable, workDir, switches = []) {
        this.workDir = workDir;
        fs.rmSync(workDir, { recursive: true, force: true });
        fs.mkdirSync(path.join(workDir, 'tmp'), { recursive: true });
        this.child = spawn(executable, [
            '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
            '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-crash-reporter',
            '--disable-breakpad', '--mute-audio', `--user-data-dir=${path.join(workDir, 'profile')}`,
            '--remote-debugging-pipe', ...switches, 'about:blank',
        ], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'], env: { ...process.env, TMPDIR: path.join(workDir, 'tmp') } });
        this.nextId = 1;
        this.waiting = new Map();
        this.listeners = [];
        let pending = '';
        this.child.stdio[4].on('data', (chunk) => {
            const parts = (pending + chunk.toString('utf8')).split('\0');
            pending = parts.pop();
            for (const part of parts)
                this.receive(JSON.parse(part));
        });
        this.exited = new Promise((resolve) => this.child.on('exit', resolve));
    }

    receive(message) {
        if (message.id !== undefined) {
            const { resolve, reject } = this.waiting.get(message.id);
            this.waiting.delete(message.id);
            if (message.error)
                reject(new Error(`${message.error.message} (${message.error.code})`));
            else
                resolve(message.result);
            return;
        }
        for (const listener of this.listeners)
            listener(message);
    }

    send(method, params = {}, sessionId = undefined) {
        const id = this.nextId++;
        this.child.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + '\0');
        return new Promise((resolve, reject) => this.waiting.set(id, { resolve, reject }));
    }

    // A new tab; its console errors and warnings collect in page.messages.
    // A scale of 0 keeps the browser's own device scale.
    async open(width, height, scale = 1) {
        const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
        const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
        const page = new Page(this, sessionId);
        this.listeners.push((message) => {
            if (message.sessionId === sessionId)
                page.note(message);
        });
        await page.send('Runtime.enable');
        await page.send('Log.enable');
        await page.send('Page.enable');
        await page.resize(width, height, scale);
        return page;
    }

    async close() {
        this.child.stdio[3].end();
        const timer = setTimeout(() => this.child.kill('SIGKILL'), 5000);
        await this.exited;
        clearTimeout(timer);
        fs.rmSync(this.workDir, { recursive: true, force: true });
    }
}

class Page {
    constructor(browser, sessionId) {
        this.browser = browser;
        this.sessionId = sessionId;
        this.messages = [];
        this.loaded = null;
    }

    send(method, params = {}) { return this.browser.send(method, params, this.sessionId); }

    note({ method, params }) {
        if (method === 'Runtime.consoleAPICalled' && (params.type === 'error' || params.type === 'warning'))
            this.messages.push(`console ${params.type}: ${params.args.map((a) => a.value ?? a.description).join(' ')}`);
        else if (method === 'Runtime.exceptionThrown')
            this.messages.push(`exception: ${params.exceptionDetails.exception?.description ?? params.exceptionDetails.text}`);
        else if (method === 'Log.entryAdded' && (params.entry.level === 'error' || params.entry.level === 'warning'))
            this.messages.push(`log ${params.entry.level}: ${params.entry.text} ${params.entry.url ?? ''}`);
        else if (method === 'Page.loadEventFired' && this.loaded)
            this.loaded();
    }

    resize(width, height, scale = 1) {
        return this.send('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: scale, mobile: false });
    }

    async navigate(url) {
        const loaded = new Promise((resolve) => { this.loaded = resolve; });
        await this.send('Page.navigate', { url });
        await loaded;
    }

    async reload() {
        const loaded = new Promise((resolve) => { this.loaded = resolve; });
        await this.send('Page.reload');
        await loaded;
    }

    async evaluate(expression) {
        const { result, exceptionDetails } = await this.send('Runtime.evaluate', { expression, returnByValue: true, awaitPromise: true });
        if (exceptionDetails)
            throw new Error(`${expression}: ${exceptionDetails.text}`);
        return result.value;
    }

    // Waits until the scene has run at least ticks ticks (10 s at most).
    async waitForTicks(ticks) {
        return this.waitFor(`((window.vaskenStats && vaskenStats.ticks) || 0) >= ${ticks}`);
    }

    // Waits until expression is true in the page (10 s at most), also
    // across the page's own reloads.
    async waitFor(expression) {
        for (let i = 0; i < 200; ++i) {
            if (await this.evaluate(expression).catch(() => false))
                return true;
            await sleep(50);
        }
        return false;
    }

    async screenshot() {
        const { data } = await this.send('Page.captureScreenshot', { format: 'png' });
        return readPng(Buffer.from(data, 'base64'));
    }
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// An 8-bit RGB or RGBA PNG, not interlaced, as { width, height, rgb(x, y) }
// with rgb as 0xRRGGBB.
function readPng(bytes) {
    let at = 8;
    let width = 0, height = 0, channels = 0;
    const data = [];
    while (at < bytes.length) {
        const length = bytes.readUInt32BE(at);
        const type = bytes.toString('latin1', at + 4, at + 8);
        const body = bytes.subarray(at + 8, at + 8 + length);
        if (type === 'IHDR') {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            channels = { 2: 3, 6: 4 }[body[9]];
            if (body[8] !== 8 || !channels || body[12] !== 0)
                throw new Error('PNG of a kind this reader does not know');
        } else if (type === 'IDAT') {
            data.push(body);
        }
        at += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(data));
    const stride = width * channels;
    const pixels = Buffer.alloc(stride * height);
    for (let y = 0; y < height; ++y) {
        const filter = raw[y * (stride + 1)];
        const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
        for (let x = 0; x < stride; ++x) {
            const a = x >= channels ? pixels[y * stride + x - channels] : 0;
            const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
            const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
            let predicted = 0;
            if (filter === 1) predicted = a;
            else if (filter === 2) predicted = b;
            else if (filter === 3) predicted = (a + b) >> 1;
            else if (filter === 4) {
                const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
                predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            }
            pixels[y * stride + x] = (line[x] + predicted) & 0xFF;
        }
    }
    return {
        width,
        height,
        rgb(x, y) {
            const i = y * stride + x * channels;
            return pixels[i] << 16 | pixels[i + 1] << 8 | pixels[i + 2];
        },
    };
}

// A script for Page.addScriptToEvaluateOnNewDocument that holds the page's
// scene ticks (its timer's onTick) and animation frames for the test to run:
// runHeldFrames(count) in the page then runs the same ticks and frames on
// every visit and in every tab. Other timers run as usual.
const holdAnimation = `
    window.heldTicks = [];
    const realSetTimeout = window.setTimeout.bind(window);
    window.setTimeout = (call, ms, ...args) =>
        call.name === 'onTick' ? (heldTicks.push(() => call(...args)), 0) : realSetTimeout(call, ms, ...args);
    window.requestAnimationFrame = (frame) => { window.heldFrame = frame; };
    window.runHeldFrames = (count) => {
        for (let i = 0; i < count; ++i) {
            heldTicks.splice(0).forEach((tick) => tick());
            heldFrame(performance.now());
        }
    };`;

module.exports = { serve, Browser, sleep, holdAnimation };
