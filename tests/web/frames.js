// The page's single frames (index.html?at=T, a screenshot of the 640x480
// viewport), in the browser WEB_BROWSER names, against the native
// program's (demorender --at T --png) at clock values covering every
// section of the timeline, the tube scene's opening, the blur pass and
// both stretches of flashes. SwiftShader and llvmpipe rasterise a few edge
// pixels differently: a frame passes when the mean difference of every
// channel is at most 1/255 and at most 0.05 % of its pixels differ by
// more than 24 in any channel. The canvas's WebGL context must have no
// alpha channel: the GL layer leaves out draws that change only alpha.
//
//   DEMORENDER=build-webref/demorender node tests/web/frames.js [CLOCK...]
//   (under X, from the repository root, with the site served at SITE_URL;
//   CLOCKs in place of the list below)
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { launch, version, open, exited, compare, nativeframe, fail } = require('./browser');

const every = [
  [1000, 'the blur pass, before the tube opens: black'],
  [1700, 'the tube opens: its clear colour only'],
  [5000, 'the stretched noise picture'],
  [7000, 'the bag, no petals yet'],
  [20000, 'the bag and the first petal chain'],
  [39900, 'the longest first petal chain'],
  [41100, 'a flash in the photo section'],
  [45600, 'the snapshot photo'],
  [50200, 'the stretched bottle photo'],
  [90000, 'the turning noise picture and the long chain'],
  [103995, 'the turn held just before its bound'],
  [105100, 'a flash over the bottle'],
  [130000, 'the rising glow sprites'],
  [150000, 'the closing spin'],
  [167999, 'the last frame before the end'],
];

async function main() {
  const asked = process.argv.slice(2).map((t) => [Number(t), 'asked for']);
  const clocks = asked.length ? asked : every;
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'webframes-'));
  const browser = await launch();
  console.log(`frames: ${await version(browser)}`);
  const judge = await browser.newPage();
  let failed = 0;
  for (const [t, what] of clocks) {
    const reference = nativeframe(t, path.join(dir, `${t}.png`));
    const page = await open(browser, `?at=${t}`);
    const status = await exited(page, 180000);
    // The frame is drawn outside an animation frame, and an engine shows a
    // WebGL canvas's new picture at its next paint: Firefox's screenshot
    // before that paint is the picture shown before (black) on a busy
    // machine. Two animation frames later, a paint has been.
    await page.evaluate(() => new Promise((shown) => requestAnimationFrame(() => requestAnimationFrame(shown))));
    const shot = Buffer.from(await page.screenshot());
    const r = await compare(judge, reference, shot, 24);
    const alpha = await page.evaluate(() => (Module.ctx ? Module.ctx.getContextAttributes().alpha : 'no context'));
    const ok = status === 0 && r.mean && r.mean.every((m) => m <= 1) && r.distant <= r.pixels * 0.0005 &&
      page.errors.length === 0 && alpha === false;
    if (!ok) failed++;
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${t} (${what}): mean ${r.mean ? r.mean.map((m) => m.toFixed(3)).join(' ') : JSON.stringify(r)}` +
      `, ${r.distant} pixels > 24, exit ${status}${alpha === false ? '' : ', canvas alpha ' + alpha}` +
      `${page.errors.length ? ', errors ' + page.errors.join('; ') : ''}`);
    if (!ok) fs.writeFileSync(path.join(dir, `${t}-web.png`), shot);
    await page.close();
  }
  await browser.close();
  if (failed) {
    console.log(`frames: ${failed} of ${clocks.length} differ; pictures in ${dir}`);
    process.exit(1);
  }
  fs.rmSync(dir, { recursive: true });
  console.log(`frames: all ${clocks.length} match`);
}

main().catch(fail);
