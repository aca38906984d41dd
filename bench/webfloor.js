// The floor of the web build's frame rates: bench/webfloor.html doing each
// section's fills and nothing else, in the same browser as the show, so a
// section's frames per second can be read against what the browser's
// WebGL can do at all with the same pictures.
//
//   node bench/webfloor.js [SECONDS]          every section's floor
//   node bench/webfloor.js SECONDS STEPS...   the floor of the given steps
'use strict';
const path = require('path');
const { pathToFileURL } = require('url');
const { launch, newpage, until, sleep } = require('../tests/web/browser');

// What each section draws per frame that costs fill, keyed by the
// section's first clock value (bench/web.js's sections). Every frame
// starts with a clear. Fractions are of the 640x480 canvas: a square at
// the show's depth of 5, scaled by (x, y), covers x * 0.37 by y * 0.48 of
// it; the blur pass's own layers cover all of it.
//   blur pass: the stretched noise picture, cleared before it is seen;
//     the corner cleared, copied, the window cleared, five blur layers.
//   noise picture: the noise picture stretched (3, 2).
//   bag: the bag, scaled (0.7, 1); the petals, lit and untextured, are
//     left out (they cover up to a tenth of the canvas).
//   photos: the bottle (1, 2) or the snapshot (1, 1), half the time each.
//   turning noise: the noise picture as before, turned; the petal chain
//     is left out: as it turns through the eye its petals cover anything
//     from none of the canvas to all of it, several times over.
//   bottle: the bottle one unit further away, under about 53 glow
//     sprites of 0.1 by 0.1 on average.
//   closing spin: two noise pictures at about (3, 2), one plane: the
//     second fails the depth test where the first drew.
const sections = {
  0: ['clear', 'layer:0.96', 'clear', 'copy', 'clear', 'blur:5'],
  1700: ['clear', 'layer:0.96'],
  7000: ['clear', 'layer:0.12'],
  40000: ['clear', 'layer:0.26'],
  72000: ['clear', 'layer:0.96'],
  104000: ['clear', 'layer:0.24', 'layer:0.09'],
  136000: ['clear', 'layer:0.96', 'layer:0.96'],
};

// Frames per second of the floor page doing `steps` for `seconds`, after
// a second to settle.
async function floor(browser, steps, seconds) {
  const page = await newpage(browser);
  const url = pathToFileURL(path.join(__dirname, 'webfloor.html')).href + '#' + steps.join(',');
  await page.goto(url);
  await until(page, () => window.failed || window.frames.length > 0, 60000);
  const failed = await page.evaluate(() => window.failed);
  if (failed) throw new Error(`the floor page failed: ${failed}`);
  await sleep(1000);
  const from = await page.evaluate(() => window.frames.length);
  await sleep(seconds * 1000);
  const frames = (await page.evaluate(() => window.frames)).slice(from);
  await page.close();
  return (frames.length - 1) / ((frames[frames.length - 1] - frames[0]) / 1000);
}

async function main() {
  const seconds = Number(process.argv[2] || 5);
  const browser = await launch();
  const asked = process.argv.slice(3);
  const runs = asked.length ? { given: asked } : sections;
  for (const [name, steps] of Object.entries(runs))
    console.log(`${name}: ${steps.join(',')}: ${(await floor(browser, steps, seconds)).toFixed(1)} fps`);
  await browser.close();
}

if (require.main === module) main().catch((e) => { console.error(e); process.exit(1); });

module.exports = { sections, floor };
