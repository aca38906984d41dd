// The web build's figures in the browser WEB_BROWSER names
// (tests/web/browser.js: Chromium headless with SwiftShader, or Firefox ESR
// or WebKitGTK in a window with llvmpipe), printed as a heading and
// Markdown table rows:
// frames per second in each section of one whole show, each against its
// floor (bench/webfloor.js), the start-up times, download sizes, and the
// clock against the audio context's own account of what its output has
// played (not in WebKit, whose output timestamps are wrong: browser.js).
//
//   node bench/web.js SITE_DIR RUNS   (site served at SITE_URL)
'use strict';
const fs = require('fs');
const zlib = require('zlib');
const path = require('path');
const { launch, version, newpage, until, exited, escape, released, site } = require('../tests/web/browser');
const { stamped, account } = require('../tests/web/witness');
const webfloor = require('./webfloor');

const sections = [[0, 1700, 'blur pass (black)'], [1700, 7000, 'noise picture'], [7000, 40000, 'bag and petals'],
  [40000, 72000, 'photos and flashes'], [72000, 104000, 'turning noise and long chain'],
  [104000, 136000, 'bottle and glow sprites'], [136000, 168000, 'closing spin']];
const rate = 1616.6667;

function quantile(values, q) {
  const v = [...values].sort((a, b) => a - b);
  return v[Math.min(v.length - 1, Math.floor(q * v.length))];
}
const median = (v) => quantile(v, 0.5);

// Page-time marks: the prompt asking for the click, the click, and every
// frame: [page time, clock, then Module.lastread: the reading's page time,
// the output position, the output timestamp's context time and page time].
async function watched(browser) {
  const page = await newpage(browser, {
    before: () => {
      window.marks = { frames: [] };
      document.addEventListener('click', () => { window.marks.click = performance.now(); }, true);
      new MutationObserver(() => {
        const p = document.getElementById('prompt');
        if (p && p.textContent === 'click to start' && !window.marks.ready) window.marks.ready = performance.now();
        if (window.Module && !window.Module.onframe) {
          window.Module.onframe = (clock) =>
            window.marks.frames.push([performance.now(), clock, ...(Module.lastread || [0, 0, 0, 0])]);
        }
      }).observe(document, { subtree: true, childList: true, characterData: true });
    },
  });
  await page.goto(site);
  await until(page, () => window.marks.ready, 60000);
  await page.mouse.click(320, 240);
  return page;
}

async function firstframe(browser) {
  const page = await watched(browser);
  await until(page, () => window.marks.frames.length > 0, 60000);
  const m = await page.evaluate(() => ({ ready: window.marks.ready, click: window.marks.click, first: window.marks.frames[0][0] }));
  await escape(page);
  await exited(page, 20000);
  await released(page);
  await page.close();
  return m;
}

