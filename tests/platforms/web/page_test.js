// The page in headless Chromium, served by a local static server: the
// scene keeps its tick rate, a screenshot shows the squares and the ships,
// a later one differs, a resize
// lays the scene out anew over the new size at device pixels, at device
// pixel ratio 2 a frame is that of ratio 1 in 2 x 2 blocks, bad query
// values leave a working page with one warning each, a normal run says
// nothing on the console, and the settings panel's values are there again
// on the next visit.
// Usage: node --no-experimental-fetch page_test.js BUILD-DIR CHROMIUM
'use strict';
const path = require('path');
const { serve, Browser, sleep, holdAnimation } = require('./chromium.js');

const [buildDir, chromium] = process.argv.slice(2);
let failures = 0;

function check(what, ok, detail) {
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${ok ? '' : `: ${detail}`}`);
    failures += ok ? 0 : 1;
}

// The ships' and squares' colours as the scene's palette has them.
async function sceneColours() {
    const module = await require(path.join(buildDir, 'tests', 'web_scenario_plain.js'))();
    const at = module._sceneColours() >> 2;
    const words = module.HEAPU32;
    const ships = new Set(words.subarray(at + 2, at + 2 + words[at]));
    const squares = new Set(words.subarray(at + 2 + words[at], at + 2 + words[at] + words[at + 1]));
    return { ships, squares };
}

// Pixels right of left or below top (all by default).
function sortColours(shot, colours, left = 0, top = 0) {
    let shipPixels = 0, nonBlack = 0;
    const squares = new Set();
    for (let y = 0; y < shot.height; ++y)
        for (let x = 0; x < shot.width; ++x) {
            if (x < left && y < top)
                continue;
            const rgb = shot.rgb(x, y);
            nonBlack += rgb !== 0;
            shipPixels += colours.ships.has(rgb);
            if (colours.squares.has(rgb))
                squares.add(rgb);
        }
    return { shipPixels, squareColours: squares.size, nonBlack };
}

// Pixels of a that differ from b scaled up by a whole number.
function differingPixels(a, b, scale = 1) {
    let count = 0;
    for (let y = 0; y < a.height; ++y)
        for (let x = 0; x < a.width; ++x)
            count += a.rgb(x, y) !== b.rgb(Math.floor(x / scale), Math.floor(y / scale));
    return count;
}

async function main() {
    const colours = await sceneColours();
    const server = await serve(buildDir);
    const base = `http://127.0.0.1:${server.address().port}/index.html`;
    const browser = new Browser(chromium, path.join(buildDir, 'tests', 'chromium-page-test'));
    try {
        const page = await browser.open(800, 600);
        await page.navigate(`${base}?seed=19950824`);
        check('the scene runs', await page.waitForTicks(50), 'fewer than 50 ticks in 10 s');
        const loaded = await page.evaluate(`performance.getEntriesByType('resource').map((e) => e.name.split('/').pop())`);
        check('Chromium, which has WebAssembly SIMD, gets the SIMD module',
            loaded.includes('vasken-simd.wasm') && !loaded.includes('vasken.wasm'), loaded.join(' '));
        const [startMs, startTicks] = await page.evaluate('[performance.now(), vaskenStats.ticks]');
        await sleep(1500);
        const [endMs, endTicks] = await page.evaluate('[performance.now(), vaskenStats.ticks]');
        const rate = (endTicks - startTicks) * 1000 / (endMs - startMs);
        check('whole 10 ms ticks at a 60 Hz frame rate: 100 a second', rate > 85 && rate < 110, `${rate.toFixed(1)} a second`);
        const first = await page.screenshot();
        const seen = sortColours(first, colours);
        check('squares and ships in a screenshot', seen.shipPixels > 500 && seen.squareColours >= 8,
            `${seen.shipPixels} ship pixels, ${seen.squareColours} square colours`);
        await page.waitForTicks(await page.evaluate('vaskenStats.ticks') + 30);
        const later = await page.screenshot();
        const changed = differingPixels(first, later);
        check('a later screenshot differs', changed > 100, `${changed} pixels differ`);

        await page.resize(1000, 700);
        await page.waitForTicks(await page.evaluate('vaskenStats.ticks') + 20);
        const grown = await page.screenshot();
        const added = sortColours(grown, colours, 800, 600);
        const size = await page.evaluate('[document.getElementById("saver").width, document.getElementById("saver").height]');
        check('a larger viewport gets a canvas of its size with the scene laid out over it',
            size[0] === 1000 && size[1] === 700 && added.nonBlack > 200,
            `canvas ${size[0]} x ${size[1]}, ${added.nonBlack} lit pixels in the added part`);
        await page.resize(500, 400, 2);
        await page.waitForTicks(await page.evaluate('vaskenStats.ticks') + 20);
        const dense = await page.evaluate('[document.getElementById("saver").width, document.getElementById("saver").height]');
        check('the canvas has device pixels', dense[0] === 1000 && dense[1] === 800, `canvas ${dense[0]} x ${dense[1]}`);
        check('no console errors or warnings in a normal run and on resizes', page.messages.length === 0,
            page.messages.join('\n     '));

        // The same frame at ratios 1 and 2: the test holds the page's ticks
        // and animation frames and runs the same of each in both tabs. A background the scene lacks shows where the canvas leaves
        // the window uncovered.
        const shots = [];
        for (const scale of [1, 2]) {
            const tab = await browser.open(640, 360, scale);
            await tab.send('Page.addScriptToEvaluateOnNewDocument', { source: holdAnimation });
            await tab.navigate(`${base}?seed=19950824&sound=0`);
            await tab.evaluate(`new Promise(function wait(done) { window.heldFrame ? done() : setTimeout(wait, 20, done); })
                .then(() => {
                    document.body.style.background = '#123456';
                    document.getElementById('open-settings').hidden = true;
                    runHeldFrames(60);
                })`);
            shots.push(await tab.screenshot());
            await tab.send('Page.close');
        }
        const [single, double] = shots;
        const differing = differingPixels(double, single, 2);
        check('at ratio 2 the frame of ratio 1 in 2 x 2 device pixels to the right and bottom edges: ships as wide in CSS pixels',
            differing === 0 && sortColours(single, colours).shipPixels > 500, `${differing} of ${double.width} x ${double.height} differ`);

        const bad = await browser.open(640, 480);
        await bad.navigate(`${base}?interval=abc&sound=7&refresh=0&seed=-1&pixels=9`);
        check('bad query values leave a running scene', await bad.waitForTicks(50), 'fewer than 50 ticks in 10 s');
        const badSeen = sortColours(await bad.screenshot(), colours);
        check('bad query values leave the scene on screen', badSeen.shipPixels > 500, `${badSeen.shipPixels} ship pixels`);
        const warned = ['interval', 'sound', 'refresh', 'seed', 'pixels'].every((name) =>
            bad.messages.some((m) => m.startsWith('console warning') && m.includes(`${name}=`)));
        check('one warning for each bad value and nothing else',
            warned && bad.messages.length === 5, bad.messages.join('\n     '));

        await page.evaluate(`document.getElementById('open-settings').click();
            document.getElementById('interval').value = '25';
            document.getElementById('refresh').value = '3';
            document.getElementById('panel').requestSubmit()`);
        await page.navigate(base);
        await page.waitForTicks(10);
        const kept = await page.evaluate(`document.getElementById('open-settings').click();
            [document.getElementById('interval').value, document.getElementById('refresh').value]`);
        check('the panel keeps its settings for the next visit', kept[0] === '25' && kept[1] === '3', kept.join(', '));
    } finally {
        await browser.close();
        server.close();
    }
}

main().then(() => process.exit(failures === 0 ? 0 : 1), (error) => {
    console.log(`FAIL ${error.stack}`);
    process.exit(1);
});
