// The page's clock logic (web/clock.js) under node, against simulated
// outputs whose true position is known: an engine that moves its context
// time in 20 ms blocks stamped with the moment of the call (Firefox), one
// that stamps each 10 ms callback exactly (Chromium), one playing 3 %
// slow for a while, an output that stalls, a latency that changes by a little and by a lot, timestamps the
// clock must not trust, and a context that is not running.
//
//   node tests/web/clockmodel.js
'use strict';
const assert = require('assert');
const webclock = require('../../web/clock');

// Runs `seconds` of frames (16.7 ms apart, ±2 ms) against `output(t)`,
// which gives the reading at page time t (ms) and the true position (s).
function run(seconds, output, state = webclock.make(), start = 1000) {
  const frames = [];
  let seed = 7;
  const random = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
  for (let t = start; t < start + seconds * 1000; t += 16.7 + 4 * (random() - 0.5)) {
    const { reading, truth } = output(t);
    frames.push({ t, x: webclock.read(state, reading), truth });
  }
  return frames;
}

function p99(values) {
  const v = [...values].sort((a, b) => a - b);
  return v[Math.floor(0.99 * (v.length - 1))];
}

// The true position of an output started at page time 500 ms, stalled
// from `stall[0]` for `stall[1]` ms, shifted by `shift(t)` s.
function truth(t, stall = [Infinity, 0], shift = () => 0) {
  const moved = t < stall[0] ? t : t < stall[0] + stall[1] ? stall[0] : t - stall[1];
  return (moved - 500) / 1000 + shift(t);
}

// Firefox-like: context time in blocks, output latency 40 ms taken off the
// context time and off the moment of the call.
function blocky(block, opts = {}) {
  return (t) => {
    const x = truth(t, opts.stall, opts.shift);
    const current = Math.floor((x + 0.04) / block) * block;
    return { truth: x, reading: { page: t, current, latency: 0.04, running: true,
      stamp: { contextTime: current - 0.04, performanceTime: t - 40 } } };
  };
}

// Chromium-like: each 10 ms callback stamps where the output was then.
function exact(opts = {}) {
  return (t) => {
    const at = Math.floor(t / 10) * 10, x = truth(t, opts.stall, opts.shift);
    return { truth: x, reading: { page: t, current: truth(at, opts.stall, opts.shift) + 0.03, running: true,
      stamp: { contextTime: truth(at, opts.stall, opts.shift), performanceTime: at } } };
  };
}

function steps(frames) {
  const out = [];
  for (let i = 1; i < frames.length; i++) {
    const d = frames[i].x - frames[i - 1].x;
    assert.ok(d >= 0, `the clock stepped back at ${frames[i].t.toFixed(0)} ms`);
    out.push(Math.abs(d * 1000 - (frames[i].t - frames[i - 1].t)));
  }
  return out;
}

