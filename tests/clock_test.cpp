// The show clock: bytes played to clock units, and its behaviour over time.
#include "demo/demo.h"
#include "demo/timeline.h"
#include "sound/device.h"
#include "sound/sound.h"

#include <gtest/gtest.h>

TEST(Clock, ConvertsPlayedBytesToThousandthsOfABeat)
{
    EXPECT_EQ(sound::clockunits(0, 0), 0);
    // Ten seconds of sound, nothing queued: 97/60 beats per second.
    EXPECT_EQ(sound::clockunits(176400 * 10, 0), 16166);
    // One beat is 60/97 s = 109113.4 bytes: just under it is still beat 0.
    EXPECT_EQ(sound::clockunits(109113, 0), 999);
    EXPECT_EQ(sound::clockunits(109116, 0), 1000);
    // What is still queued has not been played.
    EXPECT_EQ(sound::clockunits(176400 * 11, 176400), 16166);
    // The end of the show, 168000 units, lies 103.92 s into the sound.
    EXPECT_LT(sound::clockunits(176400 * 103.9, 0), showend);
    EXPECT_GE(sound::clockunits(176400 * 103.93, 0), showend);
    // The largest count the 32-bit counter holds stays a positive clock.
    EXPECT_EQ(sound::clockunits(0xFFFFFFFFu, 0), 39362417);
}

TEST(Clock, QueueLargerThanCountIsNothingPlayed)
{
    EXPECT_EQ(sound::clockunits(0, 4096), 0);
    EXPECT_EQ(sound::clockunits(4096, 8192), 0);
    EXPECT_EQ(sound::clockunits(100, 0xFFFFFFFFu), 0);
}

static std::uint32_t fakequeue;
static std::uint32_t fakequeued()
{
    return fakequeue;
}

TEST(Clock, ReadsTheDeviceQueueAndNeverStepsBack)
{
    sound::usedevice(nullptr, fakequeued);
    sound::resetclock();
    demo::written = 0;
    fakequeue = 0;
    EXPECT_EQ(sound::time(), 0) << "before the first write";

    demo::written = 176400 * 10 + 8192;
    fakequeue = 8192;
    EXPECT_EQ(sound::time(), 16166);

    // A delay report that jumps up (as PulseAudio's can) would move the
    // clock back; it holds instead, and moves on once the device does.
    fakequeue = 176400;
    EXPECT_EQ(sound::time(), 16166);
    demo::written = 176400 * 12;
    EXPECT_EQ(sound::time(), 17783);

    // A queue larger than the count (the writer's race) is not a jump to
    // the end of the show.
    fakequeue = 176400 * 13;
    EXPECT_EQ(sound::time(), 17783);

    sound::resetclock();
    fakequeue = 0;
    demo::written = 176400;
    EXPECT_EQ(sound::time(), 1616);
}
