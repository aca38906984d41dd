// Choosing the sound device: OSS where /dev/dsp is a character device,
// otherwise ALSA's "default" PCM (PipeWire or PulseAudio on a desktop).
#include "sound/device.h"
#include "sound/sound.h"

#include "demo/demo.h"

#include <sys/stat.h>

namespace sound {

static std::uint32_t noqueue()
{
    return 0;
}

static std::uint32_t (*queuedbytes)() = noqueue;

void usedevice(FILE* stream, std::uint32_t (*queued)())
{
    demo::dsp = stream;
    queuedbytes = queued;
}

bool opendsp()
{
    struct stat st;
    if (stat("/dev/dsp", &st) == 0 && S_ISCHR(st.st_mode))
        return openoss("/dev/dsp");
    return openalsa("default");
}

std::uint32_t queued()
{
    return queuedbytes();
}

}
