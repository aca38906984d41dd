// The show's frame across its two phases (blur pass, then the timeline), the
// white flashes and the matrix stacks, with the clock set by the test.
#include "demo/demo.h"
#include "demo/timeline.h"
#include "display/window.h"
#include "scenes/scene.h"
#include "showframe.h"
#include "support/mat4.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <initializer_list>

using showframe::render;
using showframe::seen;
using showframe::shown;

// True when every presented pixel is within 3 of (r, g, b).
static bool allnear(int r, int g, int b)
{
    for (size_t i = 0; i < seen.presented.size(); i += 3)
        if (!near({seen.presented[i], seen.presented[i + 1], seen.presented[i + 2]}, r, g, b))
            return false;
    return true;
}

// Presented pixels on a 16-pixel grid that are not black.
static int lit()
{
    int n = 0;
    for (int y = 8; y < 480; y += 16)
        for (int x = 8; x < 640; x += 16)
            n += !near(shown(x, y), 0, 0, 0, 10);
    return n;
}

TEST(Phases, BlurPassShowsBlackUntilTheTubeOpens)
{
    showframe::setup();
    for (int t : {0, 1000, 1699}) {
        int swaps = seen.swaps;
        render(t);
        EXPECT_EQ(seen.swaps, swaps + 1) << t;
        EXPECT_EQ(seen.batches[GL_QUADS], 1) << t << ": the blur is drawn";
        EXPECT_EQ(seen.batches[GL_QUAD_STRIP], 0) << t << ": the tube sleeps";
        EXPECT_TRUE(allnear(0, 0, 0)) << t;
        EXPECT_TRUE(demo::blur) << t;
        EXPECT_FALSE(demo::scenes[0]->started) << t;
    }
}

TEST(Phases, OpeningFrameDrawsTheTubeAndShowsItsClearColour)
{
    for (int t : {1700, 1750}) {
        showframe::setup();
        int swaps = seen.swaps;
        render(t);
        EXPECT_EQ(seen.swaps, swaps + 1) << t;
        EXPECT_EQ(seen.batches[GL_QUAD_STRIP], 80) << t << ": 20 rings, drawn 4 times";
        EXPECT_EQ(seen.batches[GL_QUADS], 0) << t << ": no blur drawn";
        EXPECT_TRUE(allnear(77, 26, 0)) << t << " " << str(shown(320, 240));
        EXPECT_FALSE(demo::blur) << t;
        EXPECT_TRUE(demo::scenes[0]->started) << t;
    }
}

TEST(Tube, LeavesItsSwayAndDriftOnTheMatrix)
{
    // At T = 2130 the tube has been open 430 units: the camera has drifted
    // 430/43 = 10 units into it. The sway's angles are sines rounded to
    // single precision, times 50, 9 and 7 degrees.
    for (int T : {1700, 2130, 3400}) {
        showframe::setup();
        demo::time = T;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        demo::scenes[0]->draw();
        float sway = static_cast<float>(std::sin(T / 20.0));
        mat4 want = product(turned(sway * 50, 0, 0, 1), moved(0, 0.4, 0));
        want = product(want, turned(-sway * 50, 0, 0, 1));
        want = product(want, turned(static_cast<float>(std::sin(T / 10.0)) * 9, 1, 0, 0));
        want = product(want, turned(static_cast<float>(std::sin(T / 13.0)) * 7, 0, 1, 0));
        want = product(want, moved(0, 0, (T - 1700) / 43.0));
        std::array<float, 16> got = matrix(GL_MODELVIEW_MATRIX);
        for (int e = 0; e < 16; e++)
            EXPECT_NEAR(got[e], want[e], 1e-4) << "T " << T << " element " << e;
    }
}

TEST(Phases, TimelineShowsFromTheNextFrameOn)
{
    showframe::openshow();
    for (int t : {1800, 5000}) {
        render(t);
        EXPECT_EQ(seen.batches[GL_QUAD_STRIP], 0) << t;
        EXPECT_EQ(seen.batches[GL_QUADS], 0) << t;
        EXPECT_EQ(seen.batches[GL_POLYGON], 1) << t;
        EXPECT_EQ(viewport(), (std::array<int, 4>{0, 0, 660, 480})) << t;
        EXPECT_GT(lit(), 600) << t << " of " << 30 * 40;
        EXPECT_FALSE(demo::blur) << t;
    }
}

