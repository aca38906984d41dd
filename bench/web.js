// The web build's figures in headless Chromium (SwiftShader), printed as
// Markdown table rows: frames per second in each section of one whole show,
// each against its floor (bench/webfloor.js), page open to first frame,
// download sizes, and the clock against the audio output position it was
// computed from.
//
//   node bench/web.js SITE_DIR RUNS   (site served at SITE_URL)
'use strict';
const fs = require('fs');
const zlib = require('zlib');
const path = require('path');
const { launch, open, exited } = require('../tests/web/browser');
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
// frame with its clock and the audio reading it came from.
async function watched(browser) {
  const page = await browser.newPage({ viewport: { width: 640, height: 480 } });
  await page.addInitScript(() => {
    window.marks = { frames: [] };
    document.addEventListener('click', () => { window.marks.click = performance.now(); }, true);
    new MutationObserver(() => {
      const p = document.getElementById('prompt');
      if (p && p.textContent === 'click to start' && !window.marks.ready) window.marks.ready = performance.now();
      if (window.Module && !window.Module.onframe)
        window.Module.onframe = (clock) => window.marks.frames.push([performance.now(), clock, ...(Module.lastread || [0, 0])]);
    }).observe(document, { subtree: true, childList: true, characterData: true });
  });
  await page.goto(require('../tests/web/browser').site);
  await page.waitForFunction(() => window.marks.ready, null, { timeout: 60000 });
  await page.mouse.click(320, 240);
  return page;
}

async function firstframe(browser) {
  const page = await watched(browser);
  await page.waitForFunction(() => window.marks.frames.length > 0, null, { timeout: 60000 });
  const m = await page.evaluate(() => ({ ready: window.marks.ready, click: window.marks.click, first: window.marks.frames[0][0] }));
  await page.keyboard.down('Escape');
  await exited(page, 10000);
  await page.close();
  return m;
}

async function main() {
  const [dir, runs] = [process.argv[2], Number(process.argv[3] || 3)];
  const rows = [];
  const row = (figure, value, goal) => rows.push(`| ${figure} | ${value} | ${goal} |`);
  const browser = await launch();

  const starts = [];
  for (let i = 0; i < runs; i++) starts.push(await firstframe(browser));
  row('page open → "click to start" (downloads, compile), ms', median(starts.map((s) => s.ready)).toFixed(0), '');
  row('click → first frame (soundtrack decode, pictures), ms', median(starts.map((s) => s.first - s.click)).toFixed(0), '');
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
  // Where the floor is under 55, the section's goal is a frame time at
  // most 1.1 times the floor's.
  for (const [low, high, what] of sections) {
    const f = frames.slice(1).filter(([, c]) => c >= low && c < high);
    const fps = f.length > 1 ? (f.length - 1) / ((f[f.length - 1][0] - f[0][0]) / 1000) : NaN;
    const floor = Math.max(floors[low], await webfloor.floor(browser, webfloor.sections[low], 5));
    row(`frames per second, ${low}–${high} ${what}${low ? '' : ', after the first frame'}`, fps.toFixed(1), '≥ 55');
    row(`  its floor (${webfloor.sections[low].join(', ')}), frames per second; section's frame time ÷ floor's`,
      `${floor.toFixed(1)}; ${(floor / fps).toFixed(2)}×`, floor < 55 ? '≤ 1.1×' : '');
  }
  await browser.close();
  const all = frames.filter(([, c]) => c < 168000);
  row('frames per second, whole show', ((all.length - 1) / ((all[all.length - 1][0] - all[0][0]) / 1000)).toFixed(1), '≥ 55');

  // Clock against the output position it was read from (truncation and
  // the hold), in ms; the readings' distance from a straight line over
  // page time in each 10 s stretch (extrapolation jitter); steps back.
  const sound = frames.filter(([, c, , p]) => c > 0 && p > 0);
  const error = sound.map(([, c, , p]) => Math.abs(p * 1000 - c / rate * 1000));
  const jitter = [];
  for (let start = sound[0][2]; start < sound[sound.length - 1][2]; start += 10000) {
    const w = sound.filter(([, , t]) => t >= start && t < start + 10000);
    if (w.length < 10) continue;
    const n = w.length, mt = w.reduce((s, f) => s + f[2], 0) / n, mp = w.reduce((s, f) => s + f[3], 0) / n;
    const k = w.reduce((s, f) => s + (f[2] - mt) * (f[3] - mp), 0) / w.reduce((s, f) => s + (f[2] - mt) ** 2, 0);
    for (const f of w) jitter.push(Math.abs((f[3] - mp - k * (f[2] - mt)) * 1000));
  }
  let back = 0;
  for (let i = 1; i < frames.length; i++) if (frames[i][1] < frames[i - 1][1]) back++;
  row('clock error against the output position, p99, ms', quantile(error, 0.99).toFixed(3), '≤ 5');
  row('output position jitter about a straight line, p99, ms', quantile(jitter, 0.99).toFixed(3), '≤ 1');
  row('clock steps back', String(back), '0');
  const span = sound[sound.length - 1], first = sound[0];
  row('sound played per second of page time (fake output without a sound card)',
    ((span[3] - first[3]) / ((span[2] - first[2]) / 1000)).toFixed(4), '1');
  console.log(rows.join('\n'));
}

main().catch((e) => { console.error(e); process.exit(1); });
