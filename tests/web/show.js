// The page as a viewer meets it, in the browser WEB_BROWSER names
// (browser.js): the soundtrack decoded while the page loads, then nothing
// drawn before the click; the opening frame drawn in the click's own turn,
// within half a second of it (a generous bound: the benchmark measures
// it), then ten seconds of the
// show on the WebAudio clock, which must advance at 1616.67 units per
// second of played sound (within 0.5 %, against the audio context's own
// output timestamps: a fake output without a sound card falls behind real
// time on a loaded machine, and stands still now and then, and the show
// follows the sound, not the wall clock), never step back, and drive the
// picture (three frames read back as drawn match the native frames at
// their clock values); Escape ends the show
// with "zOT!", leaving fullscreen ends it too; a browser whose downloads
// have no readable stream still plays; a missing or damaged
// soundtrack, no sound or no WebGL gives the native program's message,
// before the click, and a sound device refused at the click gives it at
// the click. No test may see a page error.
//
//   node tests/web/show.js [WORDS]   (under X, from the repository root,
//   site at SITE_URL; WORDS runs only the tests whose names hold them)
'use strict';
const assert = require('assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const {
  runtests, open, until, text, sleep, said, exited, escape, released, compare, nativeframe, fail,
} = require('./browser');
const { witness, rendered } = require('./witness');
const { relay } = require('./relay');

const rate = 44100 * 4 / 176400 * 1.6166667 * 1000;   // clock units per second of sound

async function ready(page) {
  await until(page, () => document.getElementById('prompt').textContent === 'click to start', 180000);
}

async function clicked(page) {
  await ready(page);
  await page.mouse.click(320, 240);
}

