// The whole show in the page, by itself: one click, then nothing until it
// ends at clock value 168000 with "zOT!" and status 0. Every section must
// have been on screen, the clock must never have stepped back, the page
// must have raised no error, and the console must have held the
// program's own output only.
//
//   node tests/web/whole.js   (site at SITE_URL)
'use strict';
const assert = require('assert');
const { launch, version, open, until, said, exited, fail } = require('./browser');

const bounds = [1700, 7000, 40000, 72000, 104000, 136000, 168000];

async function main() {
  const browser = await launch();
  const which = await version(browser);
  const page = await open(browser);
  await until(page, () => document.getElementById('prompt').textContent === 'click to start', 180000);
  await page.evaluate(() => {
    window.seen = [];
    Module.onframe = (clock) => window.seen.push(clock);
  });
  const began = Date.now();
  await page.mouse.click(320, 240);
  // 104 s of sound; a loaded machine's fake audio output runs slower.
  const status = await exited(page, 400000);
  const seconds = (Date.now() - began) / 1000;
  const seen = await page.evaluate(() => window.seen);
  await browser.close();

  console.log(`whole show, ${which}: ${seen.length} frames in ${seconds.toFixed(1)} s, last clock ${seen[seen.length - 1]}`);
  assert.strictEqual(status, 0);
  assert.deepStrictEqual(said(page), ['zOT!']);
  assert.deepStrictEqual(page.lines, [{ type: 'log', text: 'zOT!' }]);
  assert.deepStrictEqual(page.errors, []);
  for (let i = 1; i < seen.length; i++)
    assert.ok(seen[i] >= seen[i - 1], `the clock stepped back: ${seen[i - 1]} -> ${seen[i]}`);
  assert.ok(seen[seen.length - 1] >= 168000, 'ended before the timeline did');
  assert.ok(seen.filter((c) => c >= 168000).length === 1, 'frames drawn after the end');
  let low = 0;
  for (const bound of bounds) {
    assert.ok(seen.some((c) => c >= low && c < bound), `no frame in ${low}..${bound}`);
    low = bound;
  }
  console.log('whole show: passed');
}

main().catch(fail);
