// The OSS device layer: /dev/dsp as a stdio stream, queue from GETODELAY.
#include "sound/device.h"
#include "sound/sound.h"

#include "demo/demo.h"

#include <fcntl.h>
#include <linux/soundcard.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace sound {

// Main thread, once per frame, while the music thread may be writing to
// the same descriptor: the driver answers both.
static std::uint32_t ossqueued()
{
    int delay = 0;
    if (ioctl(fileno(demo::dsp), SNDCTL_DSP_GETODELAY, &delay) < 0 || delay < 0)
        return 0;
    return static_cast<std::uint32_t>(delay);
}

// Asks for `value` and insists on getting exactly it back. A failed ioctl is
// a refusal too: it would leave the requested value in place.
static bool set(int fd, unsigned long request, int value)
{
    int answer = value;
    return ioctl(fd, request, &answer) >= 0 && answer == value;
}

bool openoss(const char* path)
{
    // No O_CREAT: as root, creating the stream would make a plain file
    // under /dev that swallows the music while the clock races ahead.
    int fd = open(path, O_WRONLY);
    if (fd < 0)
        return false;
    FILE* stream = fdopen(fd, "w");
    if (!stream) {
        close(fd);
        return false;
    }
    // Unbuffered: every 4096-byte piece reaches the driver in the write
    // that demo::written then counts, so the count is what the device got.
    setvbuf(stream, nullptr, _IONBF, 0);
    // A device that refuses a setting is closed and never becomes demo::dsp.
    if (!set(fd, SNDCTL_DSP_SETFMT, AFMT_S16_LE) || !set(fd, SNDCTL_DSP_STEREO, 1)
        || !set(fd, SNDCTL_DSP_SPEED, rate)) {
        std::fclose(stream);
        return false;
    }
    usedevice(stream, ossqueued);
    return true;
}

}
