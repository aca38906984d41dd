// The page as a viewer meets it: nothing runs before the click; after it,
// ten seconds of the show on the WebAudio clock, which must advance at
// 1616.67 units per second of played sound (within 0.5 %, against the
// audio context's own time: Chromium's fake output without a sound card
// falls behind real time on a loaded machine, and the show follows the
// sound, not the wall clock), never step back, and drive the
// picture (three frames read back as drawn match the native frames at
// their clock values); Escape ends the show with "zOT!", leaving
// fullscreen ends it too; a missing or damaged soundtrack, no sound or no
// WebGL gives the native program's message. No test may see a page error.
//
//   node tests/web/show.js   (under X, from the repository root, site at SITE_URL)
'use strict';
const assert = require('assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { launch, open, said, exited, compare, nativeframe } = require('./browser');

const rate = 44100 * 4 / 176400 * 1.6166667 * 1000;   // clock units per second of sound

async function clicked(page) {
  await page.waitForFunction(() => document.getElementById('prompt').textContent === 'click to start',
    null, { timeout: 180000 });
  await page.mouse.click(320, 240);
}

// Records (time, clock, audio context time) after every frame; `grab` clock values ask for the
// first frame at or past each to be read back as a PNG.
async function watch(page, grab) {
  await page.evaluate((grab) => {
    window.seen = [];
    window.grabbed = [];
    Module.onframe = (clock) => {
      window.seen.push([performance.now(), clock, Module.audio.currentTime * 1000]);
      if (!grab.length || clock < grab[0]) return;
      grab.shift();
      const gl = Module.ctx, rgba = new Uint8Array(640 * 480 * 4);
      gl.readPixels(0, 0, 640, 480, gl.RGBA, gl.UNSIGNED_BYTE, rgba);
      const canvas = new OffscreenCanvas(640, 480), context = canvas.getContext('2d');
      const image = context.createImageData(640, 480);
      for (let y = 0; y < 480; y++)   // GL rows run from the bottom
        image.data.set(rgba.subarray((479 - y) * 2560, (480 - y) * 2560), y * 2560);
      context.putImageData(image, 0, 0);
      window.grabbed.push(canvas.convertToBlob().then(async (blob) => {
        const bytes = new Uint8Array(await blob.arrayBuffer());
        let text = '';
        for (const b of bytes) text += String.fromCharCode(b);
        return [clock, btoa(text)];
      }));
    };
  }, grab);
}

const tests = {
  async 'click, ten seconds on the sound clock, Escape'(browser) {
    const page = await open(browser);
    await page.waitForFunction(() => document.getElementById('prompt').textContent === 'click to start',
      null, { timeout: 180000 });
    assert.strictEqual(await page.evaluate(() => document.body.dataset.started), undefined,
      'the show started before the click');
    await watch(page, [3000, 9000, 14000]);
    await page.mouse.click(320, 240);
    await page.waitForFunction(() => window.seen.length && window.seen[window.seen.length - 1][1] > 0,
      null, { timeout: 180000 });
    assert.ok(await page.evaluate(() => document.fullscreenElement !== null), 'not fullscreen after the click');
    // Eleven and a half seconds of sound: the first is left out of the
    // measurement.
    await page.waitForFunction(() => {
      const moving = window.seen.filter((f) => f[1] > 0);
      return moving.length && moving[moving.length - 1][2] - moving[0][2] >= 11500;
    }, null, { timeout: 180000, polling: 250 });
    const seen = await page.evaluate(() => window.seen);
    const grabbed = await page.evaluate(() => Promise.all(window.grabbed));
    await page.keyboard.down('Escape');
    assert.strictEqual(await exited(page, 60000), 0);
    await page.keyboard.up('Escape');

    for (let i = 1; i < seen.length; i++)
      assert.ok(seen[i][1] >= seen[i - 1][1], `the clock stepped back: ${seen[i - 1][1]} -> ${seen[i][1]}`);
    // From the first second of sound on: least-squares slopes of the clock
    // over the audio context's time and over the page's.
    const moving = seen.filter(([, c]) => c > 0);
    const span = moving.filter(([t]) => t >= moving[0][0] + 1000);
    const n = span.length;
    function slope(x) {
      const mx = span.reduce((s, f) => s + f[x], 0) / n, mc = span.reduce((s, f) => s + f[1], 0) / n;
      return 1000 * span.reduce((s, f) => s + (f[x] - mx) * (f[1] - mc), 0) / span.reduce((s, f) => s + (f[x] - mx) ** 2, 0);
    }
    const played = slope(2), wall = slope(0);
    const seconds = (span[n - 1][2] - span[0][2]) / 1000;
    console.log(`  clock: ${played.toFixed(2)} units per second of sound, ${wall.toFixed(2)} per second of page time,` +
      ` over ${seconds.toFixed(1)} s of sound, ${n} frames`);
    assert.ok(seconds >= 9.9, 'less than 10 s of sound measured');
    assert.ok(Math.abs(played / rate - 1) <= 0.005, `clock rate ${played} units/s of sound, not ${rate.toFixed(2)}`);

    assert.strictEqual(grabbed.length, 3, 'frames not read back');
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'webshow-'));
    for (const [clock, png] of grabbed) {
      const r = await compare(page, nativeframe(clock, path.join(dir, `${clock}.png`)), Buffer.from(png, 'base64'), 24);
      console.log(`  picture at clock ${clock}: mean ${r.mean.map((m) => m.toFixed(3)).join(' ')}, ${r.distant} pixels > 24`);
      assert.ok(r.mean.every((m) => m <= 1) && r.distant <= r.pixels * 0.0005, `the picture at ${clock} is not the frame of its clock`);
    }
    fs.rmSync(dir, { recursive: true });
    assert.deepStrictEqual(said(page), ['zOT!']);
    assert.strictEqual(await page.textContent('#messages'), 'zOT!\n');
    return page;
  },

  async 'leaving fullscreen ends the show'(browser) {
    const page = await open(browser);
    await clicked(page);
    await page.waitForFunction(() => document.body.dataset.started === '1', null, { timeout: 180000 });
    await page.waitForTimeout(500);
    await page.evaluate(() => document.exitFullscreen());
    assert.strictEqual(await exited(page, 60000), 0);
    assert.deepStrictEqual(said(page), ['zOT!']);
    return page;
  },

  async 'progress while loading, then the picture letterboxed at 4:3'(browser) {
    const page = await browser.newPage({ viewport: { width: 1000, height: 500 } });
    page.errors = [];
    page.on('pageerror', (e) => page.errors.push(String(e)));
    await page.addInitScript(() => {
      window.prompts = [];
      new MutationObserver(() => {
        const p = document.getElementById('prompt');
        if (p && window.prompts[window.prompts.length - 1] !== p.textContent) window.prompts.push(p.textContent);
      }).observe(document, { subtree: true, childList: true, characterData: true });
    });
    // 4 MB/s: the downloads arrive in many pieces.
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('Network.enable');
    await cdp.send('Network.emulateNetworkConditions',
      { offline: false, latency: 0, downloadThroughput: 4e6, uploadThroughput: 4e6 });
    await page.goto(require('./browser').site);
    await page.waitForFunction(() => document.getElementById('prompt').textContent === 'click to start',
      null, { timeout: 180000 });
    const prompts = await page.evaluate(() => window.prompts);
    const percents = prompts.filter((p) => p.startsWith('loading ')).map((p) => Number(p.split(' ')[1]));
    assert.ok(percents.length >= 5 && percents.every((p, i) => p >= 0 && p <= 100 && (i === 0 || p >= percents[i - 1])),
      `progress: ${prompts.join(' | ')}`);
    assert.strictEqual(percents[percents.length - 1], 100);
    assert.strictEqual(prompts[prompts.length - 1], 'click to start');
    const boxes = [];
    for (const size of [{ width: 1000, height: 500 }, { width: 480, height: 800 }]) {
      await page.setViewportSize(size);
      boxes.push([size, await page.evaluate(() => {
        const r = document.getElementById('canvas').getBoundingClientRect();
        return [r.x, r.y, r.width, r.height].map(Math.round);
      })]);
    }
    // Wide: full height, 4:3 wide, centred; tall: full width, centred.
    assert.deepStrictEqual(boxes.map(([, b]) => b), [[167, 0, 667, 500], [0, 220, 480, 360]]);
    await page.mouse.click(240, 400);
    await page.waitForFunction(() => document.body.dataset.started === '1', null, { timeout: 180000 });
    await page.keyboard.down('Escape');
    assert.strictEqual(await exited(page, 60000), 0);
    return page;
  },

  async 'a single frame asked for with no clock value'(browser) {
    const page = await open(browser, '?at=12x');
    await page.waitForFunction(() => document.getElementById('prompt').textContent.startsWith('?at='),
      null, { timeout: 60000 });
    await page.waitForTimeout(500);
    assert.strictEqual(await page.evaluate(() => document.body.dataset.started), undefined);
    return page;
  },

  async 'a missing soundtrack'(browser) {
    const page = await browser.newPage();
    await page.route('**/data/lyd.ogg', (route) => route.fulfill({ status: 404, body: '' }));
    return failure(page, 'fuck, fikk ikke \u00e5pnet ikke data/lyd.ogg.');
  },

  async 'a damaged soundtrack'(browser) {
    const page = await browser.newPage();
    await page.route('**/data/lyd.ogg', (route) => route.fulfill({ status: 200, body: Buffer.alloc(5000, 7) }));
    return failure(page, 'fuck, problemer med vorbisfile \\: ');
  },

  async 'no WebGL in the browser'(browser) {
    const page = await browser.newPage();
    await page.addInitScript(() => {
      const get = HTMLCanvasElement.prototype.getContext;
      HTMLCanvasElement.prototype.getContext = function (kind, options) {
        return /webgl/.test(kind) ? null : get.call(this, kind, options);
      };
    });
    return failure(page, 'Eeek, kunne ikke sette 640x480');
  },

  async 'no sound in the browser'(browser) {
    const page = await browser.newPage();
    await page.addInitScript(() => { delete window.AudioContext; delete window.webkitAudioContext; });
    return failure(page, 'bleh. lyden fucka. \\: ');
  },
};

// Status 1 and exactly `message`, on the page and in the console.
async function failure(page, message) {
  await page.setViewportSize({ width: 640, height: 480 });
  const { site } = require('./browser');
  page.lines = [];
  page.errors = [];
  page.on('console', (m) => page.lines.push({ type: m.type(), text: m.text() }));
  page.on('pageerror', (e) => page.errors.push(String(e)));
  await page.goto(site);
  await clicked(page);
  assert.strictEqual(await exited(page, 120000), 1);
  assert.deepStrictEqual(said(page), [message]);
  assert.strictEqual(await page.textContent('#messages'), message + '\n');
  return page;
}

async function main() {
  const browser = await launch();
  let failed = 0;
  for (const [name, test] of Object.entries(tests)) {
    let page;
    try {
      page = await test(browser);
      assert.deepStrictEqual(page.errors, [], 'page errors');
      console.log(`ok   ${name}`);
    } catch (e) {
      failed++;
      console.log(`FAIL ${name}: ${e.message}`);
    }
    if (page) await page.close();
  }
  await browser.close();
  if (failed) process.exit(1);
  console.log('show: all passed');
}

main().catch((e) => { console.error(e); process.exit(1); });