async function main() {
  const [dir, runs] = [process.argv[2], Number(process.argv[3] || 3)];
  const rows = [];
  const row = (figure, value, goal) => rows.push(`| ${figure} | ${value} | ${goal} |`);
  const browser = await launch();
  console.log(`\n${await version(browser)}:\n`);
  console.log('| figure | value | goal |');
  console.log('|---|---|---|');

  const starts = [];
  for (let i = 0; i < runs; i++) starts.push(await firstframe(browser));
  row('page open → "click to start" (downloads, compile, soundtrack decoded), ms', median(starts.map((s) => s.ready)).toFixed(0), '');
  // The browser's first start apart: a viewer clicks once, in a browser
  // that has shown no page going fullscreen nor started a sound output.
  row('click → first frame, the browser\'s first start, ms', (starts[0].first - starts[0].click).toFixed(0), '≤ 100');
  row('click → first frame, median of all starts, ms', median(starts.map((s) => s.first - s.click)).toFixed(0), '≤ 100');
  row('page open → first frame, clicking at once, ms', median(starts.map((s) => s.ready + s.first - s.click)).toFixed(0), '');

  const js = fs.readFileSync(path.join(dir, 'demo.js')), wasm = fs.readFileSync(path.join(dir, 'demo.wasm'));
  const kb = (b) => (b.length / 1024).toFixed(0);
  row('demo.js + demo.wasm, KB', `${kb(js)} + ${kb(wasm)} = ${((js.length + wasm.length) / 1024).toFixed(0)}`, '< 1024');
  row('the same gzipped, KB', `${kb(zlib.gzipSync(js, { level: 9 }))} + ${kb(zlib.gzipSync(wasm, { level: 9 }))}`, '');

  // Each section's floor is its fills alone (bench/webfloor.js), measured
  // before and after the show; the higher of the two counts, so that other
  // work on the machine during one of them does not lower it.
  const floors = {};
  for (const [low] of sections) floors[low] = await webfloor.floor(browser, webfloor.sections[low], 5);
  const page = await watched(browser);
  await exited(page, 400000);
  const frames = await page.evaluate(() => window.marks.frames);
  await page.close();
  // The first frame starts the sound and has the shaders compiled: it
  // counts for the time to the first frame, not for the blur pass's rate.
  for (const [low, high, what] of sections) {
    const f = frames.slice(1).filter(([, c]) => c >= low && c < high);
    const fps = f.length > 1 ? (f.length - 1) / ((f[f.length - 1][0] - f[0][0]) / 1000) : NaN;
    row(`frames per second, ${low}–${high} ${what}${low ? '' : ', after the first frame'}`, fps.toFixed(1), '≥ 55');
    // Where the floor is under 55, the section's goal is a frame time at
    // most 1.1 times the floor's.
    const floor = Math.max(floors[low], await webfloor.floor(browser, webfloor.sections[low], 5));
    row(`  its floor (${webfloor.sections[low].join(', ')}), frames per second; section's frame time ÷ floor's`,
      `${floor.toFixed(1)}; ${(floor / fps).toFixed(2)}×`, floor < 55 ? '≤ 1.1×' : '');
  }
  await browser.close();
  const all = frames.filter(([, c]) => c < 168000);
  row('frames per second, whole show', ((all.length - 1) / ((all[all.length - 1][0] - all[0][0]) / 1000)).toFixed(1), '≥ 55');

  if (!stamped) {
    console.log(rows.join('\n'));
    return;
  }
  // The clock's reading (before the display's delay is added to the time
  // drawn) against what the context says its output had played at the
  // moment it was read (its output timestamps, interpolated), in ms: the
  // hold and the reading's extrapolation from the last timestamp. The step of the output
  // position between frames against the context's own step. Steps back.
  const { stamps, at } = account(frames.map((f) => [f[4], f[5]]));
  const sound = frames.filter(([, c, t, p]) => c > 0 && p > 0 && at(t) !== undefined);
  const error = sound.map(([, , t, p]) => Math.abs(at(t) - p) * 1000);
  const jitter = [];
  for (let i = 1; i < sound.length; i++) {
    const [a, b] = [sound[i - 1], sound[i]];
    jitter.push(Math.abs((b[3] - a[3]) - (at(b[2]) - at(a[2]))) * 1000);
  }
  let back = 0;
  for (let i = 1; i < frames.length; i++) if (frames[i][1] < frames[i - 1][1]) back++;
  // The clock's step from frame to frame against page time's: what the
  // viewer sees as judder.
  const step = [];
  for (let i = 1; i < sound.length; i++)
    step.push(Math.abs((sound[i][1] - sound[i - 1][1]) / rate * 1000 - (sound[i][0] - sound[i - 1][0])));
  row('clock step between frames against page time\'s step, p99, ms', quantile(step, 0.99).toFixed(3), '≤ 2');
  row('clock error against the audio context\'s own output timestamps, p99, ms', quantile(error, 0.99).toFixed(3), '≤ 5');
  row('output position\'s step between frames against the context\'s, p99, ms', quantile(jitter, 0.99).toFixed(3), '≤ 1');
  row('clock steps back', String(back), '0');
  // What the errors are made of: the longest stretch of page time over
  // which the context's output stood still (a stalled output, while the
  // page's reading went on extrapolating from its last timestamp).
  let still = 0;
  for (let i = 1, moved = sound.length && sound[0][2]; i < sound.length; i++) {
    if (sound[i][4] !== sound[i - 1][4]) moved = sound[i][2];
    still = Math.max(still, sound[i][2] - moved);
  }
  row('longest stretch the context\'s output stood still, ms', still.toFixed(0), '');
  const [first, last] = [stamps[0], stamps[stamps.length - 1]];
  row('sound played per second of page time (the context\'s timestamps)',
    ((last[1] - first[1]) / ((last[0] - first[0]) / 1000)).toFixed(4), '1');
  console.log(rows.join('\n'));
}

main().catch((e) => { console.error(e); process.exit(1); });
