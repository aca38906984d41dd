// Shared by the web tests and benchmarks: Debian's Chromium or Firefox ESR
// driven by puppeteer-core (which never downloads a browser of its own),
// or WebKitGTK's MiniBrowser driven by WebKitWebDriver through webkit.js,
// which gives it the same page API; the page at a fixed 640x480 viewport,
// and what the page says.
//
// WEB_BROWSER picks the engine: chromium (the default) runs headless with
// SwiftShader's WebGL; firefox has no WebGL headless, and webkit has no
// headless mode, so each gets a window on the X display in WEB_DISPLAY
// (default DISPLAY), which must be larger than the window (1280x1024 will
// do), and draws through Mesa's llvmpipe. WEB_WINDOW=1 gives Chromium a
// window on that display too, its sound going to the audio server (the
// live A/V rig, tests/web/live.js). The engines' differences the tests
// meet are named here: escape(), and webkit.js's own list (console lines
// are the page's console calls only, no browser notices).
'use strict';
const assert = require('assert');
const { execFileSync } = require('child_process');
const fs = require('fs');
const puppeteer = require('puppeteer-core');
const webkit = require('./webkit');

const site = process.env.SITE_URL || 'http://127.0.0.1:8000/';
const engine = process.env.WEB_BROWSER || 'chromium';
if (!['chromium', 'firefox', 'webkit'].includes(engine)) throw new Error(`WEB_BROWSER=${engine}: chromium, firefox or webkit`);
const display = process.env.WEB_DISPLAY || process.env.DISPLAY;

// The browser; `proxy` ("127.0.0.1:PORT", default WEB_PROXY) takes every
// request it makes to a host, loopback ones too.
async function launch({ proxy = process.env.WEB_PROXY } = {}) {
  if (engine === 'webkit') return webkit.launch(display, proxy);
  if (engine === 'firefox') {
    const [host, port] = proxy ? proxy.split(':') : [];
    return puppeteer.launch({
      browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: false,
      args: ['--width=800', '--height=700'], env: { ...process.env, DISPLAY: display },
      // Fullscreen at once, without the notice over the page, and within
      // the window: no window manager on the display takes the window
      // itself fullscreen. The page's fullscreen is the same to it either
      // way.
      extraPrefsFirefox: {
        'full-screen-api.ignore-widgets': true,
        'full-screen-api.warning.timeout': 0,
        'full-screen-api.transition-duration.enter': '0 0',
        'full-screen-api.transition-duration.leave': '0 0',
        ...(proxy ? {
          'network.proxy.type': 1, 'network.proxy.http': host, 'network.proxy.http_port': Number(port),
          'network.proxy.ssl': host, 'network.proxy.ssl_port': Number(port),
          'network.proxy.allow_hijacking_localhost': true, 'network.proxy.no_proxies_on': '',
        } : {}),
      },
    });
  }
  const windowed = process.env.WEB_WINDOW === '1';
  return puppeteer.launch({
    browser: 'chrome', executablePath: '/usr/bin/chromium', headless: !windowed,
    ...(windowed ? { env: { ...process.env, DISPLAY: display } } : {}),
    args: [...(windowed ? ['--window-position=0,0', '--window-size=640,480'] : []),
      '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--no-first-run', '--disable-quic',
      ...(proxy ? [`--proxy-server=http://${proxy}`, '--proxy-bypass-list=<-loopback>'] : [])],
  });
}

// The browser's name and version, e.g. "chromium 156.0.8078.129",
// "webkit 2.50.6".
async function version(browser) {
  return `${engine} ${(await browser.version()).replace(/^[^/]*\//, '')}`;
}

