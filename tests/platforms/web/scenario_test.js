// Under Node: both kinds of web module (with and without WebAssembly SIMD)
// give the checksum of every other build for the fixed-seed scene, their
// canvas shows the back buffer's colours, and the page's one loader is the
// loader both builds generate.
// Usage: node --no-experimental-fetch scenario_test.js BUILD-DIR
'use strict';
const fs = require('fs');
const path = require('path');

const buildDir = process.argv[2];
let failures = 0;

function check(what, ok, detail) {
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${ok ? '' : `: ${detail}`}`);
    failures += ok ? 0 : 1;
}

async function runScenario(variant) {
    const module = await require(path.join(buildDir, 'tests', `web_scenario_${variant}.js`))();
    const at = module._runSceneScenario() >> 2;
    const words = Array.from(module.HEAPU32.subarray(at, at + 5));
    const hex = (high, low) => high.toString(16).padStart(8, '0') + low.toString(16).padStart(8, '0');
    const got = hex(words[0], words[1]);
    const expected = hex(words[2], words[3]);
    check(`${variant}: scene checksum 0x${expected}`, got === expected, `got 0x${got}`);
    check(`${variant}: the canvas shows the back buffer off the sprites`, words[4] === 0,
        `${words[4]} pixels differ from the back buffer's colour`);
}

async function main() {
    await runScenario('plain');
    await runScenario('simd');
    const plain = fs.readFileSync(path.join(buildDir, 'vasken.js'), 'utf8');
    const simd = fs.readFileSync(path.join(buildDir, 'simd', 'vasken_simd.js'), 'utf8').replaceAll('vasken_simd.wasm', 'vasken.wasm');
    check('the SIMD build generates the loader the page has', plain.startsWith(simd), 'the loaders differ');
}

main().then(() => process.exit(failures === 0 ? 0 : 1), (error) => {
    console.log(`FAIL ${error.stack}`);
    process.exit(1);
});
