// The clock through both real device layers, against PulseAudio's null
// sink: ALSA's default PCM directly, and OSS through PulseAudio's OSS
// emulation. A functional check that the clock follows the device.
#include "support/clockcheck.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(Device, ClockFollowsAlsaDefault)
{
    checkfollows(playclock(CLOCKRUN, {}));
}

TEST(Device, ClockFollowsOssEmulation)
{
    checkfollows(playclock(CLOCKRUN, {"LD_PRELOAD=/usr/$LIB/pulseaudio/libpulsedsp.so"}));
    struct stat st;
    EXPECT_NE(stat("/dev/dsp", &st), 0) << "nothing may be created at /dev/dsp";
}
