// What the page tests judge the page's clock against, none of which the
// clock computes itself: the frames the audio context rendered, counted
// on the audio thread by a node the test adds (witness, rendered), and the
// engine's own output timestamps (account), where they tell how much sound
// has played (stamped).
'use strict';
const engine = process.env.WEB_BROWSER || 'chromium';

// Whether the engine's output timestamps tell how much sound has played.
// WebKitGTK's do not (2.50.6: performanceTime runs at twice page time, and
// ahead of it); its sound goes to the test's audio server, whose null sink
// plays in real time, so there page time is the witness of sound played.
const stamped = engine !== 'webkit';

// The audio context's own account of its output, from the output
// timestamps the page's clock readings came from (Module.lastread's last
// two: a sample's context time, and the page time it left the output):
// `stamps`, [page time, context time] each once in page time order, and
// at(t), the context time at page time t between the two stamps around it
// (undefined outside them).
function account(readings) {
  const stamps = [], seen = new Set();
  for (const [context, page] of readings) {
    if (page > 0 && !seen.has(page)) stamps.push([page, context]);
    seen.add(page);
  }
  stamps.sort((a, b) => a[0] - b[0]);
  function at(t) {
    let low = 0, high = stamps.length - 1;
    if (high < 1 || t < stamps[0][0] || t >= stamps[high][0]) return undefined;
    while (high - low > 1) {
      const mid = (low + high) >> 1;
      if (stamps[mid][0] <= t) low = mid; else high = mid;
    }
    const [p0, c0] = stamps[low], [p1, c1] = stamps[high];
    return c0 + (c1 - c0) * (t - p0) / (p1 - p0);
  }
  return { stamps, at };
}

// The witness of the sound a context rendered, which the page's clock
// computes nothing from. Run in the page (page.evaluate or before it
// loads), it defines window.witness(audio): a node added to that context
// counts, on the audio thread, the sample frames it rendered (an
// AudioWorklet; a ScriptProcessor where there is none) and posts the count
// every 1024 frames to window.counts, [page ms at arrival, frames]. It
// sees what was rendered, not what the device has played: an error the
// same throughout (a latency taken off everywhere), or the device's own
// delay, only the live rig (tests/av) sees.
function witness() {
  window.counts = [];
  window.witness = (audio) => {
    const push = (frames) => window.counts.push([performance.now(), frames]);
    if (!audio.audioWorklet) {
      let frames = 0;
      const node = audio.createScriptProcessor(1024, 1, 1);
      node.onaudioprocess = (e) => push((frames += e.outputBuffer.length));
      node.connect(audio.destination);
      return;
    }
    const code = `registerProcessor('witness', class extends AudioWorkletProcessor {
      constructor() { super(); this.frames = 0; }
      process(inputs, outputs) {
        this.frames += outputs[0][0].length;
        if (this.frames % 1024 === 0) this.port.postMessage(this.frames);
        return true;
      }
    });`;
    audio.audioWorklet.addModule(URL.createObjectURL(new Blob([code], { type: 'application/javascript' }))).then(() => {
      const node = new AudioWorkletNode(audio, 'witness');
      node.port.onmessage = (e) => push(e.data);
      node.connect(audio.destination);
    });
  };
}

// The witness's rendered sound at page time t, s (from a count's origin),
// given its counts and the context's sample rate: each count says that
// many frames were rendered by its arrival at the latest, and rendering
// goes on in real time: the latest of those over the last 300 ms, but no
// more than the first count to arrive after t (rendering may stall). Not
// finite where no count arrived in the 300 ms before t.
function rendered(counts, samplerate, t) {
  let best = -Infinity, next = Infinity;
  for (const [at, n] of counts) {
    if (at <= t && at > t - 300) best = Math.max(best, n / samplerate + (t - at) / 1000);
    if (at > t) next = Math.min(next, n / samplerate);
  }
  return Math.min(best, next);
}

module.exports = { stamped, account, witness, rendered };
