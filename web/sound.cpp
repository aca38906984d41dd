// The sound device in the page: WebAudio plays the decoded PCM, and the
// clock is its output position.
//
// The music thread writes 16-bit stereo 44100 Hz PCM into demo::dsp, a
// stream that keeps it in memory. At the first clock reading the whole
// soundtrack goes to the page's AudioContext as one buffer and starts
// playing. From then on the bytes played are the output position times
// 176400 in whole frames, and queued() is what was written minus that, so
// sound::time turns it into the same clock units, with the same hold, as
// the native devices do.
#include "sound/sound.h"

#include "demo/demo.h"

#include <cmath>
#include <cstdio>
#include <emscripten.h>
#include <vector>

// True when the page made an AudioContext (it may only after a click).
EM_JS(int, audioready, (), { return Module.audio ? 1 : 0; });

// Hands `frames` stereo frames of 16-bit PCM to WebAudio and starts them
// at once. The output position is counted from the moment the source was
// scheduled.
EM_JS(void, audiostart, (const short* pcm, int frames), {
    var audio = Module.audio;
    var buffer = audio.createBuffer(2, Math.max(frames, 1), 44100);
    var left = buffer.getChannelData(0), right = buffer.getChannelData(1);
    var samples = HEAP16.subarray(pcm >> 1, (pcm >> 1) + frames * 2);
    for (var i = 0; i < frames; i++) {
        left[i] = samples[2 * i] / 32768;
        right[i] = samples[2 * i + 1] / 32768;
    }
    var source = audio.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.destination);
    Module.audiobegan = audio.currentTime;
    source.start(Module.audiobegan);
});

// Seconds of the soundtrack the output has played: the context time of
// the sample now leaving the output, moved on by the time since that
// reading. A context that cannot tell yet (no output timestamp) gives its
// processing time. The last reading stays in Module.lastread, page time
// and position, for the page's benchmarks.
EM_JS(double, audioposition, (), {
    var audio = Module.audio;
    var stamp = audio.getOutputTimestamp ? audio.getOutputTimestamp() : {};
    var page = performance.now();
    var now = stamp.performanceTime
        ? stamp.contextTime + (page - stamp.performanceTime) / 1000
        : audio.currentTime;
    var position = Math.max(0, now - Module.audiobegan);
    Module.lastread = [page, position];
    return position;
});

namespace sound {

static std::vector<char> pcm;
static bool playing;

static ssize_t keep(void*, const char* bytes, size_t count)
{
    pcm.insert(pcm.end(), bytes, bytes + count);
    return static_cast<ssize_t>(count);
}

bool opendsp()
{
    if (!audioready())
        return false;
    demo::dsp = fopencookie(nullptr, "w", {nullptr, keep, nullptr, nullptr});
    if (!demo::dsp)
        return false;
    setvbuf(demo::dsp, nullptr, _IONBF, 0);
    return true;
}

std::uint32_t queued()
{
    if (!playing) {
        playing = true;
        audiostart(reinterpret_cast<const short*>(pcm.data()), static_cast<int>(pcm.size() / 4));
        std::vector<char>().swap(pcm);
    }
    std::uint32_t written = demo::written.load(std::memory_order_relaxed);
    double frames = std::floor(audioposition() * rate);
    double played = std::fmin(frames * 4, written);
    return written - static_cast<std::uint32_t>(played);
}

}
