// Under Node: the web module's fixed-seed scene gives the checksum of every
// other build, and its canvas shows the back buffer's colours.
// Usage: node --no-experimental-fetch scenario_test.js BUILD-DIR
'use strict';
const path = require('path');

require(path.join(process.argv[2], 'tests', 'web_scenario.js'))().then((module) => {
    const out = module._runSceneScenario();
    const words = Array.from(module.HEAPU32.subarray(out / 4, out / 4 + 5));
    const hex = (high, low) => high.toString(16).padStart(8, '0') + low.toString(16).padStart(8, '0');
    const got = hex(words[0], words[1]);
    const expected = hex(words[2], words[3]);
    let failures = 0;
    if (got !== expected) {
        console.log(`scene checksum: expected 0x${expected}, got 0x${got}`);
        ++failures;
    }
    if (words[4] !== 0) {
        console.log(`${words[4]} canvas pixels off the sprites differ from the back buffer's colour`);
        ++failures;
    }
    console.log(failures === 0 ? `scene checksum 0x${got} as in every build` : 'FAILED');
    process.exit(failures === 0 ? 0 : 1);
});
