// The ALSA device layer: a PCM wrapped in a stdio stream with fopencookie,
// so the music thread writes to it like any other stream.
#include "sound/device.h"
#include "sound/sound.h"

#include <alsa/asoundlib.h>
#include <cerrno>

namespace sound {

static snd_pcm_t* pcm;

enum { latency = 200000 };              // device buffer, microseconds

// Music thread. Blocks until the device has taken every whole frame of
// `buf`; the music thread only ever writes whole frames. A failure that
// recovery cannot mend (the audio server gone) returns what was taken
// before it, a short count, or 0 when nothing was, as a cookie stream's
// write must (never a negative count, which glibc's fwrite would report
// as the whole piece written): the stream's error flag is set and the
// music thread tries the rest again (sound/music.cpp).
static ssize_t pcmwrite(void*, const char* buf, size_t size)
{
    snd_pcm_uframes_t frames = size / framebytes;
    snd_pcm_uframes_t done = 0;
    while (done < frames) {
        snd_pcm_sframes_t n = snd_pcm_writei(pcm, buf + done * framebytes, frames - done);
        if (n < 0)
            n = snd_pcm_recover(pcm, static_cast<int>(n), 1);
        if (n < 0) {
            if (done > 0)
                break;
            errno = EIO;
            return 0;
        }
        done += static_cast<snd_pcm_uframes_t>(n);
    }
    return static_cast<ssize_t>(done * framebytes);
}

// Main thread. libasound serialises this with the writer's calls.
static std::uint32_t pcmqueued()
{
    snd_pcm_sframes_t frames = 0;
    if (snd_pcm_delay(pcm, &frames) < 0 || frames < 0)
        return 0;
    return static_cast<std::uint32_t>(frames) * framebytes;
}

bool openalsa(const char* name)
{
    if (snd_pcm_open(&pcm, name, SND_PCM_STREAM_PLAYBACK, 0) < 0) {
        pcm = nullptr;
        return false;
    }
    // set_params refuses a rate it cannot set exactly. A refused PCM is
    // closed: nothing of it is left behind.
    cookie_io_functions_t io = {};
    io.write = pcmwrite;
    FILE* stream = nullptr;
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                           2, rate, 1, latency) < 0
        || !(stream = fopencookie(nullptr, "w", io))) {
        snd_pcm_close(pcm);
        pcm = nullptr;
        return false;
    }
    setvbuf(stream, nullptr, _IONBF, 0);
    usedevice(stream, pcmqueued);
    return true;
}

}
