// The music thread: decoding into a device stream, and its end.
#include "demo/demo.h"
#include "sound/device.h"
#include "sound/sound.h"
#include "support/oggmaker.h"
#include "support/runner.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>

static std::uint32_t noqueue()
{
    return 0;
}

// Plays `path` into a temporary file standing in for the device; returns
// what reached it.
static std::string playfile(const std::string& path)
{
    FILE* device = std::tmpfile();
    sound::usedevice(device, noqueue);
    FILE* f = std::fopen(path.c_str(), "r");
    EXPECT_EQ(ov_open(f, &demo::music, nullptr, 0), 0);
    demo::written = 12345;
    sound::play();
    ov_clear(&demo::music);
    std::fflush(device);
    std::string played(std::ftell(device), '\0');
    std::rewind(device);
    EXPECT_EQ(std::fread(&played[0], 1, played.size(), device), played.size());
    std::fclose(device);
    return played;
}

TEST(Music, PlaysEveryDecodedByteAndCountsIt)
{
    tempdir dir;
    std::string path = dir.path + "/tone.ogg";
    writefile(path, makeogg(1.5));
    long expected = decodedbytes(path);
    EXPECT_EQ(expected, 66150 * 4);

    std::string played = playfile(path);
    EXPECT_EQ(demo::written.load(), static_cast<std::uint32_t>(expected));
    EXPECT_EQ(played.size(), static_cast<size_t>(expected));
    // Not silence: the tone itself went to the device.
    EXPECT_NE(played.find_first_not_of('\0'), std::string::npos);
}

TEST(Music, TruncatedFilePlaysWhatItCanAndEnds)
{
    tempdir dir;
    std::vector<unsigned char> whole = makeogg(10);
    for (double share : {0.5, 0.75, 0.9, 0.999}) {
        std::string path = dir.path + "/cut.ogg";
        std::vector<unsigned char> cut(whole.begin(), whole.begin() + static_cast<long>(whole.size() * share));
        writefile(path, cut);
        long expected = decodedbytes(path);
        std::string played = playfile(path);
        EXPECT_GT(played.size(), 0u) << share;
        EXPECT_LT(played.size(), 441000u * 4) << share;
        EXPECT_EQ(demo::written.load(), played.size()) << share;
        EXPECT_EQ(static_cast<long>(played.size()), expected) << share;
    }
}

// A soundtrack whose reads fail after its headers, every time.
struct failing {
    std::vector<unsigned char> bytes;
    size_t pos = 0;
    size_t limit = 0;
    int reads = 0;
};

static ssize_t failingread(void* cookie, char* buf, size_t size)
{
    failing* f = static_cast<failing*>(cookie);
    f->reads++;
    if (f->pos >= f->limit) {
        errno = EIO;
        return -1;
    }
    size_t n = std::min(size, f->limit - f->pos);
    std::memcpy(buf, f->bytes.data() + f->pos, n);
    f->pos += n;
    return static_cast<ssize_t>(n);
}

TEST(Music, RepeatedReadErrorEndsTheThread)
{
    failing source;
    source.bytes = makeogg(3);
    source.limit = source.bytes.size() * 2 / 3;
    cookie_io_functions_t io = {};
    io.read = failingread;
    FILE* f = fopencookie(&source, "r", io);
    ASSERT_EQ(ov_open(f, &demo::music, nullptr, 0), 0);

    FILE* device = std::tmpfile();
    sound::usedevice(device, noqueue);
    // Without an end, play() would spin here for ever.
    sound::play();
    EXPECT_GT(demo::written.load(), 0u);
    EXPECT_LT(demo::written.load(), 132300u * 4);
    EXPECT_LT(source.reads, 1000);
    ov_clear(&demo::music);
    std::fclose(device);
}

// A device whose writes fail on cue: before `from` bytes it takes all, then
// fails until `healsat` (a time; never when unset), taking half of the
// first failing write when `partial` is set. A failure returns 0, as a
// cookie stream's write must (sound/alsa.cpp).
struct flaky {
    std::string got;
    size_t from = 0;
    bool partial = false;
    bool failedonce = false;
    std::chrono::steady_clock::time_point healsat = std::chrono::steady_clock::time_point::max();
    std::chrono::steady_clock::time_point firstfailure;
    int failures = 0;
};

static ssize_t flakywrite(void* cookie, const char* buf, size_t size)
{
    flaky* d = static_cast<flaky*>(cookie);
    auto now = std::chrono::steady_clock::now();
    if (d->got.size() >= d->from && now < d->healsat) {
        if (d->failures++ == 0)
            d->firstfailure = now;
        if (d->partial && !d->failedonce) {
            d->failedonce = true;
            d->got.append(buf, size / 2);
            return static_cast<ssize_t>(size / 2);
        }
        errno = EIO;
        return 0;
    }
    d->got.append(buf, size);
    return static_cast<ssize_t>(size);
}

// Plays `path` into `device` through an unbuffered cookie stream, as the
// ALSA layer does.
static void playinto(const std::string& path, flaky& device)
{
    cookie_io_functions_t io = {};
    io.write = flakywrite;
    FILE* stream = fopencookie(&device, "w", io);
    setvbuf(stream, nullptr, _IONBF, 0);
    sound::usedevice(stream, noqueue);
    FILE* f = std::fopen(path.c_str(), "r");
    ASSERT_EQ(ov_open(f, &demo::music, nullptr, 0), 0);
    sound::play();
    ov_clear(&demo::music);
    std::fclose(stream);
}

// A device that fails for a while and comes back (an underrun, a stream
// moved to another output) gets every byte once, in order, and the count
// is exactly what it got; one that keeps failing is given up after
// `giveup` ms and the thread ends with the device lost, having counted
// only what the device took. Both failing writes: 0, and a short count.
TEST(Music, FailingDeviceIsRetriedThenGivenUp)
{
    tempdir dir;
    std::string path = dir.path + "/tone.ogg";
    writefile(path, makeogg(1.5));
    std::string whole = playfile(path);

    for (bool partial : {false, true}) {
        flaky passing;
        passing.from = 50000;
        passing.partial = partial;
        passing.healsat = std::chrono::steady_clock::now() + std::chrono::milliseconds(sound::giveup / 3);
        playinto(path, passing);
        EXPECT_GT(passing.failures, 1) << partial;
        EXPECT_TRUE(passing.got == whole) << partial << ": " << passing.got.size() << " of " << whole.size();
        EXPECT_EQ(demo::written.load(), whole.size()) << partial;
        EXPECT_FALSE(sound::lost()) << partial;
    }

    flaky gone;
    gone.from = 50000;
    gone.partial = true;
    playinto(path, gone);
    auto ended = std::chrono::steady_clock::now();
    double failingfor = std::chrono::duration<double>(ended - gone.firstfailure).count();
    EXPECT_TRUE(sound::lost());
    EXPECT_GE(failingfor, sound::giveup / 1000.0);
    EXPECT_LT(failingfor, 5.0);
    EXPECT_EQ(demo::written.load(), gone.got.size());
    EXPECT_LT(gone.got.size(), whole.size());
    EXPECT_TRUE(whole.compare(0, gone.got.size(), gone.got) == 0);
}
