// Damaged soundtracks through the music thread, in process: cut short at
// many points, bits flipped, garbage appended, streams chained, other
// rates and channel counts. The thread must end (or skip the damage and go
// on), and demo::written must be exactly what the device took and never
// more than libvorbisfile decodes from the same file.
#include "demo/demo.h"
#include "sound/device.h"
#include "sound/sound.h"
#include "support/damage.h"
#include "support/oggmaker.h"
#include "support/runner.h"

#include <gtest/gtest.h>

static std::uint32_t noqueue()
{
    return 0;
}

// A device that keeps nothing but a count. Like the ALSA layer it takes
// whole 16-bit stereo frames only and reports a short write for the rest.
static ssize_t framewrite(void* cookie, const char*, size_t size)
{
    size_t whole = size - size % 4;
    *static_cast<std::uint64_t*>(cookie) += whole;
    return static_cast<ssize_t>(whole);
}

struct played {
    bool opened = false;        // ov_open took the file
    long decoded = -1;          // libvorbisfile's own decode of it; -1 refused
    std::uint64_t reached = 0;  // bytes the device took
    std::uint32_t written = 0;  // demo::written when the thread ended
};

// Writes `bytes` as a soundtrack and runs the music thread's body on it to
// its end. A hang never returns and fails under CTest's time limit.
static played playdamaged(const tempdir& dir, const oggbytes& bytes)
{
    played r;
    std::string path = dir.path + "/damaged.ogg";
    writefile(path, bytes);
    r.decoded = decodedbytes(path);
    FILE* f = std::fopen(path.c_str(), "r");
    if (ov_open(f, &demo::music, nullptr, 0) != 0) {
        std::fclose(f);
        return r;
    }
    r.opened = true;
    cookie_io_functions_t io = {};
    io.write = framewrite;
    FILE* device = fopencookie(&r.reached, "w", io);
    setvbuf(device, nullptr, _IONBF, 0);
    sound::usedevice(device, noqueue);
    demo::written = 12345;
    sound::play();
    r.written = demo::written.load();
    ov_clear(&demo::music);
    std::fclose(device);
    return r;
}

// What every soundtrack that opened must give.
static void expectcounted(const played& r, const std::string& what)
{
    if (!r.opened)
        return;
    EXPECT_EQ(r.written, r.reached) << what << ": the count is what the device took";
    EXPECT_LE(static_cast<long>(r.written), r.decoded) << what << ": more than the file holds";
}

// Cuts in the headers and at their end, and at `spread` places over the
// whole file.
static void cutanywhere(int spread)
{
    tempdir dir;
    oggbytes whole = makeogg(10);
    size_t headers = headerbytes(whole);
    ASSERT_GT(headers, 0u);
    ASSERT_LT(headers, whole.size() / 4);
    std::vector<size_t> cuts = {0, 1, 27, 58, headers / 3, headers / 2, headers - 1, headers};
    for (int k = 1; k < spread; k++)
        cuts.push_back(whole.size() * k / spread);
    for (size_t cut : cuts) {
        std::string what = "cut at " + std::to_string(cut);
        played r = playdamaged(dir, truncated(whole, cut));
        expectcounted(r, what);
        if (cut < headers) {
            EXPECT_FALSE(r.opened) << what << " is inside the headers";
        } else {
            ASSERT_TRUE(r.opened) << what;
            EXPECT_EQ(static_cast<long>(r.written), r.decoded) << what << ": all of it is played";
        }
    }
}

TEST(Damaged, CutAnywhereEndsAfterWhatWasThere)
{
    cutanywhere(10);
}