// demo::frameat from a fresh show: before the opening one frame with the
// blur pass; past it the opening frame unseen, then the very frame (pixels
// and batches) that frames at every clock value in turn lead to; once the
// tube has opened, one frame. The show's clock is left as it was.
TEST(Phases, FrameAtIsTheFrameAViewerSeesAtThatClock)
{
    showframe::setup();
    std::int32_t (*clock)() = demo::clock;
    int swaps = seen.swaps;
    showframe::at(1000);
    EXPECT_EQ(seen.swaps, swaps + 1);
    EXPECT_EQ(seen.batches[GL_QUADS], 1) << "the blur is drawn";
    EXPECT_TRUE(demo::blur);
    EXPECT_EQ(demo::clock, clock);

    for (int t : {1750, 5000, 90000}) {
        showframe::setup();
        render(1000);
        render(1700);
        render(t);
        showframe::record viewer = seen;
        showframe::setup();
        swaps = seen.swaps;
        showframe::at(t);
        EXPECT_EQ(seen.swaps, swaps + 2) << t;
        EXPECT_FALSE(demo::blur) << t;
        EXPECT_EQ(seen.batches, viewer.batches) << t;
        EXPECT_TRUE(seen.presented == viewer.presented) << t;
        EXPECT_EQ(demo::clock, clock) << t;
        swaps = seen.swaps;
        showframe::at(t + 10);
        EXPECT_EQ(seen.swaps, swaps + 1) << t + 10 << ": the tube has opened already";
    }
}

TEST(Phases, EveryFrameKeepsBothMatrixStacks)
{
    showframe::setup();
    for (int t : {0, 1699, 1700, 3500, 3501, 6999, 7000, 20000, 39999, 40000, 40500, 71999, 72000, 90000,
                  103995, 104000, 120000, 136000, 167999, 170000}) {
        int modelview = stackdepth(GL_MODELVIEW_STACK_DEPTH), projection = stackdepth(GL_PROJECTION_STACK_DEPTH);
        render(t);
        EXPECT_EQ(seen.modelviewdepth, modelview) << t << " at the swap";
        EXPECT_EQ(seen.projectiondepth, projection) << t << " at the swap";
        EXPECT_EQ(stackdepth(GL_MODELVIEW_STACK_DEPTH), modelview) << t;
        EXPECT_EQ(stackdepth(GL_PROJECTION_STACK_DEPTH), projection) << t;
    }
    EXPECT_TRUE(demo::done);
}

// The clear colour the frame at t leaves in the window, and whether the
// presented pixel at (20, 240) agrees where the section leaves it bare.
static bool flashes(std::int32_t t)
{
    render(t);
    bool white = w->red == 1 && w->green == 1 && w->blue == 1;
    bool black = w->red == 0 && w->green == 0 && w->blue == 0;
    EXPECT_TRUE(white || black) << t;
    if ((t >= 40000 && t < 72000) || (t >= 104000 && t < 136000)) {
        rgb edge = shown(20, 240);
        EXPECT_TRUE(white ? near(edge, 255, 255, 255) : near(edge, 0, 0, 0)) << t << " " << str(edge);
    }
    return white;
}

TEST(Flash, WhiteFrom75To224AfterEachBeatInTwoStretches)
{
    showframe::openshow();
    for (int t : {41075, 41150, 41224, 50075, 72075, 72224, 105075, 105224, 120100, 136075, 136224}) {
        EXPECT_TRUE(flashes(t)) << t;
        EXPECT_TRUE(flashing(t)) << t;
    }
    for (int t : {1800, 40075, 40224, 41000, 41074, 41225, 41999, 72999, 73075, 74075, 104075, 105000, 105074,
                  105225, 136999, 137075, 168075}) {
        EXPECT_FALSE(flashes(t)) << t;
        EXPECT_FALSE(flashing(t)) << t;
    }
}
