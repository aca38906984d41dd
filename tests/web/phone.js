// The page on a phone, in Chromium's emulation of one held sideways
// (844x390, touch, mobile, an iPhone's user agent): with no Fullscreen API
// (removed before the page's scripts, as on an iPhone), and with only the
// webkit-prefixed one (as on an older iPad). In each a tap starts the show,
// the first frame within half a second (a generous bound: the benchmark
// measures it), the picture fills the screen with 4:3 kept, centred, and
// neither a pinch nor a swipe zooms or scrolls the page; the show ends with
// "zOT!" and status 0 when the page goes out of view (another tab in
// front), when the page is left (pagehide), and, with the prefixed API,
// when its fullscreen is left. Without the API the AudioContext is made to
// start suspended, as WebKit's does: the page must resume it inside the
// tap; navigator.audioSession, given one, must be set to playback. No
// test may see a page error.
//
//   node tests/web/phone.js   (site at SITE_URL; Chromium only)
'use strict';
const assert = require('assert');
const puppeteer = require('puppeteer-core');
const { engine, open, until, said, exited, site, runtests, fail } = require('./browser');

const phone = puppeteer.KnownDevices['iPhone 13 landscape'];

// No Fullscreen API; an AudioContext that says it is suspended until
// resumed, recording the event it was resumed in; an audio session.
function iphone() {
  for (const name of ['requestFullscreen', 'webkitRequestFullscreen'])
    delete Element.prototype[name];
  for (const name of ['exitFullscreen', 'webkitExitFullscreen', 'fullscreenElement', 'webkitFullscreenElement'])
    delete Document.prototype[name];
  const Real = window.AudioContext;
  window.AudioContext = class extends Real {
    constructor(options) { super(options); this.held = true; }
    get state() { return this.held ? 'suspended' : super.state; }
    resume() { window.resumedin = window.event && window.event.type; this.held = false; return super.resume(); }
  };
  navigator.audioSession = { type: 'auto' };
}

// Only the prefixed API: the unprefixed one's work under the old names.
function ipad() {
  const E = Element.prototype, D = Document.prototype;
  const request = E.requestFullscreen, exit = D.exitFullscreen;
  const element = Object.getOwnPropertyDescriptor(D, 'fullscreenElement').get;
  E.webkitRequestFullscreen = function () { request.call(this).catch(() => {}); };
  D.webkitExitFullscreen = function () { exit.call(this).catch(() => {}); };
  Object.defineProperty(D, 'webkitFullscreenElement', { get() { return element.call(this); } });
  delete E.requestFullscreen;
  delete D.exitFullscreen;
  delete D.fullscreenElement;
  document.addEventListener('fullscreenchange', (e) => {
    e.stopImmediatePropagation();
    document.dispatchEvent(new Event('webkitfullscreenchange'));
  }, true);
}

// A touch gesture of ten moves, fingers(i) being the touch points of the
// i-th: a swipe with one, a pinch with two. (The driver's synthesized
// gestures neither scroll nor zoom any page here; these do.)
async function touch(page, fingers) {
  const session = await page.createCDPSession();
  await session.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: fingers(0) });
  for (let i = 1; i <= 10; i++) {
    await session.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: fingers(i) });
    await new Promise((resolve) => setTimeout(resolve, 16));
  }
  await session.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  await new Promise((resolve) => setTimeout(resolve, 300));
  await session.detach();
}

// Taps the prompt; checks the first frame's time, the picture's box and
// that touch moves nothing.
async function tapped(page) {
  await until(page, () => document.getElementById('prompt').textContent === 'click to start', 180000);
  await page.evaluate(() => {
    window.seen = [];
    document.addEventListener('click', () => { window.tappedat = performance.now(); }, true);
    Module.onframe = (clock) => window.seen.push(performance.now());
  });
  await unmoved(page, 'before the tap');
  await page.evaluate(() => { window.seen.length = 0; });
  await page.touchscreen.tap(422, 195);
  await until(page, () => window.seen.length > 0, 60000);
  const first = await page.evaluate(() => window.seen[0] - window.tappedat);
  console.log(`  tap to first frame: ${first.toFixed(0)} ms`);
  assert.ok(first <= 500, `the first frame came ${first.toFixed(0)} ms after the tap`);
  const box = await page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    return [r.x, r.y, r.width, r.height].map(Math.round);
  });
  assert.deepStrictEqual(box, [162, 0, 520, 390], 'the picture does not fill the screen at 4:3');
  await unmoved(page, 'during the show');
}

// A swipe and a pinch, which must neither scroll nor zoom the page.
async function unmoved(page, when) {
  await touch(page, (i) => [{ x: 422, y: 380 - 30 * i }]);
  await touch(page, (i) => [{ x: 380 - 20 * i, y: 180 - 8 * i, id: 1 }, { x: 460 + 20 * i, y: 210 + 8 * i, id: 2 }]);
  const view = await page.evaluate(() => [visualViewport.scale, scrollX, scrollY, visualViewport.offsetLeft, visualViewport.offsetTop]);
  assert.deepStrictEqual(view, [1, 0, 0, 0, 0], `touch ${when} zoomed or scrolled the page: [scale, scroll x, y, offset x, y]`);
}

const tests = {
  async 'no Fullscreen API: tap, sound resumed in the tap, out of view ends it'(browser) {
    const page = await open(browser, '', { before: iphone, emulate: phone });
    await tapped(page);
    assert.deepStrictEqual(await page.evaluate(() => [window.resumedin, navigator.audioSession.type]), ['click', 'playback']);
    await (await browser.newPage()).bringToFront();
    assert.strictEqual(await exited(page, 60000), 0);
    return page;
  },

  async 'no Fullscreen API: leaving the page ends it, by pagehide alone'(browser) {
    // What the program says as the page goes is kept in the site's
    // storage, read back from another page of the site. The page hears
    // neither visibilitychange nor unload from the browser, as on a phone
    // that keeps the page for going back to.
    const page = await open(browser, '', {
      emulate: phone,
      before: `(${iphone})(); (${() => {
        for (const kind of ['visibilitychange', 'unload'])
          window.addEventListener(kind, (e) => { if (e.isTrusted) e.stopImmediatePropagation(); }, true);
        const log = console.log.bind(console);
        console.log = (line) => { localStorage.said = (localStorage.said || '') + line + '\n'; log(line); };
      }})();`,
    });
    await page.evaluate(() => localStorage.removeItem('said'));
    await tapped(page);
    await page.goto(new URL('nothing-here', site).href);
    assert.strictEqual(await page.evaluate(() => localStorage.said), 'zOT!\n', 'the program did not end as the page was left');
    page.errors = page.errors.filter((e) => !/404/.test(e));
    return page;
  },

  async 'only the prefixed API: used, and leaving it ends the show'(browser) {
    const page = await open(browser, '', { before: ipad, emulate: phone });
    await tapped(page);
    assert.ok(await page.evaluate(() => document.webkitFullscreenElement === document.documentElement), 'not fullscreen');
    await page.evaluate(() => document.webkitExitFullscreen());
    assert.strictEqual(await exited(page, 60000), 0);
    assert.deepStrictEqual(said(page), ['zOT!']);
    return page;
  },
};

async function main() {
  if (engine !== 'chromium') throw new Error('the phone tests need Chromium (WEB_BROWSER=chromium)');
  await runtests('phone', tests);
}

main().catch(fail);
