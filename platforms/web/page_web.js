// The web page's side of the saver, appended to the module's loader: the
// canvas at the scene's logical size, which the browser scales up in blocks
// of whole device pixels, the scene's ticks from a timer at the pace the
// module answers, presents from animation frames, the renderer's rectangles presented with putImageData, sound through Web
// Audio after the first gesture, the settings from the query and a panel
// kept in localStorage, full screen and the hidden pointer, the screen kept
// on, and the service worker that keeps the page for visits offline. The
// module (platforms/web/main_web.cpp) does the saver itself.
(function () {
    'use strict';
    if (typeof document === 'undefined')
        return;

    const names = ['sound', 'interval', 'refresh'];
    const storageKey = 'vasken.settings';
    const pointerIdleMs = 2000;
    const canvas = document.getElementById('saver');
    const context = canvas.getContext('2d', { alpha: false });
    const hint = document.getElementById('hint');
    const panel = document.getElementById('panel');

    let module = null;
    let ranges = {};      // name -> { low, high, fallback, fallbackText }
    let settings = {};    // name -> value in use
    let seed = -1;
    let image = null;     // ImageData over the module's RGBA image
    let tickTimer = 0;
    let resizePending = false;
    let audio = null;
    let playing = null;
    let soundToken = 0;
    const waves = new Map(); // wave address -> Promise of its AudioBuffer
    // Totals for scripts/measure-web.
    const stats = { ticks: 0, tickMs: 0, presents: 0, presentMs: 0, convertMs: 0, rects: 0 };
    window.vaskenStats = stats;

    const isValid = (name, value) => Number.isInteger(value) && value >= ranges[name].low && value <= ranges[name].high;

    function readRanges() {
        const at = module._webSettingRanges() >> 2;
        names.forEach((name, i) => {
            const [low, high, fallback] = module.HEAP32.subarray(at + 3 * i, at + 3 * i + 3);
            ranges[name] = { low, high, fallback };
        });
        // The page's own settings: the pixel size, 0 for the display's, and
        // whether the screen stays on.
        ranges.pixels = { low: 1, high: module._webMaxPixelSize(), fallback: 0, fallbackText: "the display's scale" };
        ranges.awake = { low: 0, high: 1, fallback: 1 };
    }

    function readStored() {
        try {
            return JSON.parse(localStorage.getItem(storageKey)) || {};
        } catch (e) {
            return {}; // no storage here (a file: page, a private window)
        }
    }

    // Stored values first, then the query's; a bad query value becomes the
    // default, with a warning.
    function readSettings() {
        const stored = readStored();
        const query = new URLSearchParams(location.search);
        for (const name of Object.keys(ranges)) {
            settings[name] = isValid(name, stored[name]) ? stored[name] : ranges[name].fallback;
            if (!query.has(name))
                continue;
            const text = query.get(name);
            const value = /^[0-9]{1,9}$/.test(text) ? Number(text) : NaN;
            if (isValid(name, value)) {
                settings[name] = value;
            } else {
                const { low, high, fallback, fallbackText } = ranges[name];
                console.warn(`vasken: ${name}=${text} is not a whole number from ${low} to ${high}; using ${fallbackText ?? fallback}`);
                settings[name] = fallback;
            }
        }
        if (query.has('seed')) {
            const text = query.get('seed');
            seed = /^[0-9]{1,10}$/.test(text) && Number(text) <= 4294967295 ? Number(text) : -1;
            if (seed < 0)
                console.warn(`vasken: seed=${text} is not a whole number from 0 to 4294967295; using a random one`);
        }
        // Without a seed of its own each page draws a formation of its own,
        // even two opened in the same second; the console tells which, so
        // that ?seed= can show it again.
        if (seed < 0) {
            seed = crypto.getRandomValues(new Uint32Array(1))[0];
            console.info(`vasken: seed=${seed}`);
        }
    }

    // The window's size in device pixels and the display's scale, from
    // which the module chooses the pixel size N and the logical size.
    function deviceSize() {
        const ratio = window.devicePixelRatio || 1;
        const root = document.documentElement;
        return [Math.max(1, Math.round(root.clientWidth * ratio)), Math.max(1, Math.round(root.clientHeight * ratio)),
            ratio];
    }

    // The canvas holds the logical size. Its CSS size makes each logical
    // pixel N device pixels; from the top left it covers the window, and
    // the page clips the last blocks where they stick out.
    function showLayout(ratio) {
        const at = module._webLayout() >> 2;
        const [pixelSize, width, height] = module.HEAP32.subarray(at, at + 3);
        if (canvas.width !== width || canvas.height !== height) {
            canvas.width = width;
            canvas.height = height;
        }
        canvas.style.width = `${width * pixelSize / ratio}px`;
        canvas.style.height = `${height * pixelSize / ratio}px`;
    }

    // Zoom and a move to a monitor of another density change the ratio,
    // often without a resize event.
    function watchRatio() {
        const query = matchMedia(`(resolution: ${window.devicePixelRatio || 1}dppx)`);
        query.addEventListener('change', () => {
            resizePending = true;
            watchRatio();
        }, { once: true });
    }

    function fail() {
        hint.textContent = 'Not enough memory for a canvas of this size';
        hint.hidden = false;
    }

    function startScene() {
        const [deviceWidth, deviceHeight, ratio] = deviceSize();
        if (!module._webStart(deviceWidth, deviceHeight, ratio, settings.pixels, settings.sound, settings.interval,
            settings.refresh, seed, performance.now()))
            fail();
        showLayout(ratio);
        clearTimeout(tickTimer);
        tickTimer = setTimeout(onTick, settings.interval);
    }

    function resize() {
        resizePending = false;
        const [deviceWidth, deviceHeight, ratio] = deviceSize();
        if (!module._webResize(deviceWidth, deviceHeight, ratio))
            fail();
        showLayout(ratio);
    }

    // The ImageData is made anew when the image moves, changes size, or the
    // module's memory grows (which replaces its buffer).
    function currentImage() {
        const width = module._webWidth(), height = module._webHeight(), pixels = module._webPixels();
        const buffer = module.HEAPU8.buffer;
        if (pixels === 0)
            return null;
        if (image === null || image.data.buffer !== buffer || image.data.byteOffset !== pixels ||
            image.width !== width || image.height !== height)
            image = new ImageData(new Uint8ClampedArray(buffer, pixels, width * height * 4), width, height);
        return image;
    }

    function present() {
        const start = performance.now();
        const count = module._webRectsToPresent();
        stats.convertMs += performance.now() - start;
        const shown = count > 0 ? currentImage() : null;
        if (shown !== null) {
            const rects = module.HEAP32.subarray(module._webRectList() >> 2, (module._webRectList() >> 2) + 4 * count);
            for (let i = 0; i < 4 * count; i += 4)
                context.putImageData(shown, 0, 0, rects[i], rects[i + 1], rects[i + 2], rects[i + 3]);
            stats.rects += count;
        }
        module._webPresented();
    }

    function playRequested() {
        const wave = module._webSoundRequest();
        if (wave === -1)
            return;
        const token = ++soundToken;
        if (playing !== null) {
            playing.stop();
            playing = null;
        }
        if (wave === 0 || audio === null || !settings.sound)
            return;
        if (!waves.has(wave)) {
            const bytes = module.HEAPU8.slice(wave, wave + module._webSoundSize(wave));
            waves.set(wave, audio.decodeAudioData(bytes.buffer));
        }
        waves.get(wave).then((buffer) => {
            if (token !== soundToken)
                return;
            playing = audio.createBufferSource();
            playing.buffer = buffer;
            playing.connect(audio.destination);
            playing.start();
        }, () => {});
    }

    // The module runs one frame per tick and answers when the next is
    // due; a timer that fires late runs one frame, never a burst.
    function onTick() {
        const start = performance.now();
        tickTimer = setTimeout(onTick, module._webTick(start));
        stats.ticks += 1;
        stats.tickMs += performance.now() - start;
    }

    // What the ticks drew since the last animation frame reaches the
    // canvas once per frame of the display.
    function onFrame() {
        requestAnimationFrame(onFrame);
        if (resizePending)
            resize();
        const start = performance.now();
        playRequested();
        present();
        stats.presents += 1;
        stats.presentMs += performance.now() - start;
    }

    // Browsers let a page sound only after a gesture on it.
    function enableSound() {
        hint.hidden = true;
        if (audio !== null || !settings.sound)
            return;
        const AudioContext = window.AudioContext || window.webkitAudioContext;
        if (AudioContext)
            audio = new AudioContext();
    }

    function toggleFullScreen() {
        if (document.fullscreenElement)
            document.exitFullscreen();
        else if (document.documentElement.requestFullscreen)
            document.documentElement.requestFullscreen().catch(() => {});
    }

    function showPanel(show) {
        panel.hidden = !show;
        if (!show)
            return;
        document.getElementById('sound').checked = settings.sound === 1;
        document.getElementById('awake').checked = settings.awake === 1;
        for (const name of ['interval', 'refresh']) {
            const input = document.getElementById(name);
            input.min = ranges[name].low;
            input.max = ranges[name].high;
            input.value = settings[name];
            document.querySelector(`[data-range=${name}]`).textContent = `${ranges[name].low} to ${ranges[name].high}`;
        }
        const pixels = document.getElementById('pixels');
        for (let n = pixels.options.length; n <= ranges.pixels.high; ++n)
            pixels.add(new Option(`${n} × ${n} device pixels`, n));
        pixels.value = settings.pixels;
    }

    function saveSettings(event) {
        event.preventDefault();
        settings.sound = document.getElementById('sound').checked ? 1 : 0;
        settings.awake = document.getElementById('awake').checked ? 1 : 0;
        for (const name of ['interval', 'refresh']) {
            const value = Number(document.getElementById(name).value);
            settings[name] = isValid(name, value) ? value : ranges[name].fallback;
        }
        const pixels = Number(document.getElementById('pixels').value);
        settings.pixels = isValid('pixels', pixels) ? pixels : ranges.pixels.fallback;
        try {
            localStorage.setItem(storageKey, JSON.stringify(settings));
        } catch (e) {
            // Not kept, but in use until the page closes.
        }
        if (settings.sound)
            enableSound();
        showPanel(false);
        startScene();
        keepScreenOn();
    }

    // A screen wake lock while the page shows the scene, where the browser
    // grants one. The browser drops it whenever the page is hidden, so it is
    // asked for again each time the page shows.
    let wakeLock = null; // a promise of the held lock
    let saidNoWakeLock = false;

    function keepScreenOn() {
        const wanted = settings.awake === 1 && document.visibilityState === 'visible';
        if (wanted && wakeLock === null) {
            if (!navigator.wakeLock) {
                sayNoWakeLock('this browser cannot keep the screen on');
                return;
            }
            const request = navigator.wakeLock.request('screen');
            wakeLock = request;
            request.then((lock) => lock.addEventListener('release', () => {
                if (wakeLock === request)
                    wakeLock = null;
            }), (error) => {
                if (wakeLock === request)
                    wakeLock = null;
                sayNoWakeLock(`the browser does not keep the screen on (${error.name})`);
            });
        } else if (!wanted && wakeLock !== null) {
            const request = wakeLock;
            wakeLock = null;
            request.then((lock) => lock.release(), () => {});
        }
    }

    function sayNoWakeLock(reason) {
        if (!saidNoWakeLock)
            console.info(`vasken: ${reason}; the screen may dim and lock as it is set to`);
        saidNoWakeLock = true;
    }

    // The service worker keeps this build for visits without the server.
    // When it finds a new build, the page asks it to take over only once the
    // page holds all its own files, then starts again from the new build;
    // a page loaded from the server (the first visit) has nothing to swap.
    function watchForNewBuild() {
        if (navigator.serviceWorker && navigator.serviceWorker.controller)
            navigator.serviceWorker.addEventListener('controllerchange', () => location.reload());
    }

    function registerServiceWorker() {
        const workers = navigator.serviceWorker;
        if (!workers)
            return; // a file: page, a page over plain HTTP, an old browser
        const updating = workers.controller !== null;
        const offer = (worker) => {
            if (!updating || !worker)
                return;
            if (worker.state === 'installed')
                worker.postMessage('take over');
            else if (worker.state === 'installing')
                worker.addEventListener('statechange', () => offer(worker), { once: true });
        };
        workers.register('service-worker.js').then((registration) => {
            offer(registration.waiting || registration.installing);
            registration.addEventListener('updatefound', () => offer(registration.installing));
        }, () => {});
    }

    let idleTimer = 0;
    function notePointer() {
        document.body.classList.remove('idle');
        clearTimeout(idleTimer);
        idleTimer = setTimeout(() => document.body.classList.add('idle'), pointerIdleMs);
    }

    function onKey(event) {
        const typing = event.target instanceof HTMLInputElement;
        if (event.key === 'Escape')
            showPanel(false);
        else if (!typing && (event.key === 'f' || event.key === 'F'))
            toggleFullScreen();
        else if (!typing && (event.key === 's' || event.key === 'S'))
            showPanel(panel.hidden);
        enableSound();
    }

    // A module of one function returning a v128 validates only where the
    // browser has WebAssembly SIMD; the module built for it is faster.
    const simd = WebAssembly.validate(new Uint8Array([
        0x00, 0x61, 0x73, 0x6d, 0x01, 0x00, 0x00, 0x00, 0x01, 0x05, 0x01, 0x60, 0x00, 0x01, 0x7b, 0x03, 0x02, 0x01,
        0x00, 0x0a, 0x16, 0x01, 0x14, 0x00, 0xfd, 0x0c, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0b,
    ]));
    const locateFile = (name, prefix) => prefix + (simd ? name.replace('vasken.wasm', 'vasken-simd.wasm') : name);

    watchForNewBuild();
    createVasken({ locateFile }).then((loaded) => {
        module = loaded;
        readRanges();
        readSettings();
        hint.hidden = !settings.sound;
        startScene();
        window.addEventListener('resize', () => { resizePending = true; });
        watchRatio();
        window.addEventListener('keydown', onKey);
        window.addEventListener('pointerdown', enableSound);
        window.addEventListener('pointermove', notePointer);
        canvas.addEventListener('dblclick', toggleFullScreen);
        document.getElementById('open-settings').addEventListener('click', () => showPanel(panel.hidden));
        document.getElementById('close-settings').addEventListener('click', () => showPanel(false));
        panel.addEventListener('submit', saveSettings);
        notePointer();
        requestAnimationFrame(onFrame);
        keepScreenOn();
        document.addEventListener('visibilitychange', keepScreenOn);
        registerServiceWorker();
    }, () => {
        // Chromium, for one, fetches nothing for a page opened as a file.
        hint.textContent = location.protocol === 'file:' ? 'This page has to come from a web server' :
            'The saver could not be loaded';
        hint.hidden = false;
    });
})();