// A page of `width` x `height` that records its console lines, uncaught
// errors, and every text its prompt shows (window.prompts); `before` (a
// function or a list of them) runs in it before any of the page's scripts. `emulate` (Chromium only), a
// device of puppeteer's KnownDevices, takes the place of the size.
async function newpage(browser, { width = 640, height = 480, before, emulate } = {}) {
  const page = await browser.newPage();
  if (emulate) await page.emulate(emulate);
  else await page.setViewport({ width, height });
  page.lines = [];
  page.errors = [];
  page.on('console', (m) => page.lines.push({ type: m.type(), text: m.text() }));
  page.on('pageerror', (e) => page.errors.push(String(e.message || e)));
  // WEB_REQUESTS names a file that gets a line for every request a page
  // makes other than for the site's page itself, data: and about: URLs
  // (WebKit's driver cannot tell: a proxy must watch it there).
  const requests = process.env.WEB_REQUESTS, itself = site.replace(/[?#].*$/, '');
  if (requests && page.on) {
    page.on('request', (r) => {
      const url = r.url();
      if (!/^(data|about):/.test(url) && url.replace(/[?#].*$/, '') !== itself) fs.appendFileSync(requests, url + '\n');
    });
  }
  await page.evaluateOnNewDocument(() => {
    window.prompts = [];
    new MutationObserver(() => {
      const p = document.getElementById('prompt');
      if (p && window.prompts[window.prompts.length - 1] !== p.textContent) window.prompts.push(p.textContent);
    }).observe(document, { subtree: true, childList: true, characterData: true });
  });
  for (const script of [].concat(before || [])) await page.evaluateOnNewDocument(script);
  return page;
}

async function open(browser, query = '', options = {}) {
  const page = await newpage(browser, options);
  page.opened = Date.now();
  await page.goto((options.site || site) + query);
  return page;
}

// Waits until `predicate(arg)` holds in the page; a timeout names the text
// the page shows and what it said, or is the driver's own when it no
// longer answers (hung()).
async function until(page, predicate, timeout, arg) {
  try {
    await page.waitForFunction(predicate, { timeout, polling: 100 }, arg);
  } catch (e) {
    const prompt = await text(page, '#prompt').catch((asked) => {
      if (hung(asked)) throw asked;
      return '?';
    });
    throw new Error(`waited ${timeout} ms for ${predicate}; the page says "${prompt}"; ` +
      `console: ${JSON.stringify(page.lines || [])}; errors: ${JSON.stringify(page.errors || [])}`);
  }
}

function text(page, selector) {
  return page.$eval(selector, (e) => e.textContent);
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The program's own output lines: console.log, in order.
function said(page) {
  return page.lines.filter((l) => l.type === 'log').map((l) => l.text);
}

// Waits until the program has ended; its exit status.
async function exited(page, timeout) {
  await until(page, () => document.body.dataset.exit !== undefined, timeout);
  return Number(await page.evaluate(() => document.body.dataset.exit));
}

// The viewer presses Escape. Chromium's and WebKit's key input reaches the
// page, and the key is held until released(), as the program reads the
// key's state.
// Firefox's does not reach a fullscreen page (nor Firefox's own leaving of
// fullscreen): there a real key on the window's display leaves fullscreen,
// as a viewer's Escape does, which ends the show.
async function escape(page) {
  if (engine === 'firefox')
    execFileSync('xdotool', ['key', 'Escape'], { env: { ...process.env, DISPLAY: display } });
  else
    await page.keyboard.down('Escape');
}

async function released(page) {
  if (engine !== 'firefox') await page.keyboard.up('Escape');
}

// Mean absolute difference per channel (0..255) and the number of pixels
// differing by more than `far` in some channel, of two same-sized PNGs,
// decoded by the browser itself.
async function compare(page, a, b, far) {
  return page.evaluate(async ([a, b, far]) => {
    async function pixels(base64) {
      const image = new Image();
      image.src = 'data:image/png;base64,' + base64;
      await image.decode();
      const canvas = new OffscreenCanvas(image.width, image.height);
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      return context.getImageData(0, 0, image.width, image.height);
    }
    const [p, q] = [await pixels(a), await pixels(b)];
    if (p.width !== q.width || p.height !== q.height) return { size: [p.width, p.height, q.width, q.height] };
    const sum = [0, 0, 0];
    let distant = 0;
    for (let i = 0; i < p.data.length; i += 4) {
      let worst = 0;
      for (let c = 0; c < 3; c++) {
        const d = Math.abs(p.data[i + c] - q.data[i + c]);
        sum[c] += d;
        worst = Math.max(worst, d);
      }
      if (worst > far) distant++;
    }
    const n = p.width * p.height;
    return { mean: sum.map((s) => s / n), distant, pixels: n };
  }, [Buffer.from(a).toString('base64'), Buffer.from(b).toString('base64'), far]);
}

// The native program's frame at clock t, as a PNG (under X, from the
// repository root): demorender --at t.
function nativeframe(t, file) {
  const native = process.env.DEMORENDER || 'build-webref/demorender';
  execFileSync(native, ['--at', String(t), '--png', file, '--size', '640x480'], { stdio: 'ignore' });
  return fs.readFileSync(file);
}

// The exit status of a test file whose browser's driver stopped answering
// (every call waiting out the protocol's timeout): the only failure the
// web stage runs a file again for. A failed check exits with 1.
const HUNG = 3;

function hung(e) {
  return /timed out\. Increase the 'protocolTimeout'/.test(String(e && e.message));
}

// Ends a test file on an error thrown out of it: status HUNG when the
// driver stopped answering, 1 otherwise.
function fail(e) {
  console.error(e);
  process.exit(hung(e) ? HUNG : 1);
}

// Runs `tests` (name -> async (browser) => page) in one browser, one page
// each: a test passes when it returns without throwing and its page raised
// no error. Only the names holding `only`, when given. Prints a line per
// test and exits with status 1 when any failed, HUNG when the driver
// stopped answering.
async function runtests(label, tests, only) {
  const browser = await launch();
  console.log(`${label}: ${await version(browser)}`);
  let failed = 0;
  for (const [name, test] of Object.entries(tests)) {
    if (only && !name.includes(only)) continue;
    let page;
    try {
      page = await test(browser);
      assert.deepStrictEqual(page.errors, [], 'page errors');
      console.log(`ok   ${name}`);
    } catch (e) {
      failed++;
      console.log(`FAIL ${name}: ${e.message}`);
      // A driver that stopped answering answers no later test either:
      // each would wait out the protocol's timeout in turn.
      if (hung(e)) {
        console.log(`${label}: the driver stopped answering; the tests after this one are not run`);
        process.exit(HUNG);
      }
    }
    if (page) await page.close();
  }
  await browser.close();
  if (failed) process.exit(1);
  console.log(`${label}: all passed`);
}

module.exports = {
  engine, launch, version, newpage, open, until, text, sleep, said, exited, escape, released,
  compare, nativeframe, site, runtests, fail, HUNG,
};
