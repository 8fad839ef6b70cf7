// The page as an installable app, in headless Chromium: Chrome's own
// installability check and the manifest's icons, the screen wake lock held
// while the page shows, the page drawn again with the server gone, and a
// new build taking over whole at the next visit.
// Usage: node --no-experimental-fetch app_test.js BUILD-DIR CHROMIUM CMAKE SW-TEMPLATE SW-WRITER
'use strict';
const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');
const { serve, Browser, holdAnimation } = require('./chromium.js');

const [buildDir, chromium, cmake, workerTemplate, workerWriter] = process.argv.slice(2);
let failures = 0;

function check(what, ok, detail) {
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${ok ? '' : `: ${detail}`}`);
    failures += ok ? 0 : 1;
}

// Before each document of the tab: the scene's ticks and animation frames held for the test
// to run, so that two visits draw the same frame; the wake locks the page
// gets; and, kept across the tab's visits, which loader met which module
// (a mark the next build's copy puts into each).
const observer = `
    ${holdAnimation}
    window.wakeLocks = [];
    if (navigator.wakeLock) {
        const request = navigator.wakeLock.request.bind(navigator.wakeLock);
        navigator.wakeLock.request = (type) => request(type).then((lock) => { wakeLocks.push(lock); return lock; });
    }
    const instantiate = WebAssembly.instantiateStreaming;
    WebAssembly.instantiateStreaming = (...args) => instantiate(...args).then((result) => {
        const mark = WebAssembly.Module.customSections(result.module, 'vasken-test-build');
        window.moduleBuild = mark.length ? new TextDecoder().decode(mark[0]) : 'first';
        const met = JSON.parse(sessionStorage.getItem('met') || '[]');
        sessionStorage.setItem('met', JSON.stringify(met.concat(\`\${window.loaderBuild || 'first'} loader, \${moduleBuild} module\`)));
        return result;
    });`;

// Runs the held ticks and frames of the first 300 ms once the scene has started, and
// answers a checksum of the canvas and its count of lit pixels.
async function drawFrames(page) {
    if (!await page.waitFor('window.heldFrame !== undefined'))
        return { hash: 0, lit: 0 };
    return page.evaluate(`(() => {
        runHeldFrames(30);
        const canvas = document.getElementById('saver');
        const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        let hash = 2166136261, lit = 0;
        for (let i = 0; i < pixels.length; i += 4) {
            const rgb = pixels[i] << 16 | pixels[i + 1] << 8 | pixels[i + 2];
            lit += rgb !== 0;
            hash = Math.imul(hash ^ rgb, 16777619) >>> 0;
        }
        return { hash, lit };
    })()`);
}

// Each icon of the manifest as the page loads it: its stated and its real size.
const iconSizes = `fetch(document.querySelector('link[rel=manifest]').href).then((response) =>
    response.json().then((manifest) => Promise.all(manifest.icons.map((icon) => new Promise((resolve) => {
        const image = new Image();
        image.onload = () => resolve(icon.src + ' ' + icon.sizes + ' is ' + image.naturalWidth + 'x' + image.naturalHeight);
        image.onerror = () => resolve(icon.src + ' does not load');
        image.src = new URL(icon.src, response.url);
    })))))`;

// A copy of the build with its loader and modules marked as another build's,
// and the service worker that the build would write for them.
function makeNextBuild(dir) {
    fs.rmSync(dir, { recursive: true, force: true });
    fs.mkdirSync(dir);
    for (const name of fs.readdirSync(buildDir).filter((n) => /\.(html|js|wasm|webmanifest|png)$/.test(n)))
        fs.copyFileSync(path.join(buildDir, name), path.join(dir, name));
    fs.writeFileSync(path.join(dir, 'vasken.js'), "window.loaderBuild = 'next';\n" + fs.readFileSync(path.join(dir, 'vasken.js')));
    const section = Buffer.from('\x11vasken-test-buildnext', 'latin1');
    for (const name of ['vasken.wasm', 'vasken-simd.wasm'])
        fs.appendFileSync(path.join(dir, name), Buffer.concat([Buffer.from([0, section.length]), section]));
    execFileSync(cmake, [`-DDIR=${dir}`, `-DTEMPLATE=${workerTemplate}`, '-P', workerWriter]);
    return /'(vasken-[0-9a-f]+)'/.exec(fs.readFileSync(path.join(dir, 'service-worker.js'), 'latin1'))[1];
}

async function setWindowState(page, windowState) {
    const { windowId } = await page.send('Browser.getWindowForTarget');
    await page.browser.send('Browser.setWindowBounds', { windowId, bounds: { windowState } });
}

async function main() {
    let server = await serve(buildDir);
    const port = server.address().port;
    const url = `http://127.0.0.1:${port}/?seed=19950824&sound=0`;
    const browser = new Browser(chromium, path.join(buildDir, 'tests', 'chromium-app-test'));
    try {
        const page = await browser.open(800, 600);
        await page.send('Page.addScriptToEvaluateOnNewDocument', { source: observer });
        await page.navigate(url);
        const online = await drawFrames(page);

        const { installabilityErrors } = await page.send('Page.getInstallabilityErrors');
        check("Chrome's installability check finds nothing to stop an install", installabilityErrors.length === 0,
            JSON.stringify(installabilityErrors));
        const icons = await page.evaluate(iconSizes);
        check("the manifest's icons load at their stated sizes",
            icons.length === 3 && icons.every((icon) => /(\d+x\d+) is \1$/.test(icon)), icons.join(', '));

        check('the page holds a screen wake lock while it shows',
            await page.waitFor('wakeLocks.length === 1 && !wakeLocks[0].released'), 'no lock held');
        await setWindowState(page, 'minimized');
        check('and lets it go while hidden',
            await page.waitFor(`document.visibilityState === 'hidden' && wakeLocks.every((lock) => lock.released)`),
            'a lock still held');
        await setWindowState(page, 'normal');
        check('and takes one again when shown again',
            await page.waitFor('wakeLocks.length === 2 && !wakeLocks[1].released'), 'no new lock');

        await page.waitFor(`navigator.serviceWorker.ready.then((registration) => registration.active.state === 'activated')`);
        const [firstCache] = await page.evaluate('caches.keys()');
        server.closeAllConnections();
        server.close();
        await page.reload();
        const offline = await drawFrames(page);
        check('with the server gone a reload draws the same first frame as online',
            offline.hash === online.hash && online.lit > 1000, `online ${JSON.stringify(online)}, offline ${JSON.stringify(offline)}`);

        const nextCache = makeNextBuild(path.join(buildDir, 'tests', 'next-build'));
        server = await serve(path.join(buildDir, 'tests', 'next-build'), { port });
        await page.navigate(url);
        const swapped = await page.waitFor(`window.loaderBuild === 'next' && window.moduleBuild === 'next'`);
        const [met, cacheNames] = await page.evaluate(`Promise.all([JSON.parse(sessionStorage.getItem('met')), caches.keys()])`);
        check('after a new build the next visit runs its loader with its module, and only its files are kept',
            swapped && met.every((pair) => pair === 'first loader, first module' || pair === 'next loader, next module') &&
            cacheNames.length === 1 && cacheNames[0] === nextCache && nextCache !== firstCache,
            `loaders met modules: ${met.join('; ')}; caches ${cacheNames.join(', ')}`);
        if (page.messages.length > 0)
            console.log(`     the page said:\n     ${page.messages.join('\n     ')}`);
    } finally {
        await browser.close();
        server.close();
    }
}

main().then(() => process.exit(failures === 0 ? 0 : 1), (error) => {
    console.log(`FAIL ${error.stack}`);
    process.exit(1);
});
