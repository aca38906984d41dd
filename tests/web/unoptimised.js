// The page built unoptimised (-O0), in the browser WEB_BROWSER names
// (browser.js). Nothing is inlined there, so the decoder's pauses while the
// page loads (Asyncify) pass through every function between main and the
// sleep, and each must be named in web/pausable.txt: a missing one stops
// the page with "unreachable" before "click to start". Here: the whole
// soundtrack decoded before the click, frames drawn after it, Escape ends
// the show with "zOT!" and status 0, no page error.
//
//   node tests/web/unoptimised.js   (under X, from the repository root,
//   the -O0 site at SITE_URL; tests/stages/72-web-unoptimised.sh runs it)
'use strict';
const assert = require('assert');
const { launch, version, open, until, sleep, said, exited, escape, released } = require('./browser');

const rate = 1616.6667;   // clock units per second of sound

// Waits for "click to start", failing as soon as the page has an error
// (Asyncify's "unreachable" leaves the page loading for good).
async function ready(page, timeout) {
  const end = Date.now() + timeout;
  while (Date.now() < end) {
    if (page.errors.length) throw new Error(`page errors while loading: ${page.errors.join('; ')}`);
    if (await page.evaluate(() => document.getElementById('prompt').textContent === 'click to start')) return;
    await sleep(200);
  }
  throw new Error(`no "click to start" within ${timeout} ms`);
}

async function main() {
  const browser = await launch();
  console.log(`unoptimised: ${await version(browser)}`);
  const page = await open(browser);
  try {
    await ready(page, 300000);
    const decoded = await page.evaluate(() => Module.pcmframes / 44100);
    assert.ok(decoded >= 168000 / rate, `${decoded} s of sound decoded before the click`);
    await page.evaluate(() => {
      window.drawn = 0;
      Module.onframe = () => window.drawn++;
    });
    await page.mouse.click(320, 240);
    await until(page, () => window.drawn >= 30, 120000);
    await escape(page);
    assert.strictEqual(await exited(page, 60000), 0, 'exit status');
    await released(page);
    assert.deepStrictEqual(said(page), ['zOT!']);
    assert.deepStrictEqual(page.errors, [], 'page errors');
  } catch (e) {
    console.log(`FAIL the unoptimised page: ${e.message}`);
    process.exit(1);
  }
  await browser.close();
  console.log('ok   the unoptimised page: decoded, drawn, ended with zOT!');
}

main().catch((e) => { console.error(e); process.exit(1); });
