// The whole show through the real binary: the shipped soundtrack played to
// the end through an audio server of the test's own, watched from the X
// server.
#include "sound/sound.h"
#include "support/audioserver.h"
#include "support/oggmaker.h"
#include "support/runner.h"
#include "support/xwindow.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace std::chrono;

static void sleepuntil(steady_clock::time_point start, double seconds)
{
    std::this_thread::sleep_until(start + duration_cast<steady_clock::duration>(duration<double>(seconds)));
}

// The soundtrack drives the clock: 1616.67 units per second of sound, so
// a moment of the show is a number of seconds after the music starts.
static double secondsat(long clock)
{
    return clock / 1616.67;
}

// The sound's sink is removed 5 s in, while another is there: the server
// moves the stream, and the show plays on to its end as if nothing had
// happened.
TEST(Show, PlaysByItselfToTheEnd)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    audioserver server;
    ASSERT_GT(server.pid, 0) << readfile(server.runtime.path + "/log");
    std::vector<std::string> env = server.env();
    env.push_back(x.env());
    auto start = steady_clock::now();
    child show({DEMOPLAYER}, SOURCE_DIR, env);

    sleepuntil(start, 0.5);     // the black opening, clock below 1700
    screenshot opening = grabscreen(x.display);
    sleepuntil(start, 5);
    std::string first = server.index("sinks", "\tfirst\t");
    std::string second = server.index("sinks", "\tsecond\t");
    EXPECT_EQ(server.streamsink(), first) << "the show plays on the first sink";
    EXPECT_EQ(server.pactl({"unload-module", server.index("modules", "sink_name=first")}).status, 0);
    sleepuntil(start, 6);
    EXPECT_EQ(server.streamsink(), second) << "the stream was moved";
    sleepuntil(start, 1 + secondsat(20000));    // bag photo and petals
    screenshot bag = grabscreen(x.display);
    // Alternating photos: the snapshot shows for half of every beat, and
    // a flash whitens the first quarter. Over 1.2 s of shots, at least one
    // falls on the snapshot without a flash, whatever start-up took.
    screenshot photos;
    for (int i = 0; i < 12; i++) {
        sleepuntil(start, 1 + secondsat(60000) + i * 0.1);
        screenshot shot = grabscreen(x.display);
        if (shot.colourful >= photos.colourful)
            photos = shot;
    }
    sleepuntil(start, 1 + secondsat(150000));   // the closing spin
    screenshot spin = grabscreen(x.display);

    outcome r = show.wait(60);
    double took = duration<double>(steady_clock::now() - start).count();
    EXPECT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "zOT!");
    // 168000 units are 103.9 s of sound.
    EXPECT_GT(took, 103);

    ASSERT_TRUE(opening.ok());
    EXPECT_LT(opening.nonblack, opening.pixels / 100) << "the opening is black";
    EXPECT_GT(bag.nonblack, bag.pixels / 20);
    EXPECT_GT(bag.colourful, bag.pixels / 50) << "the bag photo is in colour";
    EXPECT_GT(photos.nonblack, photos.pixels / 50);
    EXPECT_GT(photos.colourful, photos.pixels / 200);
    EXPECT_GT(spin.nonblack, spin.pixels / 4) << "two noise squares spin over the screen";
}

TEST(Show, ShortSoundtrackHoldsItsLastMomentUntilEscape)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    tempdir dir;
    mkdir((dir.path + "/data").c_str(), 0755);
    writefile(dir.path + "/" + sound::soundtrack, makeogg(3));
    child show({DEMOPLAYER}, dir.path, {x.env()});
    // The music ends near clock 4850; the timeline never reaches its end.
    std::this_thread::sleep_for(seconds(7));
    screenshot held = grabscreen(x.display);
    EXPECT_GT(held.nonblack, held.pixels / 4) << "the first section is redrawn";
    outcome r = escapeend(show, x.display);
    EXPECT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "zOT!");
}
