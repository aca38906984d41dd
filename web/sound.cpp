// The sound device in the page: WebAudio plays the decoded PCM, and the
// clock is its output position.
//
// The music thread writes 16-bit stereo 44100 Hz PCM into demo::dsp while
// the page loads, before any click (web/thread.cpp runs it inside start-up).
// Each write goes straight into an AudioBuffer, which needs no
// AudioContext, so nothing is left to convert when the viewer clicks. The
// page makes its AudioContext at the click (browsers start sound only
// after one); at the first clock reading the buffer starts playing. From
// then on the bytes played are the output position (web/clock.js: smooth,
// and stopping when the output stalls or the context is suspended) times
// 176400 in whole frames, and queued() is what was written minus that, so sound::time
// turns it into the same clock units, with the same hold, as the native
// devices do.
#include "sound/sound.h"

#include "demo/demo.h"
#include "web/audio.h"

#include <cmath>
#include <cstdio>
#include <emscripten.h>
#include <vector>

// True when the page can play decoded sound at all: it has WebAudio.
EM_JS(int, audioexists, (), {
    return typeof (window.AudioContext || window.webkitAudioContext) === 'function' &&
        typeof AudioBuffer === 'function' ? 1 : 0;
});

// 0 before the click, 1 once the page made its AudioContext and while it
// plays, -1 when the page could not make one, or the context has closed or
// reported an error (Module.audiofailed, set by audiostart's listener).
// A suspended or interrupted context is still 1: the clock holds.
EM_JS(int, audiostate, (), {
    var audio = Module.audio;
    if (audio === undefined) return 0;
    return audio && audio.state !== 'closed' && !Module.audiofailed ? 1 : -1;
});

// Appends `frames` stereo frames of 16-bit PCM to Module.pcm, an
// AudioBuffer first made `expected` frames long (the stream's own count,
// or 0 when it has none) and grown when a stream brings more.
EM_JS(void, audiokeep, (const short* pcm, int frames, double expected), {
    var buffer = Module.pcm, at = Module.pcmframes || 0;
    if (!buffer || at + frames > buffer.length) {
        var grown = new AudioBuffer({ numberOfChannels: 2, sampleRate: 44100,
            length: Math.max(at + frames, expected, buffer ? 2 * buffer.length : 44100) });
        for (var c = 0; buffer && c < 2; c++)
            grown.copyToChannel(buffer.getChannelData(c).subarray(0, at), c);
        Module.pcm = buffer = grown;
    }
    var left = buffer.getChannelData(0), right = buffer.getChannelData(1);
    var samples = HEAP16.subarray(pcm >> 1, (pcm >> 1) + frames * 2);
    for (var i = 0; i < frames; i++) {
        left[at + i] = samples[2 * i] / 32768;
        right[at + i] = samples[2 * i + 1] / 32768;
    }
    Module.pcmframes = at + frames;
});

// Starts the decoded sound at once on the page's AudioContext. The output
// position is counted from the moment the source was scheduled. A context
// that reports an error (a device lost) counts as closed.
EM_JS(void, audiostart, (), {
    var audio = Module.audio;
    var source = audio.createBufferSource();
    source.buffer = Module.pcm || audio.createBuffer(2, 1, 44100);
    source.connect(audio.destination);
    audio.addEventListener('error', function () { Module.audiofailed = true; });
    Module.audiobegan = audio.currentTime;
    Module.clock = webclock.make();
    Module.drawn = 0;
    // How far ahead of the clock this engine's frames are drawn
    // (web/clock.js, lead): display refreshes, the output latency in s
    // that the page does not learn from the engine, and whether the
    // engine may be asked where its output is.
    var lead = webclock.lead({ chrome: typeof window.chrome === 'object', vendor: navigator.vendor,
                               platform: navigator.platform, get latency() { return audio.outputLatency; } });
    Module.refreshes = lead.refreshes;
    Module.unreportedlatency = lead.unreported;
    Module.asks = lead.asks;
    source.start(Module.audiobegan);
});

// Seconds of the soundtrack the output will have played when the frame
// drawn now is seen: web/clock.js's smooth clock through the context's
// output timestamps (or its processing time where those are missing,
// implausible or not to be asked for: lead's asks), plus the display's delay where it is known, less the
// output's latency where the engine leaves it out; never less than the
// last (and never below 0). The last reading stays in Module.lastread for
// the page's tests and benchmarks: page time (ms), the clock's position
// without those two, and the output timestamp the clock took (context
// time from the sound's start, page time).
EM_JS(double, audioposition, (), {
    var audio = Module.audio, stamp = null, latency;
    if (Module.asks) {
        try { stamp = audio.getOutputTimestamp ? audio.getOutputTimestamp() : null; } catch (e) {}
        latency = audio.outputLatency;
    }
    var reading = { current: audio.currentTime, latency: latency, stamp: stamp,
                    running: audio.state === 'running', page: performance.now() };
    var position = Math.max(0, webclock.read(Module.clock, reading) - Module.audiobegan);
    var used = Module.clock.newest;
    Module.lastread = [reading.page, position, used.context - Module.audiobegan, used.page];
    var drawn = position + webclock.delay(Module.clock, Module.refreshes) - Module.unreportedlatency;
    Module.drawn = Math.max(Module.drawn, drawn);
    return Module.drawn;
});

namespace sound {

static std::vector<char> part;  // bytes short of a whole frame
static double lastyield;        // page time of the last yield, ms

// The decoder's writes: whole frames go to the AudioBuffer. About every
// 40 ms of decoding the page gets the share decoded so far and a turn of
// its own, so it keeps drawing while the soundtrack is decoded.
static ssize_t keep(void*, const char* bytes, size_t count)
{
    part.insert(part.end(), bytes, bytes + count);
    int frames = static_cast<int>(part.size() / 4);
    double expected = static_cast<double>(ov_pcm_total(&demo::music, -1));
    audiokeep(reinterpret_cast<const short*>(part.data()), frames, expected > 0 ? expected : 0);
    part.erase(part.begin(), part.begin() + frames * 4);
    double now = emscripten_get_now();
    if (now - lastyield >= 40) {
        double decoded = demo::written.load(std::memory_order_relaxed) / 4.0;
        EM_ASM({ if (Module.ondecode) Module.ondecode($0); },
               expected > 0 ? std::fmin(1, decoded / expected) : 0);
        emscripten_sleep(0);
        lastyield = emscripten_get_now();
    }
    return static_cast<ssize_t>(count);
}

bool opendsp()
{
    if (!audioexists())
        return false;
    demo::dsp = fopencookie(nullptr, "w", {nullptr, keep, nullptr, nullptr});
    if (!demo::dsp)
        return false;
    setvbuf(demo::dsp, nullptr, _IONBF, 0);
    lastyield = emscripten_get_now();
    return true;
}

std::uint32_t queued()
{
    static bool playing;
    if (!playing) {
        playing = true;
        audiostart();
    }
    std::uint32_t written = demo::written.load(std::memory_order_relaxed);
    double frames = std::floor(audioposition() * rate);
    double played = std::fmin(frames * 4, written);
    return written - static_cast<std::uint32_t>(played);
}

}

namespace webaudio {

int state()
{
    return audiostate();
}

}