const tests = {
  'smooth and on the line, blocks of 20 ms and exact stamps'() {
    // A fake output behind on a loaded machine plays 3 % slow for a while.
    const slow = (t) => -0.03 * Math.max(0, Math.min(t, 6000) - 3000) / 1000;
    for (const [name, output] of [['blocks', blocky(0.02)], ['blocks of 43 ms', blocky(0.043)], ['exact', exact()],
      ['exact, 3 % slow', exact({ shift: slow })]]) {
      const frames = run(10, output).slice(60);
      const step = p99(steps(frames)), error = p99(frames.map((f) => Math.abs(f.x - f.truth) * 1000));
      console.log(`  ${name}: step against page time p99 ${step.toFixed(2)} ms, error p99 ${error.toFixed(2)} ms`);
      assert.ok(step <= 2, `${name}: the clock steps (${step} ms)`);
      assert.ok(error <= 5, `${name}: the clock is off the output (${error} ms)`);
    }
  },

  'timestamps now and then implausible do not mix with currentTime'() {
    // Chromium-like: zeros for the first 300 ms, then every fourth
    // timestamp from 5 ms in the future, while currentTime moves in 40 ms
    // blocks and, less outputLatency, runs 15 ms ahead of the output the
    // timestamps give.
    const output = exact();
    let n = 0;
    const frames = run(6, (t) => {
      const { reading, truth } = output(t);
      const current = Math.floor((truth + 0.045) / 0.04) * 0.04;
      const stamp = t < 1300 ? { contextTime: 0, performanceTime: 0 }
        : n++ % 4 ? reading.stamp : { ...reading.stamp, performanceTime: t + 5 };
      return { truth, reading: { ...reading, current, latency: 0.03, stamp } };
    });
    const off = Math.max(...frames.filter((f) => f.t >= 3000).map((f) => Math.abs(f.x - f.truth) * 1000));
    assert.ok(off <= 3, `${off.toFixed(1)} ms off the timestamps' line`);
  },

  'a stalled output stops the clock within one and a half blocks'() {
    for (const [name, output, block] of [['blocks', blocky(0.02, { stall: [4000, 400] }), 20],
      ['exact', exact({ stall: [4000, 400] }), 10]]) {
      const frames = run(8, output);
      const during = frames.filter((f) => f.t >= 4000 && f.t < 4400);
      const over = Math.max(...during.map((f) => (f.x - f.truth) * 1000));
      console.log(`  ${name}: ahead of the stalled output by ${over.toFixed(1)} ms at most`);
      // The blocks the page sees: frames 16.7 ms apart see the 10 ms
      // callbacks' stamps 10 or 20 ms apart.
      assert.ok(over <= 1.5 * Math.max(block, 20) + 2 + 1, `${name}: ran on ${over} ms through the stall`);
      // 400 ms behind the old line: taken at once, on the line within a second.
      const after = frames.filter((f) => f.t >= 5400);
      const off = Math.max(...after.map((f) => Math.abs(f.x - f.truth) * 1000));
      assert.ok(off <= 5, `${name}: ${off.toFixed(1)} ms off the line after the stall`);
      steps(frames);
    }
  },

  'a small error is corrected by the rate, a large one at once'() {
    const small = run(6, exact({ shift: (t) => (t >= 3000 ? 0.02 : 0) }));
    const changes = steps(small.filter((f) => f.t >= 2000));
    assert.ok(Math.max(...changes) <= 0.04 * 21 + 0.01, `a 20 ms error moved the clock by ${Math.max(...changes)} ms in a frame`);
    const settled = small.filter((f) => f.t >= 5000);
    assert.ok(Math.max(...settled.map((f) => Math.abs(f.x - f.truth) * 1000)) <= 2, 'a 20 ms error not corrected in 2 s');
    const large = run(4, exact({ shift: (t) => (t >= 3000 ? 0.2 : 0) }));
    const next = large.find((f) => f.t >= 3030);
    assert.ok(Math.abs(next.x - next.truth) * 1000 <= 3, `a 200 ms error not taken at once (${(next.x - next.truth) * 1000} ms)`);
  },

  'implausible timestamps give currentTime less the output latency'() {
    const base = { page: 5000, current: 4, latency: 0.05, running: true };
    for (const [name, stamp] of [['missing', null], ['zeros', { contextTime: 0, performanceTime: 0 }],
      ['from the future', { contextTime: 3.9, performanceTime: 5200 }], ['ahead of currentTime', { contextTime: 4.5, performanceTime: 4990 }]]) {
      assert.deepStrictEqual(webclock.stamp({ ...base, stamp }), { context: 3.95, page: 5000, exact: false, own: false }, name);
      assert.deepStrictEqual(webclock.stamp({ ...base, latency: undefined, stamp }), { context: 4, page: 5000, exact: false, own: false }, `${name}, no latency`);
    }
    assert.deepStrictEqual(webclock.stamp({ ...base, stamp: { contextTime: 3.9, performanceTime: 4990 } }), { context: 3.9, page: 4990, exact: true, own: true });
  },

  'the display\'s delay in refreshes: its refresh, not the page\'s frame rate, with frames dropped'() {
    // Two refreshes' delay after the page-time steps given (ms), each
    // reading taken up to 1 ms either side of its frame's time, as a
    // page's are.
    const at = (gaps) => {
      const state = webclock.make(), output = exact();
      let t = 1000, seed = 3;
      const random = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
      for (const g of gaps) webclock.read(state, output((t += g) + 2 * (random() - 0.5)).reading);
      return webclock.delay(state, 2) * 1000;
    };
    // steps(hz, pattern): 120 steps of a `hz` display, the page taking the
    // frame after a run of pattern[i % length] refreshes.
    const steps = (hz, pattern) => Array.from({ length: 120 }, (_, i) => pattern[i % pattern.length] * 1000 / hz);
    assert.ok(Math.abs(at([]) - 2000 / 60) < 0.01, `${at([])} ms before any frame`);
    const cases = [
      [30, [1]], [30, [1, 1, 1, 2]], [60, [1]], [60, [1, 2]], [60, [1, 1, 1, 3]], [120, [1]],
      [120, [2, 1, 2, 2]], [144, [1]], [144, [1, 2, 2, 2, 2, 1, 2, 3]],
    ];
    for (const [hz, pattern] of cases) {
      const got = at(steps(hz, pattern));
      assert.ok(Math.abs(got - 2000 / hz) < 1, `${got.toFixed(2)} ms at ${hz} Hz, page taking every ${pattern} refreshes`);
    }
    // A page's first steps are irregular (here Chromium's, headless): half
    // a second later the display's refresh is known.
    const start = at([15.7, 2.7, 14.6, 19.2, 92.9, 101.7, 6.6, 13.0, 16.1, 44.8, 7.1, 13.9, ...steps(60, [1]).slice(0, 28)]);
    assert.ok(Math.abs(start - 2000 / 60) < 1, `${start} ms at 60 Hz after an irregular start`);
    // Only the last 64 steps count: 60 Hz after a stretch of 30 Hz.
    const back = at([...steps(30, [1]), ...steps(60, [1]).slice(0, 64)]);
    assert.ok(Math.abs(back - 2000 / 60) < 1, `${back} ms at 60 Hz after 30`);
    // A page that never draws faster than 30 frames a second is taken for a
    // 30 Hz display.
    const slow = at(Array(40).fill(70));
    assert.ok(Math.abs(slow - 2000 / 30) < 0.01, `${slow} ms with frames 70 ms apart`);
    assert.strictEqual(webclock.delay(webclock.make(), 0), 0);
  },

  'a context that is not running holds the clock'() {
    const state = webclock.make();
    const output = exact();
    run(2, output, state);
    const held = state.position;
    const r = output(3500).reading;
    assert.strictEqual(webclock.read(state, { ...r, running: false }), held);
    assert.ok(webclock.read(state, output(3517).reading) > held, 'the clock did not go on');
  },
};

