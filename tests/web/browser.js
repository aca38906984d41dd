// Shared by the web tests and benchmarks: Debian's Chromium driven by
// playwright-core (which never downloads a browser of its own), the page
// at a fixed 640x480 viewport, and what the page says.
'use strict';
const { execFileSync } = require('child_process');
const fs = require('fs');
const { chromium } = require('playwright-core');

const site = process.env.SITE_URL || 'http://127.0.0.1:8000/';

// Software WebGL through SwiftShader; no network chatter. `gesture`: the
// test clicks, so autoplay stays as a viewer's browser has it.
async function launch({ gesture = true } = {}) {
  const args = ['--headless', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--no-first-run', '--disable-quic'];
  if (!gesture) args.push('--autoplay-policy=no-user-gesture-required');
  return chromium.launch({ executablePath: '/usr/bin/chromium', args });
}

// A page that records its console lines and uncaught errors.
async function open(browser, query = '') {
  const page = await browser.newPage({ viewport: { width: 640, height: 480 } });
  page.lines = [];
  page.errors = [];
  page.on('console', (m) => page.lines.push({ type: m.type(), text: m.text() }));
  page.on('pageerror', (e) => page.errors.push(String(e)));
  page.opened = Date.now();
  await page.goto(site + query);
  return page;
}

// The program's own output lines: console.log, in order.
function said(page) {
  return page.lines.filter((l) => l.type === 'log').map((l) => l.text);
}

// Waits until the program has ended; its exit status.
async function exited(page, timeout) {
  try {
    await page.waitForFunction(() => document.body.dataset.exit !== undefined, null, { timeout });
  } catch (e) {
    const prompt = await page.textContent('#prompt').catch(() => '?');
    throw new Error(`the program did not end in ${timeout} ms; the page says "${prompt}"; ` +
      `console: ${JSON.stringify(page.lines || [])}; errors: ${JSON.stringify(page.errors || [])}`);
  }
  return Number(await page.evaluate(() => document.body.dataset.exit));
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
  }, [a.toString('base64'), b.toString('base64'), far]);
}

// The native program's frame at clock t, as a PNG (under X, from the
// repository root): demorender --at t.
function nativeframe(t, file) {
  const native = process.env.DEMORENDER || 'build-webref/demorender';
  execFileSync(native, ['--at', String(t), '--png', file, '--size', '640x480'], { stdio: 'ignore' });
  return fs.readFileSync(file);
}

module.exports = { launch, open, said, exited, compare, nativeframe, site };
