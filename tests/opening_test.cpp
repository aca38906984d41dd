// The opening of the real show as presented, frame by frame, read back by
// the probe just before each swap: the blur pass over the still sleeping
// tube, the one frame in which the tube opens, then the timeline.
#include "sound/sound.h"
#include "support/oggmaker.h"
#include "support/runner.h"
#include "support/xwindow.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>

struct colour {
    int r = -1, g = -1, b = -1;     // -1: not read
};

// One presented frame: the window's centre and the middle of the 64x64
// corner the blur pass draws into.
struct presented {
    colour centre, corner;
};

static std::vector<presented> frames(const std::string& log)
{
    std::vector<presented> all;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string event;
        words >> event;
        if (event == "swap")
            all.emplace_back();
        int x, y;
        colour c;
        if (event != "pixel" || all.empty() || !(words >> x >> y >> c.r >> c.g >> c.b))
            continue;
        (x == 320 && y == 240 ? all.back().centre : all.back().corner) = c;
    }
    return all;
}

static bool black(const colour& c)
{
    return c.r >= 0 && c.r <= 3 && c.g <= 3 && c.b <= 3;
}

static bool lit(const colour& c)
{
    return c.r > 24 || c.g > 24 || c.b > 24;
}

// The tube's clear colour (0.3, 0.1, 0) in 8 bits.
static bool tubecolour(const colour& c)
{
    return std::abs(c.r - 77) <= 3 && std::abs(c.g - 26) <= 3 && std::abs(c.b) <= 3;
}

static bool opening(const presented& f)
{
    return tubecolour(f.centre) && tubecolour(f.corner);
}

static int openingframe(const std::vector<presented>& all)
{
    for (size_t i = 0; i < all.size(); i++)
        if (opening(all[i]))
            return static_cast<int>(i);
    return -1;
}

TEST(Opening, BlurPassThenTheTubesClearColourThenTheTimeline)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    tempdir dir;
    mkdir((dir.path + "/data").c_str(), 0755);
    writefile(dir.path + "/" + sound::soundtrack, makeogg(3));
    const std::string log = dir.path + "/probe.log";
    child show({DEMOPLAYER}, dir.path, {x.env(), "LD_PRELOAD=" PROBE, "PROBE_LOG=" + log});

    // The tube opens at clock 1700, about a second into the music; let the
    // timeline run 30 frames past it before Escape.
    std::vector<presented> seen;
    for (int i = 0; i < 3000; i++) {
        seen = frames(readfile(log));
        int open = openingframe(seen);
        if (open >= 0 && seen.size() > static_cast<size_t>(open) + 30)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    outcome r = escapeend(show, x.display);
    EXPECT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "zOT!");

    const std::string events = readfile(log);
    EXPECT_NE(events.find("\nsdl "), std::string::npos) << "the probe names the SDL library";
    seen = frames(events);
    int open = openingframe(seen);
    ASSERT_GT(open, 0) << "the blur pass comes first, then the tube opens; frames: " << seen.size();
    for (int i = 0; i < open; i++) {
        EXPECT_TRUE(black(seen[i].centre)) << "blur-pass frame " << i;
        EXPECT_TRUE(black(seen[i].corner)) << "blur-pass frame " << i;
    }
    int lateropenings = 0, litcentres = 0;
    for (size_t i = open + 1; i < seen.size(); i++) {
        lateropenings += opening(seen[i]);
        litcentres += lit(seen[i].centre);
    }
    EXPECT_EQ(lateropenings, 0) << "the tube's clear colour lasts one frame";
    size_t later = seen.size() - open - 1;
    ASSERT_GE(later, 30u);
    EXPECT_EQ(litcentres, static_cast<int>(later)) << "the timeline's noise fills the centre";
}
