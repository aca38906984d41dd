// Shared by the web tests and benchmarks: Debian's Chromium driven by
// playwright-core (which never downloads a browser of its own), the page
// at a fixed 640x480 viewport, and what the page says.
'use strict';
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
  await page.waitForFunction(() => document.body.dataset.exit !== undefined, null, { timeout });
  return Number(await page.evaluate(() => document.body.dataset.exit));
}

module.exports = { launch, open, said, exited, site };
