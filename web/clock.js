// The page's clock: how far the audio context's output has got, in
// seconds of context time, smooth from frame to frame. Pure logic: the
// page (web/sound.cpp) hands it each reading of the context, and node runs
// it alone (tests/web/clockmodel.js).
//
// Its rule: the clock follows the line of the engine's output timestamps
// (or of currentTime less outputLatency where those are missing or
// implausible) at page time's rate, nudged towards the line by at most
// 4 %, never stepping back, never running past the output's newest
// context time by more than one and a half blocks, holding while the
// context does not run; each frame is drawn for when it will be seen
// (lead()).
//
// A reading is { page: performance.now() in ms, taken after the others;
// current: currentTime; latency: outputLatency (undefined where the engine
// has none); stamp: what getOutputTimestamp() gave (null without it);
// running: whether the context's state is "running" }.
//
// A mark is what a reading vouches for: { context: s, page: ms, exact:
// whether the output was exactly there then, own: whether it is the
// engine's own timestamp rather than currentTime less outputLatency }.
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
//    it is read at: delay() gives how far, `refreshes` display refreshes.
//    A refresh is the display's, not the page's frame rate: the smallest
//    steady page-time step between readings, taken as the median of the
//    last 64 steps that lie from half to 1.25 times their lower quartile
//    (a median, since a page's first steps are irregular). A
//    page that misses refreshes (a slow frame, 40 frames a second on a 60
//    Hz display, a 144 Hz display dropping most frames) still steps by one
//    refresh a quarter of the time or more, and those steps are the ones
//    counted. 1/60 s until 16 steps are known; at most 1/30 s: a page that
//    never draws faster than 30 frames a second is taken for a 30 Hz
//    display (a 60 Hz one whose every frame is late cannot be told apart).
//
// 5. lead(engine) is how far ahead of the clock each engine's page draws,
//    and whether the page may ask it where its output is: { refreshes:
//    display refreshes ahead, unreported: s of output latency the page
//    does not learn from the engine, drawn behind, asks: whether readings
//    carry outputLatency and getOutputTimestamp() }. engine is { chrome:
//    whether window.chrome is an object, vendor: navigator.vendor,
//    platform: navigator.platform, latency: outputLatency, read only when
//    lead() needs it }. Firefox on Linux (vendor empty) answers either
//    question, until its latency is known, by asking its sound process
//    while holding a lock its sound callback also takes; the two now and
//    then wait for each other for good and the page freezes: it is never
//    asked, its clock is currentTime, drawn 50 ms behind: the latency it
//    reports (29 to 42 ms in three starts on Debian 12 with PulseAudio)
//    and some 15 ms its output adds beyond it (with 35 ms, the live A/V
//    rig, tests/av, saw the picture 17 ms early, the median of 16 runs).
//    Elsewhere Firefox is asked. Chromium shows a canvas frame two
//    refreshes after the animation frame that drew it (its compositor,
//    then its display compositor), on Linux (X11) one more (the rig saw
//    its picture 8 to 19 ms late with two, 13 in the median of six
//    fresh-clone runs), and its output timestamps are exact: 2 refreshes,
//    3 on Linux.
//    Firefox shows it about one refresh later, but its clock runs about
//    as much ahead of the sound (its output latency leaves some out): 0.
//    WebKit's GStreamer ports (WebKit on Linux: WebKitGTK, WPE) say their
//    output latency is 0 and give unusable timestamps, so the clock is
//    their currentTime; through GStreamer's PulseAudio sink the sound is
//    heard about 71 ms after it, the frame seen about 33 ms after it is
//    drawn: 40 ms unreported. (Firefox, whose latency may read 0 before its
//    output starts, is not WebKit.) Measured on the live A/V rig
//    (tests/av).
//
// Limits: the first reading starts the clock on the line of one timestamp;
// a rate different from page time's by more than 4 % is followed only
// through the large-error jumps.
var webclock = (function () {
  'use strict';
  var windowms = 500;    // ms of inexact marks the line is the highest of
  var jump = 0.05;       // s: an error this large is taken at once
  var aheadmax = 0.002;  // s the clock may be ahead of the line
  var ratemax = 0.04;    // largest change of rate
  var gain = 4;          // change of rate per second of error

  // position: the clock, s (null before the first reading); page: its
  // reading's page time, ms; marks: those the line is made of; steps: the
  // context time's last steps between marks, s; newest: the latest mark;
  // restamps: whether the engine stamps a context time again with a later
  // page time; lastown: page time of the last plausible own timestamp,
  // ms; gaps: the last 64 page-time steps between readings, ms.
  function make() {
    return { position: null, page: 0, marks: [], steps: [], newest: null, restamps: false, lastown: 0, gaps: [] };
  }

  // The median of a list of numbers (its upper one for an even count).
  function median(v) {
    v = v.slice().sort(function (a, b) { return a - b; });
    return v[v.length >> 1];
  }

  // The mark a reading vouches for. The line is made of one kind at a
  // time: an engine's currentTime less its outputLatency need not agree
  // with its own timestamps.
  function stamp(r) {
    var s = r.stamp;
    if (s && s.contextTime > 0 && s.performanceTime > 0 && s.performanceTime <= r.page &&
        s.contextTime <= r.current + 1e-6)
      return { context: s.contextTime, page: s.performanceTime, exact: true, own: true };
    return { context: r.current - (r.latency > 0 ? r.latency : 0), page: r.page, exact: false, own: false };
  }

  // The mark's line: the context time it puts the output at at page time 0.
  function origin(mark) {
    return mark.context - mark.page / 1000;
  }

  // The median of the context time's steps between marks, s; 25 ms until
  // two steps are known.
  function block(state) {
    return state.steps.length < 2 ? 0.025 : median(state.steps);
  }

  // The display's refresh, ms (4. above).
  function refresh(state) {
    if (state.gaps.length < 16) return 1000 / 60;
    var sorted = state.gaps.slice().sort(function (a, b) { return a - b; });
    var quartile = sorted[(sorted.length - 1) >> 2];
    return Math.min(1000 / 30, median(sorted.filter(function (g) {
      return g >= 0.5 * quartile && g <= 1.25 * quartile;
    })));
  }

  // Seconds ahead of the clock the frame drawn after the latest reading is
  // seen, `refreshes` refreshes of the display later.
  function delay(state, refreshes) {
    return refreshes * refresh(state) / 1000;
  }

  // The drawing lead of the engine described (5. above).
  function lead(engine) {
    var linux = /^Linux/.test(engine.platform);
    if (engine.chrome) return { refreshes: linux ? 3 : 2, unreported: 0, asks: true };
    if (engine.vendor === '' && linux) return { refreshes: 0, unreported: 0.05, asks: false };
    var gstreamer = engine.vendor === 'Apple Computer, Inc.' && linux && engine.latency === 0;
    return { refreshes: 0, unreported: gstreamer ? 0.04 : 0, asks: true };
  }

  // Takes the reading's mark into the line's marks; the mark it stands on.
  function take(state, r) {
    var mark = stamp(r), last = state.newest;
    if (mark.own) state.lastown = r.page;
    else if (last && last.own && r.page - state.lastown < 100) mark = last;
    if (last && mark.context === last.context && mark.own === last.own) {
      if (mark.exact && mark.page !== last.page) state.restamps = true;
      return last;
    }
    if (last && mark.context > last.context) {
      state.steps.push(mark.context - last.context);
      if (state.steps.length > 16) state.steps.shift();
    }
    if (state.restamps && mark.exact) mark = { context: mark.context, page: r.page, exact: false, own: true };
    state.newest = mark;
    var top = -Infinity;
    state.marks = state.marks.filter(function (k) { return !k.exact && k.own === mark.own && k.page >= mark.page - windowms; });
    state.marks.forEach(function (k) { top = Math.max(top, origin(k)); });
    if (mark.exact || origin(mark) <= top - jump) state.marks = [];
    state.marks.push(mark);
    return mark;
  }

  // Takes one reading; the clock's position, context time in seconds.
  function read(state, r) {
    var mark = take(state, r);
    var line = -Infinity;
    state.marks.forEach(function (k) { line = Math.max(line, k.context + (r.page - k.page) / 1000); });
    var cap = Math.min(line, mark.context + 1.5 * block(state)) + aheadmax;
    var position;
    if (state.position === null) {
      position = Math.min(line, cap);
    } else if (!r.running) {
      position = state.position;
    } else {
      var dt = (r.page - state.page) / 1000, error = line - (state.position + dt);
      position = error >= jump ? line
        : state.position + dt * (1 + Math.max(-ratemax, Math.min(ratemax, gain * error)));
      position = Math.max(state.position, Math.min(position, cap));
    }
    if (state.position !== null) {
      state.gaps.push(r.page - state.page);
      if (state.gaps.length > 64) state.gaps.shift();
    }
    state.position = position;
    state.page = r.page;
    return position;
  }

  return { make: make, stamp: stamp, read: read, delay: delay, lead: lead };
})();
if (typeof module === 'object' && module.exports) module.exports = webclock;