// Seeds [first, last]: 1 to 8 bits flipped, by seed.
static void flippedbits(unsigned first, unsigned last)
{
    tempdir dir;
    oggbytes whole = makeogg(10);
    for (unsigned seed = first; seed <= last; seed++) {
        int flips = 1 + static_cast<int>(seed % 8);
        std::string what = "seed " + std::to_string(seed);
        // Checksums catch the damage: whole pages are dropped, each gap is
        // one failed read, and everything else is played.
        played r = playdamaged(dir, flipped(whole, seed, flips, headerbytes(whole)));
        ASSERT_TRUE(r.opened) << what;
        expectcounted(r, what + " (dropped pages)");
        EXPECT_EQ(static_cast<long>(r.written), r.decoded) << what;
        // Checksums made right: damaged packets reach the decoder.
        r = playdamaged(dir, corrupted(whole, seed, flips));
        expectcounted(r, what + " (damaged packets)");
        EXPECT_TRUE(r.opened) << what;
    }
}

TEST(Damaged, FlippedBitsAreSkippedOrPlayed)
{
    flippedbits(1, 8);
}

// The wide sweeps: the full tier's.
TEST(Damaged, CutAnywhereWideSweep)
{
    cutanywhere(40);
}

TEST(Damaged, FlippedBitsWideSweep)
{
    flippedbits(9, 40);
}

TEST(Damaged, GarbageAfterTheEndIsNotPlayed)
{
    tempdir dir;
    oggbytes whole = makeogg(2);
    for (size_t length : {1, 27, 4096, 70000}) {
        std::string what = std::to_string(length) + " bytes of garbage";
        played r = playdamaged(dir, withgarbage(whole, static_cast<unsigned>(length), length));
        ASSERT_TRUE(r.opened) << what;
        expectcounted(r, what);
        EXPECT_EQ(r.written, 88200u * 4) << what;
    }
}

TEST(Damaged, ChainedStreamsPlayOneAfterTheOther)
{
    tempdir dir;
    struct link {
        double seconds;
        int rate, channels;
    };
    const std::vector<std::vector<link>> chains = {
        {{1.5, 44100, 2}, {1, 44100, 2}},
        {{1, 44100, 2}, {1.00003, 44100, 1}, {0.5, 44100, 2}},
        {{1, 44100, 2}, {1, 48000, 2}},
    };
    for (const std::vector<link>& chain : chains) {
        oggbytes bytes;
        long expected = 0;
        int serial = 1;
        for (const link& l : chain) {
            oggbytes one = makeogg(l.seconds, l.rate, l.channels, serial++);
            writefile(dir.path + "/link.ogg", one);
            expected += decodedbytes(dir.path + "/link.ogg");
            bytes.insert(bytes.end(), one.begin(), one.end());
        }
        std::string what = std::to_string(chain.size()) + " links";
        played r = playdamaged(dir, bytes);
        ASSERT_TRUE(r.opened) << what;
        expectcounted(r, what);
        // libvorbisfile 1.3.7 starts a freshly opened chain at its last
        // link, so less than the sum may come out; the thread plays all of
        // what does, but for an odd half frame at the end of a mono link.
        EXPECT_GT(r.decoded, 0) << what;
        EXPECT_LE(r.decoded, expected) << what;
        EXPECT_GE(static_cast<long>(r.written), r.decoded - 2) << what;
    }
}

// The device stays 16-bit stereo at 44100 Hz whatever the file says: other
// streams play too fast or too slow, but play and are counted.
TEST(Damaged, OtherRatesAndChannelCountsPlay)
{
    tempdir dir;
    // An odd number of mono samples: the last piece is half a stereo frame
    // longer than the device takes.
    played mono = playdamaged(dir, makeogg(2.00002, 44100, 1));
    ASSERT_TRUE(mono.opened);
    EXPECT_EQ(mono.decoded, 88201 * 2);
    expectcounted(mono, "mono");
    EXPECT_EQ(mono.reached, 88200u * 2);

    played fast = playdamaged(dir, makeogg(2, 48000, 2));
    ASSERT_TRUE(fast.opened);
    expectcounted(fast, "48 kHz");
    EXPECT_EQ(fast.written, 96000u * 4);
}