// Records (time, clock, audio context time, and the reading of the output
// position the clock came from: Module.lastread) after every frame, the
// time of the click, and the frames the context rendered (witness.js,
// witness: window.counts); `grab` clock values ask for the first frame at or
// past each to be read back as a PNG.
async function watch(page, grab) {
  await page.evaluate(witness);
  await page.evaluate((grab) => {
    window.seen = [];
    window.grabbed = [];
    document.addEventListener('click', () => { window.clickedat = performance.now(); }, true);
    // Heard after the page's own click handler: the frames drawn by then.
    document.addEventListener('click', () => { window.drawninclick = window.seen.length; });
    Module.onframe = (clock) => {
      if (!window.witnessed) window.witness(Module.audio);
      window.witnessed = true;
      window.seen.push([performance.now(), clock, Module.audio.currentTime * 1000, ...(Module.lastread || [0, 0, 0, 0])]);
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
  async 'decoded before the click; click, first frame, ten seconds on the sound clock, Escape'(browser) {
    const page = await open(browser);
    await ready(page);
    await watch(page, [3000, 9000, 14000]);
    await sleep(300);
    assert.deepStrictEqual(await page.evaluate(() => [document.body.dataset.started || 'no', window.seen.length]),
      ['no', 0], 'the show started before the click');
    // The whole soundtrack, to the show's end at clock 168000, is decoded.
    const decoded = await page.evaluate(() => Module.pcmframes / 44100);
    assert.ok(decoded >= 168000 / rate, `${decoded} s of sound decoded before the click`);
    await page.mouse.click(320, 240);
    await until(page, () => window.seen.length && window.seen[window.seen.length - 1][1] > 0, 180000);
    assert.ok(await page.evaluate(() => document.fullscreenElement !== null), 'not fullscreen after the click');
    const [first, inclick] = await page.evaluate(() => [window.seen[0][0] - window.clickedat, window.drawninclick]);
    console.log(`  click to first frame: ${first.toFixed(0)} ms`);
    // The opening frame is drawn in the click's own turn, not left to an
    // animation frame that going fullscreen holds back.
    assert.strictEqual(inclick, 1, 'frames drawn in the click\'s own turn');
    assert.ok(first <= 500, `the first frame came ${first.toFixed(0)} ms after the click`);
    // Eleven and a half seconds of sound: the first is left out of the
    // measurement.
    await until(page, () => {
      const moving = window.seen.filter((f) => f[1] > 0);
      return moving.length && moving[moving.length - 1][2] - moving[0][2] >= 11500;
    }, 180000);
    const [seen, counts, samplerate] = await page.evaluate(() => [window.seen, window.counts, Module.audio.sampleRate]);
    const grabbed = await page.evaluate(() => Promise.all(window.grabbed));
    await escape(page);
    assert.strictEqual(await exited(page, 60000), 0);
    await released(page);

    for (let i = 1; i < seen.length; i++)
      assert.ok(seen[i][1] >= seen[i - 1][1], `the clock stepped back: ${seen[i - 1][1]} -> ${seen[i][1]}`);
    // From the first second of sound on: least-squares slopes of the clock
    // over the sound the context rendered by each frame (the witness, which
    // the clock computes nothing from: a clock running at another rate
    // than the sound's fails, a constant offset does not) and over page
    // time.
    const sound = seen.map(([t]) => rendered(counts, samplerate, t) * 1000);
    const moving = seen.map((f, i) => [f[0], f[1], sound[i]]).filter(([, c, s]) => c > 0 && Number.isFinite(s));
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
    assert.strictEqual(await text(page, '#messages'), 'zOT!\n');
    return page;
  },

  async 'leaving fullscreen ends the show'(browser) {
    const page = await open(browser);
    await clicked(page);
    await until(page, () => document.body.dataset.started === '1', 180000);
    await sleep(500);
    await page.evaluate(() => document.exitFullscreen());
    assert.strictEqual(await exited(page, 60000), 0);
    // The console holds the program's output and nothing else.
    assert.deepStrictEqual(page.lines, [{ type: 'log', text: 'zOT!' }]);
    return page;
  },

  async 'progress while loading and decoding, then the picture letterboxed at 4:3'(browser) {
    // 4 MB/s: the downloads arrive in many pieces.
    const slow = await relay({ rate: 4e6 });
    const page = await open(browser, '', { width: 1000, height: 500, site: slow.url });
    await ready(page);
    slow.close();
    const prompts = await page.evaluate(() => window.prompts);
    const percents = prompts.filter((p) => p.startsWith('loading ')).map((p) => Number(p.split(' ')[1]));
    assert.ok(percents.length >= 5 && percents.every((p, i) => p >= 0 && p <= 100 && (i === 0 || p >= percents[i - 1])),
      `progress: ${prompts.join(' | ')}`);
    // The second half is the decoding, which shows its progress too.
    assert.ok(percents.some((p) => p > 50 && p < 100), `no decoding progress: ${prompts.join(' | ')}`);
    assert.strictEqual(prompts[prompts.length - 1], 'click to start');
    const boxes = [];
    for (const size of [{ width: 1000, height: 500 }, { width: 480, height: 800 }]) {
      await page.setViewport(size);
      boxes.push([size, await page.evaluate(() => {
        const r = document.getElementById('canvas').getBoundingClientRect();
        return [r.x, r.y, r.width, r.height].map(Math.round);
      })]);
    }
    // Wide: full height, 4:3 wide, centred; tall: full width, centred.
    assert.deepStrictEqual(boxes.map(([, b]) => b), [[167, 0, 667, 500], [0, 220, 480, 360]]);
    await page.mouse.click(240, 400);
    await until(page, () => document.body.dataset.started === '1', 180000);
    await escape(page);
    assert.strictEqual(await exited(page, 60000), 0);
    await released(page);
    return page;
  },

  async 'downloads without a readable stream, as in older browsers'(browser) {
    const page = await open(browser, '', {
      before: () => Object.defineProperty(Response.prototype, 'body', { get: () => null }),
    });
    await clicked(page);
    await until(page, () => document.body.dataset.started === '1', 60000);
    await escape(page);
    assert.strictEqual(await exited(page, 60000), 0);
    await released(page);
    assert.deepStrictEqual(said(page), ['zOT!']);
    return page;
  },

  async 'a single frame asked for with no clock value'(browser) {
    const page = await open(browser, '?at=12x');
    await until(page, () => document.getElementById('prompt').textContent.startsWith('?at='), 60000);
    await sleep(500);
    assert.strictEqual(await page.evaluate(() => document.body.dataset.started), undefined);
    return page;
  },

  async 'a missing soundtrack'(browser) {
    return failure(browser, 'fuck, fikk ikke \u00e5pnet ikke data/lyd.ogg.', { soundtrack: null });
  },

  async 'a damaged soundtrack'(browser) {
    return failure(browser, 'fuck, problemer med vorbisfile \\: ', { soundtrack: Buffer.alloc(5000, 7) });
  },

  async 'no WebGL in the browser'(browser) {
    return failure(browser, 'Eeek, kunne ikke sette 640x480', {
      before: () => {
        const get = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function (kind, options) {
          return /webgl/.test(kind) ? null : get.call(this, kind, options);
        };
      },
    });
  },

  async 'no sound in the browser'(browser) {
    return failure(browser, 'bleh. lyden fucka. \\: ', {
      before: () => { delete window.AudioContext; delete window.webkitAudioContext; },
    });
  },

  async 'sound refused at the click'(browser) {
    return failure(browser, 'bleh. lyden fucka. \\: ', {
      atclick: true,
      before: () => { window.AudioContext = function () { throw new Error('no output'); }; },
    });
  },
};

// Status 1 and exactly `message`, on the page and in the console (and
// nothing else there): before
// the page asks for a click, or `atclick`, after the click. `soundtrack`
// replaces the site's (relay.js); `before` runs ahead of the page.
async function failure(browser, message, { soundtrack, before, atclick = false }) {
  const faulty = soundtrack === undefined ? null : await relay({ soundtrack });
  const page = await open(browser, '', { before, site: faulty && faulty.url });
  if (atclick) await clicked(page);
  const status = await exited(page, 120000);
  if (faulty) faulty.close();
  assert.strictEqual(status, 1);
  // Chromium reports a download that failed itself, as a console error.
  const lines = page.lines.filter((l) => !/^Failed to load resource: /.test(l.text));
  assert.deepStrictEqual(lines, [{ type: 'log', text: message }]);
  assert.strictEqual(await text(page, '#messages'), message + '\n');
  const prompts = await page.evaluate(() => window.prompts);
  assert.strictEqual(prompts.includes('click to start'), atclick, `the prompts: ${prompts.join(' | ')}`);
  return page;
}

async function main() {
  await runtests('show', tests, process.argv[2]);
}

main().catch(fail);
