// The page's clock: how far the audio context's output has got, in
// seconds of context time, smooth from frame to frame. Pure logic: the
// page (web/sound.cpp) hands it each reading of the context, and node runs
// it alone (tests/web/clockmodel.js).
//
// A reading is { page: performance.now() in ms, taken after the others;
// current: currentTime; latency: outputLatency (undefined where the engine
// has none); stamp: what getOutputTimestamp() gave (null without it);
// running: whether the context's state is "running" }.
//
// 1. The output timestamp, kept only when plausible: a missing one, zeros
//    (before the output starts), a performanceTime in the future or a
//    contextTime ahead of currentTime give currentTime less outputLatency
//    at the reading's page time instead, once the engine has given no
//    plausible timestamp for 100 ms (until then its last one stands). A
//    context time seen again keeps the page time it was first seen at:
//    engines that move their context time in blocks (Firefox's is
//    currentTime less outputLatency, stamped with the moment of the call)
//    would otherwise seem to stand still between blocks.
// 2. The line: each timestamp (C, P) says the output was at C at page time
//    P, so at C + (t - P) at t. Where the engine stamps a context time
//    again with a later page time (its context time moves in blocks, each
//    stamped at the call: Firefox's performanceTime is the call's less the
//    output latency, already taken off its contextTime), a context time is
//    taken as the output's at the reading that first saw it, as the
//    fallback's currentTime is (the fallback's own repeats say nothing of
//    the engine's timestamps). That only says at least that, the block
//    having begun at some time before: the line is then the highest of the
//    lines of the last half second's timestamps.
//    Otherwise a timestamp is exact and the line by itself, and so is one
//    50 ms or more below the highest (a stall that ended, a device change).
// 3. The clock runs at page time's rate, changed by at most 4 % towards
//    the line (4 % for an error of 10 ms or more); it is never ahead of
//    the line by more than 2 ms, never more than one and a half blocks
//    (the median step of the context time between timestamps) past the
//    newest context time, so it stops when the output stalls; it never
//    steps back; 50 ms or more behind the line it takes the line at once.
//    While the context is not running (suspended, interrupted) it holds.
//
// 4. The page draws each frame for the moment it will be seen, not the one
//    it is read at: delay() gives how far, `refreshes` display refreshes,
//    a refresh being the median page-time step between the last 32
//    readings (1/60 s until two are known; at most 25 ms, since a frame
//    slow to draw says nothing of the display's rate).
//
// Limits: the first reading starts the clock on the line of one timestamp;
// a rate different from page time's by more than 4 % is followed only
// through the large-error jumps.
var webclock = (function () {
  'use strict';
  var window_ = 500;   // ms of inexact timestamps the line is the highest of
  var large = 0.05;    // s: errors taken at once
  var ahead = 0.002;   // s the clock may be ahead of the line
  var most = 0.04;     // largest change of rate
  var gain = 4;        // change of rate per second of error

  function make() {
    return { x: null, t: 0, stamps: [], steps: [], newest: null, restamps: false, seen: 0, gaps: [] };
  }

  // The median of a list of numbers (its upper one for an even count).
  function median(v) {
    v = v.slice().sort(function (a, b) { return a - b; });
    return v[v.length >> 1];
  }

  // The output timestamp a reading vouches for: [context s, page ms,
  // whether it is exact, whether it is the engine's own]. The line is
  // made of one kind at a time: an engine's currentTime less its
  // outputLatency need not agree with its own timestamps.
  function stamp(r) {
    var s = r.stamp;
    if (s && s.contextTime > 0 && s.performanceTime > 0 && s.performanceTime <= r.page &&
        s.contextTime <= r.current + 1e-6)
      return [s.contextTime, s.performanceTime, true, true];
    return [r.current - (r.latency > 0 ? r.latency : 0), r.page, false, false];
  }

  // The median of the context time's steps between timestamps, s; 25 ms
  // until two steps are known.
  function block(state) {
    return state.steps.length < 2 ? 0.025 : median(state.steps);
  }

  // Seconds ahead of the clock the frame drawn after the latest reading is
  // seen, `refreshes` refreshes of the display later.
  function delay(state, refreshes) {
    var refresh = state.gaps.length < 2 ? 1000 / 60 : Math.min(25, median(state.gaps));
    return refreshes * refresh / 1000;
  }

  // Takes one reading; the clock's position, context time in seconds.
  function read(state, r) {
    var s = stamp(r), last = state.newest;
    if (s[3]) state.seen = r.page;
    else if (last && last[3] && r.page - state.seen < 100) s = last;
    if (last && s[0] === last[0] && s[3] === last[3]) {
      if (s[2] && s[1] !== last[1]) state.restamps = true;
      s = last;
    } else {
      if (last && s[0] > last[0]) {
        state.steps.push(s[0] - last[0]);
        if (state.steps.length > 16) state.steps.shift();
      }
      if (state.restamps && s[2]) s = [s[0], r.page, false, true];
      state.newest = s;
      var line = s[0] - s[1] / 1000, top = -Infinity;
      state.stamps = state.stamps.filter(function (k) { return !k[2] && k[3] === s[3] && k[1] >= s[1] - window_; });
      state.stamps.forEach(function (k) { top = Math.max(top, k[0] - k[1] / 1000); });
      if (s[2] || line <= top - large) state.stamps = [];
      state.stamps.push(s);
    }
    var target = -Infinity;
    state.stamps.forEach(function (k) { target = Math.max(target, k[0] + (r.page - k[1]) / 1000); });
    var cap = Math.min(target, s[0] + 1.5 * block(state)) + ahead;
    var x;
    if (state.x === null) {
      x = Math.min(target, cap);
    } else if (!r.running) {
      x = state.x;
    } else {
      var dt = (r.page - state.t) / 1000, free = state.x + dt;
      var error = target - free;
      x = error >= large ? target
        : state.x + dt * (1 + Math.max(-most, Math.min(most, gain * error)));
      x = Math.max(state.x, Math.min(x, cap));
    }
    if (state.x !== null) {
      state.gaps.push(r.page - state.t);
      if (state.gaps.length > 32) state.gaps.shift();
    }
    state.x = x;
    state.t = r.page;
    return x;
  }

  return { make: make, stamp: stamp, read: read, delay: delay };
})();
if (typeof module === 'object' && module.exports) module.exports = webclock;