// Each engine as the page sees it: window.chrome, navigator.vendor and
// .platform, outputLatency at the first reading. Firefox on Linux must not
// be asked its latency (a question there can lock the page up for good).
const engines = {
  chromium: { chrome: true, vendor: 'Google Inc.', platform: 'Linux x86_64', latency: 0.02 },
  'chromium on a Mac': { chrome: true, vendor: 'Google Inc.', platform: 'MacIntel', latency: 0.01 },
  'firefox on Linux': { chrome: false, vendor: '', platform: 'Linux x86_64', get latency() { throw new Error('latency asked'); } },
  'firefox on Windows': { chrome: false, vendor: '', platform: 'Win32', latency: 0.04 },
  'firefox on Windows before its output starts': { chrome: false, vendor: '', platform: 'Win32', latency: 0 },
  webkitgtk: { chrome: false, vendor: 'Apple Computer, Inc.', platform: 'Linux x86_64', latency: 0 },
  safari: { chrome: false, vendor: 'Apple Computer, Inc.', platform: 'MacIntel', latency: 0.01 },
};
// What each must get: Chromium two refreshes ahead (three on Linux),
// Firefox on Linux never asked and 50 ms behind its currentTime, WebKit's
// GStreamer ports 40 ms behind, everything else asked and on its clock.
const leads = {
  chromium: { refreshes: 3, unreported: 0, asks: true }, 'chromium on a Mac': { refreshes: 2, unreported: 0, asks: true },
  'firefox on Linux': { refreshes: 0, unreported: 0.05, asks: false },
  'firefox on Windows': { refreshes: 0, unreported: 0, asks: true },
  'firefox on Windows before its output starts': { refreshes: 0, unreported: 0, asks: true },
  webkitgtk: { refreshes: 0, unreported: 0.04, asks: true }, safari: { refreshes: 0, unreported: 0, asks: true },
};
tests['each engine\'s drawing lead'] = () => {
  for (const [name, engine] of Object.entries(engines)) assert.deepStrictEqual(webclock.lead(engine), leads[name], name);
};

let failed = 0;
for (const [name, test] of Object.entries(tests)) {
  try {
    test();
    console.log(`ok   ${name}`);
  } catch (e) {
    failed++;
    console.log(`FAIL ${name}: ${e.message}`);
  }
}
if (failed) process.exit(1);
console.log('clock model: all passed');
