// A sound device that refuses the show's format leaves nothing behind: no
// stream in demo::dsp, no open descriptor, no open PCM.
#include "demo/demo.h"
#include "sound/device.h"

#include <alsa/asoundlib.h>
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

// Descriptors the process has open.
static int openfiles()
{
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    while (dirent* e = readdir(d))
        n += e->d_name[0] != '.';
    closedir(d);
    return n;
}

TEST(Refusal, OssDeviceThatRefusesTheFormatIsClosed)
{
    demo::dsp = nullptr;
    int before = openfiles();
    // A character device without OSS ioctls: the first setting is refused.
    EXPECT_FALSE(sound::openoss("/dev/null"));
    EXPECT_EQ(demo::dsp, nullptr);
    EXPECT_EQ(openfiles(), before);
    EXPECT_FALSE(sound::openoss("/nonexistent/dsp"));
    EXPECT_EQ(demo::dsp, nullptr);
    EXPECT_EQ(openfiles(), before);
}

// The test program's ALSA calls win over the library's for the statically
// linked show: set_params refuses while `refuse` is set, close is counted.
static bool refuse;
static snd_pcm_t* closed;

extern "C" int snd_pcm_set_params(snd_pcm_t* pcm, snd_pcm_format_t format, snd_pcm_access_t access,
                                  unsigned int channels, unsigned int rate, int resample, unsigned int latency)
{
    using setfn = int (*)(snd_pcm_t*, snd_pcm_format_t, snd_pcm_access_t, unsigned, unsigned, int, unsigned);
    static setfn real = reinterpret_cast<setfn>(dlsym(RTLD_NEXT, "snd_pcm_set_params"));
    if (refuse)
        return -EINVAL;
    return real(pcm, format, access, channels, rate, resample, latency);
}

extern "C" int snd_pcm_close(snd_pcm_t* pcm)
{
    using closefn = int (*)(snd_pcm_t*);
    static closefn real = reinterpret_cast<closefn>(dlsym(RTLD_NEXT, "snd_pcm_close"));
    closed = pcm;
    return real(pcm);
}

TEST(Refusal, AlsaPcmThatRefusesTheFormatIsClosed)
{
    demo::dsp = nullptr;
    int before = openfiles();
    closed = nullptr;
    refuse = true;
    EXPECT_FALSE(sound::openalsa("null"));
    refuse = false;
    EXPECT_NE(closed, nullptr) << "the refused PCM is closed";
    EXPECT_EQ(demo::dsp, nullptr);
    EXPECT_EQ(openfiles(), before);

    // The same PCM accepted: a stream, and nothing closed.
    closed = nullptr;
    ASSERT_TRUE(sound::openalsa("null"));
    EXPECT_NE(demo::dsp, nullptr);
    EXPECT_EQ(closed, nullptr);
}
